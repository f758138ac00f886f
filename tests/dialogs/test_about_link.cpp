#include "dialogs/about_link.h"
#include "fakes/fake_desktop_shortcuts.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "support/file_contents.h"
#ifndef _WIN32
#include "support/temp_home.h"
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
std::vector<std::string> Entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
#endif

using Shortcut = FakeDesktopShortcuts::Shortcut;

TEST(AboutLink, WritesBothShortcutsInOrderThenOpensTheSiteEveryClick)
{
    FakeDesktopShortcuts desktop;
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    size_t shortcutsAtLaunch = 0;
    launcher.onLaunch = [&](const Command&) { shortcutsAtLaunch = desktop.written.size(); };
    AboutLink link(desktop, launcher, messages);

    link.Visit();
    EXPECT_EQ(shortcutsAtLaunch, 2u);
    link.Visit();

    const Shortcut maker {"/home/user/Desktop", "Larkspan.lnk", "http://lark.example/?i"};
    const Shortcut partner {"/home/user/Desktop", "Meadowhost.lnk", "http://www.meadowhost.example/?i"};
    EXPECT_EQ(desktop.written, (std::vector<Shortcut> {maker, partner, maker, partner}));
    ASSERT_EQ(launcher.launches.size(), 2u);
    EXPECT_EQ(launcher.launches[0].line(), "explorer.exe http://lark.example/?i");
    EXPECT_EQ(launcher.launches[0].style, WindowStyle::MinimizedFocus);
    EXPECT_EQ(launcher.launches[0].command.arguments[0].kind, Argument::Kind::Url);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(AboutLink, TheFirstFailureIsShownAndEndsTheSequence)
{
    const struct
    {
        const char* name;
        bool desktopMissing;
        const char* failingShortcut;
        bool launchFails;
        size_t written;
        const char* named;
    } rows[] {
        {"no desktop folder", true, "", false, 0, "/home/user/Desktop"},
        {"first shortcut fails", false, "Larkspan.lnk", false, 0, "Larkspan.lnk"},
        {"second shortcut fails", false, "Meadowhost.lnk", false, 1, "Meadowhost.lnk"},
        {"browser cannot start", false, "", true, 2, "explorer.exe"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeDesktopShortcuts desktop;
        desktop.missing = row.desktopMissing;
        desktop.failOn = row.failingShortcut;
        FakeLauncher launcher;
        launcher.failWhen = [&](const Command&) { return row.launchFails; };
        FakeMessageBoxes messages;
        AboutLink(desktop, launcher, messages).Visit();
        EXPECT_EQ(desktop.written.size(), row.written);
        EXPECT_TRUE(launcher.launches.empty());
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_NE(messages.shown[0].find(row.named), std::string::npos) << messages.shown[0];
    }
}

#ifndef _WIN32
// The real desktop folder of a temporary home; on Windows the shell names the folder, and
// test_desktop_win checks the shortcut files themselves.
TEST(AboutLink, PutsWorkingShortcutsOnTheRealDesktopFolder)
{
    TempHome home("larkspan-about");
    const fs::path desktop = home.home() / "Desktop";
    fs::create_directories(desktop);
    std::ofstream(desktop / "Larkspan.lnk") << "an earlier shortcut";
    const auto shortcuts = MakeSystemDesktopShortcuts();
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    std::vector<std::string> entriesAtLaunch;
    launcher.onLaunch = [&](const Command&) { entriesAtLaunch = Entries(desktop); };

    AboutLink(*shortcuts, launcher, messages).Visit();

    EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
    EXPECT_EQ(entriesAtLaunch, (std::vector<std::string> {"Larkspan.lnk", "Meadowhost.lnk"}));
    EXPECT_EQ(FileContents(desktop / "Larkspan.lnk"),
        "[Desktop Entry]\nType=Link\nName=Larkspan\nURL=http://lark.example/?i\n");
    EXPECT_EQ(FileContents(desktop / "Meadowhost.lnk"),
        "[Desktop Entry]\nType=Link\nName=Meadowhost\nURL=http://www.meadowhost.example/?i\n");
    EXPECT_EQ(launcher.lines(), (std::vector<std::string> {"explorer.exe http://lark.example/?i"}));
}

TEST(AboutLink, AnUnwritableDesktopLeavesNothingHalfWritten)
{
    TempHome home("larkspan-about");
    const fs::path desktop = home.home() / "Desktop";
    // Folders in the partner shortcut's place: its write fails even for root.
    fs::create_directories(desktop / "Meadowhost.lnk");
    const auto shortcuts = MakeSystemDesktopShortcuts();
    FakeLauncher launcher;
    FakeMessageBoxes messages;

    AboutLink(*shortcuts, launcher, messages).Visit();

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].find("Meadowhost.lnk"), std::string::npos) << messages.shown[0];
    EXPECT_TRUE(launcher.launches.empty());
    // The maker's shortcut is complete and no temporary file is left behind.
    EXPECT_EQ(Entries(desktop), (std::vector<std::string> {"Larkspan.lnk", "Meadowhost.lnk"}));
    EXPECT_EQ(FileContents(desktop / "Larkspan.lnk"),
        "[Desktop Entry]\nType=Link\nName=Larkspan\nURL=http://lark.example/?i\n");
}

#endif

} // namespace
} // namespace larkspan
