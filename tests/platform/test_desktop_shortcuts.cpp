#include "platform/desktop_shortcuts.h"
#include "support/file_contents.h"
#include "support/temp_home_posix.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

class DesktopTest : public testing::Test
{
protected:
    void WriteUserDirs(const std::string& line)
    {
        std::ofstream(Home() / ".config" / "user-dirs.dirs") << "# written by the test\n" << line << "\n";
    }
    fs::path Home() const { return m_home.home(); }

    TempHome m_home {"larkspan-desktop"};
};

TEST_F(DesktopTest, FindsTheDesktopFolder)
{
    const struct
    {
        const char* name;
        const char* userDirs; ///< nullptr: no user-dirs.dirs
        const char* folder; ///< under the home; created
        bool found;
    } rows[] {
        {"configured folder", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"", "Bureau", true},
        {"configured with a trailing slash", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch/\"", "Schreibtisch", true},
        {"no configuration: ~/Desktop", nullptr, "Desktop", true},
        {"configured folder missing", "XDG_DESKTOP_DIR=\"$HOME/Missing\"", "Desktop", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(Home() / ".config" / "user-dirs.dirs");
        if (row.userDirs)
            WriteUserDirs(row.userDirs);
        fs::create_directories(Home() / row.folder);
        std::string folder = "unchanged";
        const Status status = MakeSystemDesktopShortcuts()->FindDesktopFolder(folder);
        EXPECT_EQ(status.ok(), row.found) << status.message();
        if (row.found)
            EXPECT_EQ(folder, (Home() / row.folder).string());
        else
            EXPECT_NE(status.message().find("Missing"), std::string::npos) << status.message();
        fs::remove_all(Home() / row.folder);
    }
}

TEST_F(DesktopTest, ADesktopThatIsAFileIsNotFound)
{
    std::ofstream(Home() / "Desktop") << "not a folder";
    std::string folder;
    const Status status = MakeSystemDesktopShortcuts()->FindDesktopFolder(folder);
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find((Home() / "Desktop").string()), std::string::npos) << status.message();
}

TEST_F(DesktopTest, ShortcutKeepsItsNameAndReplacesAnEarlierOne)
{
    const fs::path desktop = Home() / "Desktop";
    fs::create_directories(desktop);
    std::ofstream(desktop / "Larkspan.lnk") << "old shortcut";
    const auto shortcuts = MakeSystemDesktopShortcuts();
    ASSERT_TRUE(
        shortcuts->WriteInternetShortcut(desktop.string(), "Larkspan.lnk", "http://lark.example/?i").ok());
    EXPECT_EQ(FileContents(desktop / "Larkspan.lnk"),
        "[Desktop Entry]\nType=Link\nName=Larkspan\nURL=http://lark.example/?i\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(desktop), fs::directory_iterator()), 1);
}

TEST_F(DesktopTest, AShortcutThatCannotBeWrittenFailsNamingItAndLeavesNothing)
{
    const fs::path desktop = Home() / "Desktop";
    // A folder in the shortcut's place cannot be replaced, even by root.
    fs::create_directories(desktop / "Larkspan.lnk");
    const Status status = MakeSystemDesktopShortcuts()->WriteInternetShortcut(
        desktop.string(), "Larkspan.lnk", "http://lark.example/?i");
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("Larkspan.lnk"), std::string::npos) << status.message();
    EXPECT_EQ(std::distance(fs::directory_iterator(desktop), fs::directory_iterator()), 1);
}

TEST(FreedesktopLinkText, TitleIsTheNameWithoutItsExtension)
{
    EXPECT_EQ(FreedesktopLinkText("Meadowhost.lnk", "http://www.meadowhost.example/?i"),
        "[Desktop Entry]\nType=Link\nName=Meadowhost\nURL=http://www.meadowhost.example/?i\n");
    EXPECT_EQ(FreedesktopLinkText("Site", "http://a.example/"),
        "[Desktop Entry]\nType=Link\nName=Site\nURL=http://a.example/\n");
}

} // namespace
} // namespace larkspan
