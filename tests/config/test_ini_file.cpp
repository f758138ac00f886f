#include "config/ini.h"
#include "config/native_path.h"
#include "support/config_test_support.h"
#include "support/platform_line_end.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

using test::FailsWithReason;
using test::TempDir;
using test::WriteBytes;

TEST(ResolveIniPath, AppliesThePathRule)
{
    struct Case
    {
        const char* file;
        const char* appDir;
        const char* expected;
    };
    const Case cases[] = {
        {"Larkspan.ini", "D:\\bundle", "D:\\bundle\\Larkspan.ini"},
        {"Larkspan.ini", "D:\\", "D:\\Larkspan.ini"},
        {"D:\\bundle\\PHP5\\php.ini", "C:\\x", "D:\\bundle\\PHP5\\php.ini"},
        {"conf\\x.ini", "D:\\bundle", "D:\\bundle\\conf\\x.ini"},
        {"\\x.ini", "D:\\bundle", "D:\\bundle\\x.ini"},
        {"D:x.ini", "D:\\bundle", "D:\\bundle\\D:x.ini"},
        {"a\\\\b.ini", "D:\\bundle", "D:\\bundle\\a\\b.ini"},
        {"a\\\\\\b.ini", "D:\\bundle", "D:\\bundle\\a\\\\b.ini"},
        {"/etc/x.ini", "/opt/bundle", "/etc/x.ini"},
        {"Larkspan.ini", "/opt/bundle", "/opt/bundle\\Larkspan.ini"},
        {"", "/opt/bundle", "/opt/bundle\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveIniPath(c.file, c.appDir), c.expected) << c.file << " in " << c.appDir;
}

class IniFileTest : public ::testing::Test
{
protected:
    TempDir m_dir;
    std::string ini(std::string_view name) const { return m_dir / name; }
};

TEST_F(IniFileTest, CreatesTheSettingsFileAndReadsItBack)
{
    EXPECT_EQ(IniRead("Apache", "Listen", "", "Larkspan.ini", m_dir.path()), "");
    ASSERT_TRUE(IniWrite("Apache", "Listen", "80", "Larkspan.ini", m_dir.path()).ok());
    EXPECT_EQ(FileContents(ini("Larkspan.ini")), test::WithPlatformLineEnds("[Apache]\nListen=80\n"));
    EXPECT_EQ(IniRead("apache", "LISTEN", "x", "larkspan.INI", m_dir.path()), "80");
    EXPECT_EQ(IniRead("Apache", "ServerName", "dflt", "Larkspan.ini", m_dir.path()), "dflt");
}

TEST_F(IniFileTest, ReadsLongValuesWhole)
{
    const std::string value(200, 'v');
    ASSERT_TRUE(IniWrite("a", "k", value, "x.ini", m_dir.path()).ok());
    EXPECT_EQ(IniRead("a", "k", "", "x.ini", m_dir.path()), value);
}

TEST_F(IniFileTest, ReportsFailuresWithPathAndReason)
{
    std::filesystem::create_directory(ini("dir.ini"));
    WriteBytes(ini("ro.ini"), "[a]\nk=1\n");
    ::chmod(ini("ro.ini").c_str(), 0444);

    struct Case
    {
        const char* file;
        const char* value;
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {"nodir\\x.ini", "1", ini("nodir") + test::kPathSeparator + "x.ini", "No such file or directory"},
        {"dir.ini", "1", ini("dir.ini"), "Is a directory"},
        {"ro.ini", "2", ini("ro.ini"), "Permission denied"},
        {"ok.ini", "1\n[b]", ini("ok.ini"), "k 的值含有换行符或NUL字符"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(FailsWithReason(IniWrite("a", "k", c.value, c.file, m_dir.path()), c.path, c.reason));
    EXPECT_EQ(FileContents(ini("ro.ini")), "[a]\nk=1\n");
    EXPECT_FALSE(std::filesystem::exists(ini("ok.ini")));
    EXPECT_FALSE(std::filesystem::exists(ini("nodir")));
}

TEST_F(IniFileTest, UnchangedValueLeavesTheFileAlone)
{
    WriteBytes(ini("ro.ini"), "[a]\nk=1\n");
    ::chmod(ini("ro.ini").c_str(), 0444);
    EXPECT_TRUE(IniWrite("a", "k", "1", "ro.ini", m_dir.path()).ok());
}

} // namespace
} // namespace larkspan
