#include "config/ini_engine.h"
#include "support/platform_line_end.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace larkspan {
namespace {

struct LookupCase
{
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

TEST(IniLookup, FindsValuesAsTheProfileFunctionsDo)
{
    const LookupCase cases[] = {
        {"plain key", "[Apache]\r\nListen=80\r\n", "Apache", "Listen", "80"},
        {"names ignore case", "[apache]\r\nLISTEN=80\r\n", "Apache", "Listen", "80"},
        {"names are trimmed", "  [ Apache\t]\r\n\t Listen \t= 80\r\n", " Apache", "Listen ", "80"},
        {"value trimmed of blanks and tabs", "[a]\nk = \t v w \t\n", "a", "k", "v w"},
        {"double quotes removed once", "[a]\nk=\"\"v\"\"\n", "a", "k", "\"v\""},
        {"single quotes removed", "[a]\nk=  'v x'  \n", "a", "k", "v x"},
        {"unmatched quotes kept", "[a]\nk=\"v'\n", "a", "k", "\"v'"},
        {"lone quote kept", "[a]\nk=\"\n", "a", "k", "\""},
        {"no inline comments", "[a]\nk=v ;c\n", "a", "k", "v ;c"},
        {"comment line never matches", "[a]\n;k=1\n  ; k=2\n", "a", "k", std::nullopt},
        {"hash is an ordinary key character", "[a]\n# k=1\n", "a", "k", std::nullopt},
        {"empty value is not the default", "[a]\nk=\n", "a", "k", ""},
        {"blank value is empty", "[a]\nk=  \t\n", "a", "k", ""},
        {"missing key", "[a]\nj=1\n", "a", "k", std::nullopt},
        {"missing section", "[b]\nk=1\n", "a", "k", std::nullopt},
        {"key before first section unreachable", "k=1\n[a]\n", "a", "k", std::nullopt},
        {"first duplicate key wins", "[a]\nk=1\nk=2\n", "a", "k", "1"},
        {"first duplicate section wins", "[a]\nj=1\n[A]\nk=2\n", "a", "k", std::nullopt},
        {"key of other section not seen", "[a]\n[b]\nk=1\n", "a", "k", std::nullopt},
        {"line without equals is no key", "[a]\nk\n", "a", "k", std::nullopt},
        {"text after section bracket ignored", "[a] junk\nk=1\n", "a", "k", "1"},
        {"unclosed bracket opens no section", "[a]\n[b\nk=1\n", "a", "k", "1"},
        {"value with equals", "[a]\nk=x=y\n", "a", "k", "x=y"},
        {"CR-only line ends", "[a]\rj=0\rk=1\r", "a", "k", "1"},
        {"LF-only line ends", "[a]\nk=1", "a", "k", "1"},
        {"mixed line ends", "[a]\r\nj=0\rk=1\n", "a", "k", "1"},
        {"UTF-8 byte-order mark skipped", "\xEF\xBB\xBF[a]\nk=1\n", "a", "k", "1"},
        {"long value not cut", "[a]\nk=" + std::string(200, 'x') + "\n", "a", "k", std::string(200, 'x')},
        {"multi-byte value whole", "[a]\nk=" + std::string(100, 'x') + "中文\n", "a", "k",
            std::string(100, 'x') + "中文"},
        {"non-UTF-8 bytes kept", "[a]\nk=\xff\xfe\x80\n", "a", "k", "\xff\xfe\x80"},
        {"NUL bytes in value kept", std::string("[a]\nk=a\0b\n", 10), "a", "k", std::string("a\0b", 3)},
        {"empty key asked", "[a]\n=1\n", "a", "", std::nullopt},
        {"empty content", "", "a", "k", std::nullopt},
    };
    for (const LookupCase& c : cases)
        EXPECT_EQ(IniLookup(c.content, c.section, c.key), c.expected) << c.name;
}

struct UpdateCase
{
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    const char* value;
    std::string expected;
};

TEST(IniUpdate, ChangesOnlyWhatItMust)
{
    const UpdateCase cases[] = {
        {"value replaced in place, spelling and spacing kept", "[php]\r\nUpload_Max = 2M  \r\nx=1\r\n", "PHP",
            "upload_max", "8M", "[php]\r\nUpload_Max = 8M\r\nx=1\r\n"},
        {"comment line kept, key after it changed",
            "[PHP]\n; upload_max_filesize = 16M\nupload_max_filesize = 2M\n", "PHP", "upload_max_filesize",
            "8M", "[PHP]\n; upload_max_filesize = 16M\nupload_max_filesize = 8M\n"},
        {"value written trimmed, so rewrites do not pile up blanks", "[a]\nk = 1\n", "a", "k", " \tx ",
            "[a]\nk = x\n"},
        {"empty old value", "[a]\nk=\nj=1\n", "a", "k", "v", "[a]\nk=v\nj=1\n"},
        {"empty new value", "[a]\nk=v\n", "a", "k", "", "[a]\nk=\n"},
        {"first duplicate changed", "[a]\nk=1\nk=2\n", "a", "k", "3", "[a]\nk=3\nk=2\n"},
        {"missing key after last key line, before blank lines and comments",
            "[a]\r\nj=1\r\n\r\n; about b\r\n[b]\r\nk=2\r\n", "a", "k", "v",
            "[a]\r\nj=1\r\nk=v\r\n\r\n; about b\r\n[b]\r\nk=2\r\n"},
        {"bare setting counts as the section's last setting", "[mysql]\nno-auto-rehash\n\n[x]\n", "mysql",
            "default-character-set", "utf8", "[mysql]\nno-auto-rehash\ndefault-character-set=utf8\n\n[x]\n"},
        {"hash comments after the last key stay below it", "[a]\nj=1\n# k=0\n# about b\n[b]\n", "a", "k", "2",
            "[a]\nj=1\nk=2\n# k=0\n# about b\n[b]\n"},
        {"missing key in section without keys", "[a]\n; c\n[b]\n", "a", "k", "v", "[a]\nk=v\n; c\n[b]\n"},
        {"missing key goes to first duplicate section", "[a]\nj=1\n[a]\nk=2\n", "A", "k", "3",
            "[a]\nj=1\nk=3\n[a]\nk=2\n"},
        {"unterminated last key line ended first", "[a]\r\nj=1", "a", "k", "v", "[a]\r\nj=1\r\nk=v\r\n"},
        {"missing section appended", "[a]\nj=1\n", "b", "k", "v", "[a]\nj=1\n[b]\nk=v\n"},
        {"missing section after unterminated line", "[a]\rj=1", "b", "k", "v", "[a]\rj=1\r[b]\rk=v\r"},
        {"key before first section is not the section's", "k=1\n[a]\n", "a", "k", "2", "k=1\n[a]\nk=2\n"},
        {"empty content gets the platform line end", "", "a", "k", "v",
            test::WithPlatformLineEnds("[a]\nk=v\n")},
        {"byte-order mark kept", "\xEF\xBB\xBF[a]\nk=1\n", "a", "k", "2", "\xEF\xBB\xBF[a]\nk=2\n"},
        {"byte-order mark only", "\xEF\xBB\xBF", "a", "k", "v",
            test::WithPlatformLineEnds("\xEF\xBB\xBF[a]\nk=v\n")},
        {"long value written whole", "[a]\nk=1\n", "a", "k", "0123456789012345678901234567890123456789",
            "[a]\nk=0123456789012345678901234567890123456789\n"},
        {"arguments trimmed", "", " a ", "\tk ", "v", test::WithPlatformLineEnds("[a]\nk=v\n")},
    };
    for (const UpdateCase& c : cases) {
        const std::string updated = IniUpdate(c.content, c.section, c.key, c.value);
        EXPECT_EQ(updated, c.expected) << c.name;
        EXPECT_EQ(IniLookup(updated, c.section, c.key), IniValueAsRead(c.value)) << c.name;
    }
}

TEST(IniUpdate, SurvivesGarbageAndHugeLines)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xff);
    const std::string hugeLine = "[a]\nbig=" + std::string(10 * 1024 * 1024, 'x');

    for (const std::string& content : {garbage, hugeLine, std::string("\0\0[a]\0\n\0", 8)}) {
        const std::string updated = IniUpdate(content, "a", "k", "v");
        ASSERT_EQ(IniLookup(updated, "a", "k"), "v");
        // Whatever was there is still there, byte for byte, in front of the new lines.
        EXPECT_EQ(updated.compare(0, content.size(), content), 0);
    }
    EXPECT_EQ(IniLookup(hugeLine, "a", "big")->size(), 10u * 1024 * 1024);
}

TEST(IniWriteProblem, RefusesWhatWouldNotReadBack)
{
    struct Case
    {
        const char* name;
        std::string section, key, value;
        bool refused;
    };
    const Case cases[] = {
        {"ordinary", "PHP", "upload_max_filesize", "8M", false},
        {"value with blanks and semicolons", "a", "k", "x ; y", false},
        {"line feed in value", "a", "k", "1\n[b]", true},
        {"carriage return in key", "a", "k\r", "1", true},
        {"NUL in section", std::string("a\0", 2), "k", "1", true},
        {"empty key", "a", "  ", "1", true},
        {"empty section", "", "k", "1", true},
        {"equals in key", "a", "k=j", "1", true},
        {"bracket in section", "a]b", "k", "1", true},
        {"comment key", "a", ";k", "1", true},
        {"section-like key", "a", "[k", "1", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IniWriteProblem(c.section, c.key, c.value).has_value(), c.refused) << c.name;
}

} // namespace
} // namespace larkspan
