// Checks written files with the real programs that read them: PHP, MariaDB's option parser and
// Apache's configuration check.
#include "config/directive.h"
#include "config/ini.h"
#include "config/phpmyadmin_password.h"
#include "config/text_lines.h"
#include "support/config_test_support.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

namespace larkspan {
namespace {

using test::TempDir;
using test::WriteBytes;

bool HaveProgram(const char* path)
{
    return ::access(path, X_OK) == 0;
}

// Runs a shell command line built from fixed text and temporary paths; returns its output
// (standard error included) and exit status.
std::pair<std::string, int> RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return {"popen failed", -1};
    std::array<char, 4096> buffer {};
    for (std::size_t count; (count = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        output.append(buffer.data(), count);
    const int status = ::pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// The lines of `text`, each with its line end.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    ForEachLine(
        text, [&](const TextLine& line) { lines.push_back(text.substr(line.begin, line.end - line.begin)); });
    return lines;
}

std::string Hex(std::string_view bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::string ToCrLf(std::string_view text)
{
    std::string converted;
    for (const char c : text) {
        if (c == '\n')
            converted += '\r';
        converted += c;
    }
    return converted;
}

TEST(Oracle, PhpReadsTheKeysWrittenIntoItsIni)
{
    const char* source = "/usr/lib/php/8.2/php.ini-development";
    if (!HaveProgram("/usr/bin/php") || ::access(source, R_OK) != 0)
        GTEST_SKIP() << "php 8.2 is not installed";
    const std::string original = FileContents(source);

    for (const bool crLf : {false, true}) {
        TempDir dir;
        const std::string ini = dir / "php.ini";
        WriteBytes(ini, crLf ? ToCrLf(original) : original);
        struct Write
        {
            const char* key;
            const char* value;
        };
        const Write writes[]
            = {{"upload_max_filesize", "8M"}, {"memory_limit", "256M"}, {"display_errors", "Off"},
                {"short_open_tag", "On"}, {"output_buffering", "Off"}, {"larkspan_new_key", "added"}};
        for (const Write& write : writes)
            ASSERT_TRUE(IniWrite("PHP", write.key, write.value, ini, "/unused").ok()) << write.key;

        const auto [output, status] = RunCommand("php -n -c " + ini
            + " -r 'foreach ([\"upload_max_filesize\", \"memory_limit\", \"display_errors\", "
              "\"short_open_tag\","
              " \"output_buffering\"]"
              " as $k) echo $k, \"=\", ini_get($k), \"\\n\";"
              " echo get_cfg_var(\"larkspan_new_key\");'");
        EXPECT_EQ(status, 0);
        EXPECT_EQ(output,
            "upload_max_filesize=8M\nmemory_limit=256M\ndisplay_errors=\nshort_open_tag=1\noutput_buffering="
            "0\n"
            "added")
            << (crLf ? "CR LF copy" : "LF copy");

        // Five lines changed in place and one added; every other line is as it was.
        std::vector<std::string> before = Lines(crLf ? ToCrLf(original) : original);
        std::vector<std::string> after = Lines(FileContents(ini));
        const auto added = std::find(
            after.begin(), after.end(), "larkspan_new_key=added" + std::string(crLf ? "\r\n" : "\n"));
        ASSERT_NE(added, after.end());
        after.erase(added);
        ASSERT_EQ(after.size(), before.size());
        std::size_t changed = 0;
        for (std::size_t i = 0; i < before.size(); ++i)
            changed += before[i] != after[i];
        EXPECT_EQ(changed, 5u);
    }
}

TEST(Oracle, PhpReadsThePasswordWrittenIntoPhpMyAdminsConfiguration)
{
    const char* shipped = "/usr/share/phpmyadmin/libraries/config.default.php";
    if (!HaveProgram("/usr/bin/php") || ::access(shipped, R_OK) != 0)
        GTEST_SKIP() << "php or phpmyadmin is not installed";
    TempDir dir;
    // Loads a configuration as phpMyAdmin does and compares it with the original whose root entry
    // has the new password: every other value must be the same.
    const std::string script = dir / "compare.php";
    WriteBytes(script,
        "<?php\n"
        "define('ROOT_PATH', '/');\n"
        "function load($file) { $cfg = []; include $file; return $cfg; }\n"
        "$before = load($argv[1]);\n"
        "$after = load($argv[2]);\n"
        "$before['Servers'][(int) $argv[3]]['password'] = hex2bin($argv[4]);\n"
        "echo $before === $after ? 'same' : 'different', ' ', bin2hex($after['Servers'][(int) "
        "$argv[3]]['password']);\n");

    // The shipped defaults, told to keep the password in the file: one root entry among three
    // thousand lines of comments that name the same keys.
    std::string defaults = FileContents(shipped);
    const std::string cookie = "$cfg['Servers'][$i]['auth_type'] = 'cookie';";
    ASSERT_NE(defaults.find(cookie), std::string::npos);
    defaults.replace(defaults.find(cookie), cookie.size(), "$cfg['Servers'][$i]['auth_type'] = 'config';");
    const std::string twoServers
        = ToCrLf("<?php\n$i = 0;\n$i++;\n$cfg['Servers'][$i]['auth_type'] = 'config';\n"
                 "$cfg['Servers'][$i]['user'] = 'pma';\n"
                 "$cfg['Servers'][$i]['password'] = 'pma';\n"
                 "$i++;\n$cfg['Servers'][$i]['auth_type'] = 'config';\n"
                 "$cfg['Servers'][$i]['user'] = 'root';\n"
                 "$cfg['Servers'][$i]['password'] = \"old\"; // \xC3\xDC\xC2\xEB\n");
    const std::pair<std::string, int> configurations[] = {{defaults, 1}, {twoServers, 2}};
    const std::string passwords[]
        = {"", "qlwv", "it's a \\ 中文\\", "\x95\\\x95\\'", "'; echo 1; ?> /* $x {$y}", "\\\\'\\"};
    for (const auto& [configuration, server] : configurations) {
        const std::string original = dir / "original.php";
        WriteBytes(original, configuration);
        for (const std::string& password : passwords) {
            SCOPED_TRACE(password);
            const PhpMyAdminPasswordEdit edit = SetPhpMyAdminRootPassword(configuration, password);
            ASSERT_EQ(edit.problem, "");
            const std::string edited = dir / "edited.php";
            WriteBytes(edited, edit.content);
            const auto [output, status] = RunCommand("php -n " + script + " " + original + " " + edited + " "
                + std::to_string(server) + " '" + Hex(password) + "'");
            EXPECT_EQ(status, 0) << output;
            EXPECT_EQ(output, "same " + Hex(password));
        }
    }
}

TEST(Oracle, MariaDbOptionParserReadsTheKeysWrittenIntoMyIni)
{
    if (!HaveProgram("/usr/bin/my_print_defaults"))
        GTEST_SKIP() << "my_print_defaults (mariadb-client) is not installed";
    TempDir dir;
    const std::string ini = dir / "my.ini";
    WriteBytes(ini, FileContents(test::DataFile("my.ini")));
    ::chmod(ini.c_str(), 0644); // the server ignores world-writable option files

    struct Write
    {
        const char* section;
        const char* key;
        const char* value;
    };
    const Write writes[] = {
        {"client", "port", "3307"},
        {"mysqld", "port", "3307"},
        {"mysqld", "max_connections", "250"},
        {"mysqld", "default-storage-engine", "MyISAM"},
        {"mysqld", "character-set-server", "utf8"},
        {"mysql", "default-character-set", "utf8"},
    };
    for (const Write& write : writes)
        ASSERT_TRUE(IniWrite(write.section, write.key, write.value, ini, "/unused").ok()) << write.key;

    struct Check
    {
        const char* group;
        const char* expected;
    };
    const Check checks[] = {
        {"client", "--port=3307\n--socket=/tmp/larkspan-mysql.sock\n"},
        {"mysqld",
            "--port=3307\n--socket=/tmp/larkspan-mysql.sock\n--max_connections=250\n--skip-external-locking\n"
            "--default-storage-engine=MyISAM\n--character-set-server=utf8\n"},
        {"mysql", "--no-auto-rehash\n--default-character-set=utf8\n"},
    };
    for (const Check& check : checks) {
        const auto [output, status]
            = RunCommand("my_print_defaults --defaults-file=" + ini + " " + check.group);
        EXPECT_EQ(status, 0) << check.group;
        EXPECT_EQ(output, check.expected) << check.group;
    }
}

TEST(Oracle, ApacheAcceptsRewrittenDirectives)
{
    if (!HaveProgram("/usr/sbin/apache2")
        || ::access("/usr/lib/apache2/modules/mod_mpm_prefork.so", R_OK) != 0)
        GTEST_SKIP() << "apache2 is not installed";
    const std::string template_ = FileContents(test::DataFile("httpd.conf"));

    for (const bool crLf : {false, true}) {
        TempDir dir;
        std::filesystem::create_directories(dir / "logs");
        std::filesystem::create_directories(dir / "www root");
        const std::string conf = dir / "httpd.conf";
        WriteBytes(conf, crLf ? ToCrLf(template_) : template_);

        ASSERT_TRUE(RewriteDirective(conf, "ServerRoot", "\"" + dir.path() + "\"").ok());
        ASSERT_TRUE(RewriteDirective(conf, "Listen", "8081").ok());
        ASSERT_TRUE(RewriteDirective(conf, "DocumentRoot", "\"" + (dir / "www root") + "\"").ok());
        ASSERT_TRUE(RewriteDirective(conf, "ServerName", "larkspan.localhost").ok());

        const auto [output, status] = RunCommand("apache2 -t -D DUMP_RUN_CFG -f " + conf);
        EXPECT_EQ(status, 0) << output;
        EXPECT_NE(output.find("Main DocumentRoot: \"" + (dir / "www root") + "\""), std::string::npos)
            << output;
        EXPECT_NE(output.find("ServerRoot: \"" + dir.path() + "\""), std::string::npos) << output;

        const std::string lineEnd = crLf ? "\r\n" : "\n";
        const std::string written = FileContents(conf);
        const auto holds = [&](const std::string& line) {
            return written.find(lineEnd + line + lineEnd) != std::string::npos;
        };
        // Tabs are not blanks: the tab-indented lines of the host stay; blank-indented ones match.
        for (const std::string line :
            {"#Listen 12.34.56.78:80", "Listen 8081", "ListenBacklog 511", "\tServerName example.localhost",
                "\tDocumentRoot \"/var/www/html\"", "ServerName larkspan.localhost"})
            EXPECT_TRUE(holds(line)) << line;
        for (const std::string line :
            {"Listen 80", "    DocumentRoot \"/var/www/html\"", "ServerName localhost"})
            EXPECT_FALSE(holds(line)) << line;
    }
}

} // namespace
} // namespace larkspan
