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

#ifndef _WIN32
// On Windows paths are used as given: the file system ignores letter case itself.
TEST(NativePath, MapsWindowsPathsCaseInsensitively)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "MySQL/bin");
    std::filesystem::create_directories(dir / "www");
    WriteBytes(dir / "MySQL/my.ini", "");
    WriteBytes(dir / "www/Index.html", "");
    WriteBytes(dir / "www/index.HTML", "");

    struct Case
    {
        std::string windows;
        std::string native;
    };
    const std::string root = dir.path();
    const Case cases[] = {
        {root + "\\MySQL\\my.ini", root + "/MySQL/my.ini"},
        {root + "\\mysql\\BIN", root + "/MySQL/bin"},
        {root + "\\mysql\\My.INI", root + "/MySQL/my.ini"},
        {root + "\\mysql\\new.ini", root + "/MySQL/new.ini"},
        {root + "\\missing\\Dir\\x", root + "/missing/Dir/x"},
        {root + "\\WWW\\INDEX.html", root + "/www/Index.html"}, // the smallest of two candidates
        {root + "\\www\\", root + "/www/"},
        {"relative\\name", "relative/name"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NativePath(c.windows), c.native) << c.windows;
}
#endif

#ifndef _WIN32
// Symbolic links, letter case and backslashes as a POSIX server reads them; Windows:
// test_text_file_win.cpp.
TEST(CheckServerDirectory, TakesThePathExactlyAsTheServerReadsIt)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "Apache2/htdocs");
    std::filesystem::create_directories(dir / "www");
    std::filesystem::create_symlink(dir / "www", dir / "link");
    WriteBytes(dir / "file", "");
    // A directory of that name where the panel runs must not count: Apache never looks there.
    const std::string inWorkingDirectory = "larkspan-cwd-" + std::to_string(::getpid());
    std::filesystem::create_directory(inWorkingDirectory);

    const std::string serverRoot = dir.path() + "\\apache2";
    const struct
    {
        std::string path;
        ServerDirectory expected;
    } rows[] = {
        {dir / "www", ServerDirectory::Exists},
        {dir / "www/", ServerDirectory::Exists},
        {dir / "link", ServerDirectory::Exists},
        {dir / "WWW", ServerDirectory::Missing},
        {dir / "file", ServerDirectory::Missing},
        {"", ServerDirectory::Missing},
        {"htdocs", ServerDirectory::Exists},
        {"../www", ServerDirectory::Exists},
        {inWorkingDirectory, ServerDirectory::Missing},
        {dir.path() + "\\www", ServerDirectory::ForeignSeparator},
        {std::string(dir / "www") + std::string("\0x", 2), ServerDirectory::Missing},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CheckServerDirectory(row.path, serverRoot), row.expected) << row.path;
    std::filesystem::remove(inWorkingDirectory);
}
#endif

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

#ifndef _WIN32
TEST_F(IniFileTest, KeepsPermissionBitsSymlinksAndBytes)
{
    const std::string original = "\xEF\xBB\xBF; settings\r\n[a]\r\nk = 1\r\n\xff\xfe=junk\r\n";
    WriteBytes(ini("target.ini"), original);
    ::chmod(ini("target.ini").c_str(), 0640);
    std::filesystem::create_symlink("target.ini", ini("link.ini"));

    ASSERT_TRUE(IniWrite("A", "K", "2", "link.ini", m_dir.path()).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(ini("link.ini")));
    EXPECT_EQ(FileContents(ini("target.ini")), "\xEF\xBB\xBF; settings\r\n[a]\r\nk = 2\r\n\xff\xfe=junk\r\n");
    EXPECT_EQ(test::PermissionBits(ini("target.ini")), 0640u);
    EXPECT_EQ(test::EntryCount(m_dir.path()), 2u);
}
#endif

TEST_F(IniFileTest, UnchangedValueLeavesTheFileAlone)
{
    WriteBytes(ini("ro.ini"), "[a]\nk=1\n");
    ::chmod(ini("ro.ini").c_str(), 0444);
    EXPECT_TRUE(IniWrite("a", "k", "1", "ro.ini", m_dir.path()).ok());
}

#ifndef _WIN32
// An unreadable settings file gives the defaults but says why; a write never replaces it. Run in a
// child under an alarm so that a read waiting on a FIFO fails instead of hanging.
TEST_F(IniFileTest, ASettingsFileThatCannotBeReadIsReportedNeverWaitedOn)
{
    struct Case
    {
        const char* name;
        std::function<void(const std::string&)> make;
        std::string reason; ///< empty: readable
    };
    const Case cases[] = {
        {"missing", [](const std::string&) {}, ""},
        {"FIFO", [](const std::string& path) { ::mkfifo(path.c_str(), 0600); },
            "不是普通文件（是 FIFO、设备或套接字）"},
        {"larger than any settings file",
            [](const std::string& path) {
                WriteBytes(path, "[Apache]\nListen=81\n");
                std::filesystem::resize_file(path, 1ull << 32);
            },
            "文件超过 8 MB，太大，没有读取"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "Larkspan.ini";
        c.make(path);
        const auto outcome = test::RunInChild([&]() -> std::optional<std::string> {
            ::alarm(10);
            const Status readable = IniReadable("Larkspan.ini", dir.path());
            const std::string value = IniRead("Apache", "Listen", "none", "Larkspan.ini", dir.path());
            const Status written = IniWrite("Apache", "Listen", "82", "Larkspan.ini", dir.path());
            return readable.message() + "|" + value + "|" + written.message();
        });
        ASSERT_TRUE(outcome.has_value()) << "a read did not return";
        if (c.reason.empty()) {
            EXPECT_EQ(*outcome, "|none|");
            continue;
        }
        const std::string failure = path + ": " + c.reason;
        EXPECT_EQ(*outcome, failure + "|none|" + failure);
    }

    // Bytes that no text holds: whatever its keys would read as, this is no settings file.
    TempDir dir;
    WriteBytes(dir / "Larkspan.ini", std::string("[Apache]\0Listen=81\n", 19));
    EXPECT_EQ(IniReadable("Larkspan.ini", dir.path()).message(),
        (dir / "Larkspan.ini") + ": 不是文本格式的配置文件（含有NUL或其他控制字符）");
}

#endif

} // namespace
} // namespace larkspan
