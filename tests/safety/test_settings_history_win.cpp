// The history on Windows: a history folder or a copy that is a symbolic link (a reparse point) is
// never followed.
#include "config/folders.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_message_boxes.h"
#include "safety/history_commit.h"
#include "safety/settings_history.h"
#include "safety/undo.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"
#include "texts/catalogue.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, std::string_view bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// False where the system makes no symbolic links for this user. (Wine 8 says it made one and made
// nothing, and makes no junctions either: there these tests are skipped.)
bool MakeLink(const fs::path& link, const fs::path& target, bool folder)
{
    const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2; // ALLOW_UNPRIVILEGED_CREATE
    if (!::CreateSymbolicLinkW(link.wstring().c_str(), target.wstring().c_str(), flags))
        return false;
    const DWORD attributes = ::GetFileAttributesW(link.wstring().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

struct WindowsHistory : testing::Test
{
    WindowsHistory()
        : files(bundle.path())
        , history(bundle.path())
    {
        files.texts[conf] = "Listen 80\r\n";
    }
    test::TempDir bundle;
    FakeConfigFiles files;
    FakeMessageBoxes messages;
    SettingsHistory history;
    const std::string conf = bundle.path() + "\\Apache2\\conf\\httpd.conf";
};

TEST_F(WindowsHistory, AHistoryFolderThatIsALinkIsNeitherWrittenNorTrimmed)
{
    const fs::path elsewhere = fs::path(bundle.path()) / "elsewhere";
    WriteBytes(elsewhere / "photos-2019" / "a.jpg", "photo");
    if (!MakeLink(history.folder(), elsewhere, true))
        GTEST_SKIP() << "no symbolic links here";
    EXPECT_TRUE(IsLink(history.folder()));
    FileBatch batch(files);
    ASSERT_TRUE(batch.Restore(conf, "Listen 81\r\n").ok());
    const Status saved = CommitWithHistory(batch, history, "Apache设置");
    EXPECT_EQ(saved.message(), catalogue::HistoryIsLink(history.folder()));
    EXPECT_EQ(files.texts.at(conf), "Listen 80\r\n");
    EXPECT_EQ(UndoLastSave(files, history, messages).kind, UndoOutcome::Kind::Failed);
    EXPECT_EQ(FileContents(elsewhere / "photos-2019" / "a.jpg"), "photo");
}

TEST_F(WindowsHistory, ACopyThatIsALinkIsNotRead)
{
    const fs::path secret = fs::path(bundle.path()) / "secret.txt";
    WriteBytes(secret, "secret\r\n");
    const fs::path entry = fs::path(history.folder()) / "20200101-000000-000001";
    WriteBytes(entry / "manifest.txt",
        "LarkspanAdmin settings history 1\ntime 2020-01-01 00:00:00\ndialog Apache设置\n"
        "file 1 present appdir \\Apache2\\conf\\httpd.conf\n");
    if (!MakeLink(entry / "1", secret, false))
        GTEST_SKIP() << "no symbolic links here";
    const UndoOutcome undo = UndoLastSave(files, history, messages);
    EXPECT_EQ(undo.kind, UndoOutcome::Kind::Failed);
    EXPECT_NE(undo.message.find(catalogue::kIsLink), std::string::npos) << undo.message;
    EXPECT_EQ(files.texts.at(conf), "Listen 80\r\n");
}

} // namespace
} // namespace larkspan
