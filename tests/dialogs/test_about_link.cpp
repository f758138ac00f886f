#include "dialogs/about_link.h"
#include "fakes/fake_desktop_shortcuts.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "support/file_contents.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

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

} // namespace
} // namespace larkspan
