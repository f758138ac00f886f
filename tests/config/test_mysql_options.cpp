// MySQL's option files as the server reads them, on the INI engine's line rules.
#include "config/mysql_options.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>

namespace larkspan {
namespace {

TEST(MySqlOptions, TheServersGroupsAsTheServerReadsThem)
{
    using Options = std::map<std::string, std::string>;
    const struct
    {
        const char* name;
        const char* content;
        Options options;
    } rows[] = {
        {"the server's groups only", "[client]\nport=1\n[mysqld]\nport=2\n[mysql]\nport=3\n[mariadb]\nx=4\n",
            {{"port", "2"}, {"x", "4"}}},
        {"the last setting wins, across groups", "[mysqld]\nport=1\nport=2\n[server]\nport=3\n",
            {{"port", "3"}}},
        {"names as the server compares them", "[MySQLd]\nMax_Connections = 10\nloose-Key_Buffer=5\n",
            {{"max-connections", "10"}, {"key-buffer", "5"}}},
        {"a comment after the value, quotes", "[mysqld]\nport = 70000 # mine\nsocket=\"/a b\"\nd='x'\n",
            {{"port", "70000"}, {"socket", "/a b"}, {"d", "x"}}},
        {"comment lines and settings without a value",
            "[mysqld]\n#port=1\n; port=2\n  # port=3\nskip-networking\n", {}},
        {"a byte-order mark before the first group", "\xEF\xBB\xBF[mysqld]\r\nport=3307\r\n",
            {{"port", "3307"}}},
        {"a group line without its bracket opens no group", "[client]\n[mysqld\nport=1\n", {}},
        {"settings before any group", "port=1\n[mysqld]\n", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(MySqlOptions(row.content), row.options) << row.name;
    EXPECT_EQ(
        MySqlServerOption("[mysqld]\nlog_error=a.err\n[mariadb]\nlog-error = b.err\n", "log_error"), "b.err");
    EXPECT_EQ(MySqlServerOption("[client]\nport=1\n", "port"), std::nullopt);
}

TEST(MySqlOptions, WholeNumbersAndTheServersListing)
{
    const struct
    {
        const char* text;
        bool withMultiplier;
        std::optional<MySqlWholeNumber> number;
    } rows[] = {
        {"3307", false, MySqlWholeNumber {false, 3307, false}},
        {"-1", false, MySqlWholeNumber {true, 1, false}},
        {"-0", false, MySqlWholeNumber {false, 0, false}},
        {"1K", true, MySqlWholeNumber {false, 1024, false}},
        {"2g", true, MySqlWholeNumber {false, 2ULL << 30, false}},
        {"1K", false, std::nullopt},
        {"18446744073709551616", false, MySqlWholeNumber {false, 0, true}},
        {"16E", true, MySqlWholeNumber {false, 0, true}},
        {"", true, std::nullopt},
        {"K", true, std::nullopt},
        {"12 ", true, std::nullopt},
    };
    for (const auto& row : rows) {
        const std::optional<MySqlWholeNumber> number = ReadMySqlWholeNumber(row.text, row.withMultiplier);
        ASSERT_EQ(number.has_value(), row.number.has_value()) << row.text;
        if (number && row.number->overflow) {
            EXPECT_TRUE(number->overflow) << row.text;
        } else if (number) {
            EXPECT_EQ(*number, *row.number) << row.text;
        }
    }

    const std::string listing = "mariadbd  Ver 10.11\nVariables (--variable-name=value)\n"
                                "and boolean options {FALSE|TRUE}  Value (after reading options)\n"
                                "--------------------------------- ------------------\n"
                                "port                              65535\n"
                                "socket                            /run/my sock\n"
                                "\n";
    EXPECT_EQ(MySqlListedValues(listing),
        (std::map<std::string, std::string> {{"port", "65535"}, {"socket", "/run/my sock"}}));
    EXPECT_TRUE(MySqlListedValues("port 1\n").empty()) << "no table without its rule";
}

TEST(WithoutOptionLines, RemovesTheKeyOnlyInTheNamedSections)
{
    const struct
    {
        const char* name;
        const char* content;
        std::optional<std::string> expected;
    } rows[] = {
        {"absent", "[mysqld]\nport=1\n", std::nullopt},
        {"other section only", "[mysql]\ndefault-character-set=gbk\n", std::nullopt},
        {"commented out", "[mysqld]\n;default-character-set=gbk\n# default-character-set=gbk\n",
            std::nullopt},
        {"loose prefix is harmless", "[mysqld]\nloose-default-character-set=gbk\n", std::nullopt},
        {"plain", "[mysqld]\nport=1\ndefault-character-set=gbk\nx=2\n", "[mysqld]\nport=1\nx=2\n"},
        {"blanks, case and underscores", "[ MySQLd ]\n  Default_Character_Set = gbk\n", "[ MySQLd ]\n"},
        {"every [mysqld] section",
            "[mysqld]\ndefault-character-set=a\n[mysql]\ndefault-character-set=b\n[mysqld]\n"
            "default-character-set=c",
            "[mysqld]\n[mysql]\ndefault-character-set=b\n[mysqld]\n"},
        {"CR line ends", "[mysqld]\rdefault-character-set=a\rport=1\r", "[mysqld]\rport=1\r"},
        {"without a value", "[mysqld]\ndefault-character-set\nport=1\n", "[mysqld]\nport=1\n"},
        {"after a byte-order mark, as the engine reads the file",
            "\xEF\xBB\xBF[mysqld]\ndefault_character_set=a\n", "\xEF\xBB\xBF[mysqld]\n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(WithoutOptionLines(row.content, "mysqld", "default-character-set"), row.expected)
            << row.name;
}

} // namespace
} // namespace larkspan
