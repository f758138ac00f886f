// Files another program holds open for a moment, as virus scanners, the search indexer and
// cloud-sync clients do with what was just written: a second process holds the target.
#include "config/folders.h"
#include "config/text_file.h"
#include "config/win/wide_text.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"
#include "support/test_support_win.h"

#include <aclapi.h>
#include <cstring>
#include <gtest/gtest.h>
#include <sddl.h>

namespace larkspan {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void WriteBytes(const std::string& path, const std::string& bytes)
{
    ASSERT_TRUE(WriteFileAtomically(path, bytes).ok()) << path;
}

// Starts the helper holding `path` with `share` for `milliseconds`, and waits until it holds it.
std::unique_ptr<test::ChildProcess> Holder(const std::string& path, DWORD share, int milliseconds)
{
    auto holder = std::make_unique<test::ChildProcess>("\"" + test::HelperProgram() + "\" hold \"" + path
            + "\" " + std::to_string(share) + " " + std::to_string(milliseconds),
        true);
    EXPECT_EQ(holder->ReadLine(), std::optional<std::string>("held"));
    return holder;
}

// Whether the system renames with POSIX semantics (Windows 10 1709 and later on NTFS; not Wine 8).
bool RenamesWithPosixSemantics(const test::TempDir& dir)
{
    const std::wstring from = test::WidePath(dir / "posix-from").wstring();
    const std::wstring to = test::WidePath(dir / "posix-to").wstring();
    const HANDLE file = ::CreateFileW(from.c_str(), DELETE, 0, nullptr, CREATE_NEW, 0, nullptr);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    const DWORD flags = 0x3; // replace if exists, POSIX semantics
    std::memcpy(buffer.data(), &flags, sizeof flags);
    rename->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
    to.copy(rename->FileName, to.size());
    const bool renamed = ::SetFileInformationByHandle(
        file, static_cast<FILE_INFO_BY_HANDLE_CLASS>(22), rename, static_cast<DWORD>(buffer.size()));
    ::CloseHandle(file);
    ::DeleteFileW(from.c_str());
    ::DeleteFileW(to.c_str());
    return renamed;
}

TEST(HeldFiles, AReplaceWaitsForAMomentaryHolderAndFailsOnlyOnALongOne)
{
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    test::TempDir scratch;
    const bool posix = RenamesWithPosixSemantics(scratch);
    const struct
    {
        const char* name;
        DWORD share;
        int holdsFor;
        bool replaced;
        std::chrono::milliseconds atLeast;
    } rows[] = {
        {"holds without sharing deletion for a moment", FILE_SHARE_READ | FILE_SHARE_WRITE, 700, true, 500ms},
        {"holds sharing nothing for a moment", 0, 700, true, 500ms},
        {"holds without sharing deletion for long", FILE_SHARE_READ, 30000, false, 1500ms},
        // Where the system has no such rename, the holder is waited for and the file left whole.
        {"holds sharing deletion", all, 30000, posix, posix ? 0ms : 1500ms},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const std::string file = dir / "httpd.conf";
        WriteBytes(file, "Listen 80\r\n");
        const auto holder = Holder(file, row.share, row.holdsFor);
        const auto started = Clock::now();
        const Status written = WriteFileAtomically(file, "Listen 81\r\n");
        const auto took = Clock::now() - started;
        EXPECT_EQ(written.ok(), row.replaced) << written.message();
        EXPECT_GE(took, row.atLeast);
        EXPECT_LT(took, 10s);
        holder->Kill();
        EXPECT_EQ(FileContents(test::WidePath(file)), row.replaced ? "Listen 81\r\n" : "Listen 80\r\n");
        std::vector<std::string> entries;
        for (const auto& entry : fs::directory_iterator(test::WidePath(dir.path())))
            entries.push_back(entry.path().filename().string());
        EXPECT_EQ(entries, std::vector<std::string> {"httpd.conf"});
    }
}

TEST(HeldFiles, TheHistoryFolderIsRenamedOnceItsFilesAreLetGo)
{
    test::TempDir dir;
    const std::string folder = dir / "staged";
    ASSERT_TRUE(MakeFolders(folder).ok());
    WriteBytes(folder + "\\httpd.conf", "x");
    const auto holder = Holder(folder + "\\httpd.conf", FILE_SHARE_READ, 700);
    const Status renamed = RenameFolder(folder, dir / "20240106-1");
    EXPECT_TRUE(renamed.ok()) << renamed.message();
    EXPECT_EQ(FileContents(test::WidePath(dir / "20240106-1\\httpd.conf")), "x");
}

std::string AccessListOf(const std::string& path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (::GetNamedSecurityInfoW(WideFromUtf8(path).value().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
            nullptr, nullptr, &dacl, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return "unreadable";
    wchar_t* text = nullptr;
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr);
    const std::string sddl = text ? Utf8FromWide(text) : "none";
    ::LocalFree(text);
    ::LocalFree(descriptor);
    return sddl;
}

// The replacement is a new file; it must not fall back to what the folder hands down when the
// original said who may read and write it.
TEST(HeldFiles, AReplacedFileKeepsItsOwnAccessList)
{
    test::TempDir dir;
    const std::string file = dir / "my.ini";
    WriteBytes(file, "[mysqld]\r\n");
    PSECURITY_DESCRIPTOR wanted = nullptr;
    // Protected: only the owner and SYSTEM, nothing inherited.
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:P(A;;FA;;;OW)(A;;FA;;;SY)(A;;FR;;;BU)", SDDL_REVISION_1, &wanted, nullptr));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ::GetSecurityDescriptorDacl(wanted, &present, &dacl, &defaulted);
    ASSERT_EQ(
        ::SetNamedSecurityInfoW(WideFromUtf8(file).value().data(), SE_FILE_OBJECT,
            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr),
        static_cast<DWORD>(ERROR_SUCCESS));
    ::LocalFree(wanted);
    const std::string before = AccessListOf(file);
    if (before.find("D:P(") == std::string::npos)
        GTEST_SKIP() << "the file system keeps no access lists here (Wine): " << before;

    WriteBytes(file, "[mysqld]\r\nport=3307\r\n");
    EXPECT_EQ(FileContents(test::WidePath(file)), "[mysqld]\r\nport=3307\r\n");
    EXPECT_EQ(AccessListOf(file), before);
}

} // namespace
} // namespace larkspan
