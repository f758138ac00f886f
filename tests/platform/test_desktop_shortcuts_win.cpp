#include "platform/app_dir.h"
#include "platform/desktop_shortcuts.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"
#include "support/test_support_win.h"

#include <fstream>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

/// The target of the shell link in `file`, as the shell reads it back.
std::string ShellLinkTarget(const std::string& file)
{
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
            reinterpret_cast<void**>(&link))))
        return "(no shell link object)";
    std::string target = "(unreadable)";
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
        PIDLIST_ABSOLUTE item = nullptr;
        PWSTR name = nullptr;
        if (SUCCEEDED(persist->Load(WideFromUtf8(file).value().c_str(), STGM_READ))
            && SUCCEEDED(link->GetIDList(&item)) && item != nullptr
            && SUCCEEDED(::SHGetNameFromIDList(item, SIGDN_DESKTOPABSOLUTEPARSING, &name)))
            target = Utf8FromWide(name);
        ::CoTaskMemFree(name);
        ::CoTaskMemFree(item);
        persist->Release();
    }
    link->Release();
    return target;
}

class WindowsDesktopTest : public ::testing::Test
{
protected:
    void SetUp() override { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { ::CoUninitialize(); }

    std::unique_ptr<DesktopShortcuts> m_shortcuts = MakeSystemDesktopShortcuts();
};

TEST_F(WindowsDesktopTest, FindsTheUsersDesktopFolder)
{
    std::string folder;
    ASSERT_TRUE(m_shortcuts->FindDesktopFolder(folder).ok());
    EXPECT_TRUE(::GetFileAttributesW(test::WidePath(folder).c_str()) & FILE_ATTRIBUTE_DIRECTORY) << folder;
    EXPECT_NE(folder.back(), '\\') << folder;
}

bool ShellParsesWebAddresses()
{
    PIDLIST_ABSOLUTE item = nullptr;
    const HRESULT result = ::SHParseDisplayName(L"http://lark.example/?i", nullptr, &item, 0, nullptr);
    ::CoTaskMemFree(item);
    return SUCCEEDED(result);
}

// Each shortcut is written whole under its own name, replacing an earlier file, and the shell reads
// back the target it was given.
void ExpectShortcuts(DesktopShortcuts& shortcuts, const std::string (&rows)[2][2])
{
    test::TempDir dir;
    const std::string folder = dir / "桌面";
    fs::create_directory(test::WidePath(folder));
    std::ofstream(test::WidePath(folder + "\\" + rows[0][0])) << "an earlier shortcut";

    for (const auto& [name, target] : rows) {
        const Status status = shortcuts.WriteInternetShortcut(folder, name, target);
        ASSERT_TRUE(status.ok()) << status.message();
    }
    for (const auto& [name, target] : rows)
        EXPECT_EQ(ShellLinkTarget(folder + "\\" + name), target) << name;
    const auto entries = fs::directory_iterator(test::WidePath(folder));
    EXPECT_EQ(std::distance(fs::begin(entries), fs::end(entries)), 2) << "a temporary file was left behind";
}

TEST_F(WindowsDesktopTest, WritesShortcutsUnderTheirNamesAtomically)
{
    const std::string program = test::HelperProgram();
    const std::string rows[2][2] = {{"Larkspan.lnk", program}, {"程序 α.lnk", ExecutableDirectory()}};
    ExpectShortcuts(*m_shortcuts, rows);
}

TEST_F(WindowsDesktopTest, ShortcutsToWebAddresses)
{
    if (!ShellParsesWebAddresses())
        GTEST_SKIP() << "this shell has no Internet folder to parse web addresses (Wine's is a stub)";
    const std::string rows[2][2] = {
        {"Larkspan.lnk", "http://lark.example/?i"}, {"Meadowhost.lnk", "http://www.meadowhost.example/?i"}};
    ExpectShortcuts(*m_shortcuts, rows);
}

TEST_F(WindowsDesktopTest, AShortcutThatCannotBeWrittenIsNamed)
{
    test::TempDir dir;
    fs::create_directory(dir / "Meadowhost.lnk");
    const Status status
        = m_shortcuts->WriteInternetShortcut(dir.path(), "Meadowhost.lnk", "http://x.example/");
    const std::string named = dir / "Meadowhost.lnk: ";
    EXPECT_TRUE(status.message().starts_with(named) && status.message().size() > named.size())
        << status.message();
}

} // namespace
} // namespace larkspan
