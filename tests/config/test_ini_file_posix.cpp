// Settings files on POSIX: native paths found without regard to letter case, directories as a
// POSIX server reads them, permission bits and links kept, FIFOs and huge files never read.
#include "config/ini.h"
#include "config/native_path.h"
#include "support/config_test_support.h"
#include "support/permission_bits_posix.h"
#include "support/run_in_child_posix.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace larkspan {
namespace {

using test::TempDir;
using test::WriteBytes;

class IniFileTest : public ::testing::Test
{
protected:
    TempDir m_dir;
    std::string ini(std::string_view name) const { return m_dir / name; }
};

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

} // namespace
} // namespace larkspan
