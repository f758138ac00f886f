// The About link on a real POSIX desktop folder: working shortcuts, and nothing half-written.
#include "dialogs/about_link.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "platform/desktop_shortcuts.h"
#include "support/file_contents.h"
#include "support/temp_home_posix.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

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

} // namespace
} // namespace larkspan
