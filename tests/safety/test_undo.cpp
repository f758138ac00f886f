// The undo on real files: it asks before discarding a later change, what it discards comes back
// with a redo, and it writes only the files a save of the panel writes.
#include "config/disk_config_files.h"
#include "fakes/fake_message_boxes.h"
#include "safety/content_digest.h"
#include "safety/history_commit.h"
#include "safety/settings_history.h"
#include "safety/undo.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"
#include "texts/catalogue.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace larkspan {
namespace {

namespace fs = std::filesystem;
using Kind = UndoOutcome::Kind;

constexpr std::string_view kChangedSinceSave = " 在保存之后又被修改过，撤销将丢弃这些修改。继续吗？";

void WriteBytes(const fs::path& path, std::string_view bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Manifest(std::string_view lines)
{
    return "LarkspanAdmin settings history 1\ntime 2020-01-01 00:00:00\ndialog Apache设置\n"
        + std::string(lines);
}

struct UndoOnDisk : testing::Test
{
    UndoOnDisk()
        : files(bundle.string())
        , history(bundle.string())
    {
        WriteBytes(site / "index.php", "<?php echo 1;\n");
        WriteBytes(site / "phpMyAdmin" / "config.inc.php", "<?php\n");
        WriteBytes(
            bundle / "Larkspan.ini", "[Apache]\r\nListen=8080\r\nDocumentRoot=" + site.string() + "\r\n");
        WriteBytes(conf, kConf);
    }

    Status SaveListen(int port)
    {
        FileBatch batch(files);
        if (Status status
            = batch.RewriteDirective(In("\\Apache2\\conf\\httpd.conf"), "Listen", std::to_string(port));
            !status.ok())
            return status;
        return CommitWithHistory(batch, history, "Apache设置");
    }
    std::string In(std::string_view path) const { return bundle.string() + std::string(path); }
    std::size_t EntryCount()
    {
        std::vector<HistoryEntry> entries;
        EXPECT_TRUE(history.List(entries).ok());
        return entries.size();
    }

    static constexpr std::string_view kConf = "Listen 8080\nServerName localhost\n";
    test::TempDir temporary;
    const fs::path bundle = fs::path(temporary.path()) / "bundle";
    const fs::path site = fs::path(temporary.path()) / "www";
    const fs::path conf = bundle / "Apache2" / "conf" / "httpd.conf";
    DiskConfigFiles files;
    FakeMessageBoxes messages;
    SettingsHistory history;
};

TEST_F(UndoOnDisk, AnUndoNamesTheFilesChangedSinceTheSaveAndCancelWritesNothing)
{
    const struct
    {
        const char* name;
        std::function<void(const fs::path& conf, const std::string& before)> change;
        bool asked;
    } rows[] = {
        {"untouched since the save", [](const fs::path&, const std::string&) {}, false},
        {"edited by hand",
            [](const fs::path& conf, const std::string&) {
                WriteBytes(conf, FileContents(conf) + "# mine\n");
            },
            true},
        {"removed by hand", [](const fs::path& conf, const std::string&) { fs::remove(conf); }, true},
        // Nothing would be lost: the file already holds what the undo writes.
        {"put back by hand",
            [](const fs::path& conf, const std::string& before) { WriteBytes(conf, before); }, false},
    };
    int port = 8081;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string before = FileContents(conf);
        ASSERT_TRUE(SaveListen(port++).ok());
        row.change(conf, before);
        const std::string changed = fs::exists(conf) ? FileContents(conf) : "(missing)";
        const std::size_t entries = EntryCount();
        messages.asked.clear();

        messages.answers = {false};
        const UndoOutcome cancelled = UndoLastSave(files, history, messages);
        if (row.asked) {
            EXPECT_EQ(cancelled.kind, Kind::Cancelled);
            ASSERT_EQ(messages.asked.size(), 1u);
            EXPECT_NE(messages.asked[0].find(
                          NativePath(In("\\Apache2\\conf\\httpd.conf")) + std::string(kChangedSinceSave)),
                std::string::npos)
                << messages.asked[0];
            EXPECT_EQ(fs::exists(conf) ? FileContents(conf) : "(missing)", changed);
            EXPECT_EQ(EntryCount(), entries);
            messages.answers = {true};
            EXPECT_EQ(UndoLastSave(files, history, messages).kind, Kind::Done);
        } else {
            EXPECT_EQ(cancelled.kind, Kind::Done) << cancelled.message;
            EXPECT_TRUE(messages.asked.empty()) << messages.asked.front();
        }
        EXPECT_EQ(FileContents(conf), before);
    }
}

TEST_F(UndoOnDisk, WhatAnUndoReplacedComesBackWithARedoUntilTheNextSave)
{
    ASSERT_TRUE(SaveListen(8082).ok());
    const std::string saved = FileContents(conf);
    const std::string edited = saved + "# a hand edit after the save\n";
    WriteBytes(conf, edited);
    ASSERT_EQ(UndoLastSave(files, history, messages).kind, Kind::Done);
    EXPECT_EQ(FileContents(conf), kConf);

    // The undo changed nothing since: the redo asks nothing and brings the hand edit back.
    messages.asked.clear();
    const UndoOutcome redone = RedoLastUndo(files, history, messages);
    EXPECT_EQ(redone.kind, Kind::Done) << redone.message;
    EXPECT_TRUE(redone.message.starts_with("已恢复上次撤销的设置：Apache设置（")) << redone.message;
    EXPECT_EQ(redone.logMessage, "已恢复上次撤销的设置（Apache设置）...    ");
    EXPECT_TRUE(messages.asked.empty());
    EXPECT_EQ(FileContents(conf), edited);
    EXPECT_EQ(RedoLastUndo(files, history, messages).kind, Kind::Nothing);

    // The save counts as done again: the next undo takes it back, and still sees the hand edit.
    messages.answers = {true};
    EXPECT_EQ(UndoLastSave(files, history, messages).kind, Kind::Done);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_NE(messages.asked[0].find(kChangedSinceSave), std::string::npos);
    EXPECT_EQ(FileContents(conf), kConf);

    // A change after the undo is named before a redo discards it; Cancel keeps it.
    WriteBytes(conf, "Listen 9999\n");
    messages.asked.clear();
    messages.answers = {false};
    EXPECT_EQ(RedoLastUndo(files, history, messages).kind, Kind::Cancelled);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_NE(
        messages.asked[0].find(" 在撤销之后又被修改过，恢复将丢弃这些修改。继续吗？"), std::string::npos)
        << messages.asked[0];
    EXPECT_EQ(FileContents(conf), "Listen 9999\n");

    // A new save ends what can be redone.
    WriteBytes(conf, kConf);
    ASSERT_TRUE(SaveListen(8083).ok());
    const UndoOutcome nothing = RedoLastUndo(files, history, messages);
    EXPECT_EQ(nothing.kind, Kind::Nothing);
    EXPECT_EQ(nothing.message, catalogue::kNothingToRedo);
}

TEST_F(UndoOnDisk, AnEntryOfAnEarlierVersionIsUndoneAfterNamingEveryFileItWouldChange)
{
    // Without the "after" lines: what that save wrote is not known.
    const fs::path entry = bundle / "history" / "20200101-000000-000001";
    WriteBytes(entry / "manifest.txt", Manifest("file 1 present appdir \\Apache2\\conf\\httpd.conf\n"));
    WriteBytes(entry / "1", "Listen 7000\n");

    messages.answers = {false};
    EXPECT_EQ(UndoLastSave(files, history, messages).kind, Kind::Cancelled);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_NE(messages.asked[0].find("较早的版本"), std::string::npos) << messages.asked[0];
    EXPECT_NE(messages.asked[0].find(NativePath(In("\\Apache2\\conf\\httpd.conf"))), std::string::npos);
    EXPECT_EQ(FileContents(conf), kConf);

    // A file that already holds the old bytes loses nothing: no question.
    WriteBytes(conf, "Listen 7000\n");
    messages.asked.clear();
    EXPECT_EQ(UndoLastSave(files, history, messages).kind, Kind::Done);
    EXPECT_TRUE(messages.asked.empty());
}

TEST_F(UndoOnDisk, AnUndoWritesNothingButTheFilesSavesWrite)
{
    const fs::path victim = fs::path(temporary.path()) / "victim";
    const fs::path secret = fs::path(temporary.path()) / "secret";
    const std::string planted = "planted by a manifest\n";
    enum class Copy { Bytes, Link, Fifo };
    const struct
    {
        const char* name;
        std::string lines;
        Copy copy;
        const char* says; ///< in the message; empty for an undo that is done
    } rows[] = {
        {"an absolute path outside the bundle", "file 1 present absolute " + victim.string() + "\n",
            Copy::Bytes, "保存设置从不写入这个文件"},
        {"a path climbing out of the bundle", "file 1 present appdir \\..\\victim\n", Copy::Bytes,
            "保存设置从不写入这个文件"},
        {"a removal outside the bundle", "file 1 missing absolute " + victim.string() + "\n", Copy::Bytes,
            "保存设置从不写入这个文件"},
        {"a file of the site folder that no save writes",
            "file 1 present absolute " + (site / "index.php").string() + "\n", Copy::Bytes,
            "保存设置从不写入这个文件"},
        {"a NUL in a path", "file 1 present appdir \\Apache2\\conf\\httpd.conf%00.x\n", Copy::Bytes,
            "不是完整的设置历史记录"},
        {"a control character in a path", "file 1 present appdir \\Apache2\\conf\\httpd.conf%09\n",
            Copy::Bytes, "不是完整的设置历史记录"},
        {"a control character in the dialog", "dialog Apache\x1b[31m\nfile 1 present appdir \\Larkspan.ini\n",
            Copy::Bytes, "不是完整的设置历史记录"},
        {"a copy named like a path", "file ../1 present appdir \\Apache2\\conf\\httpd.conf\n", Copy::Bytes,
            "不是完整的设置历史记录"},
#ifndef _WIN32
        {"a copy that is a link", "file 1 present appdir \\Apache2\\conf\\httpd.conf\n", Copy::Link,
            "是一个链接"},
        {"a copy that is a FIFO", "file 1 present appdir \\Apache2\\conf\\httpd.conf\n", Copy::Fifo,
            "不是普通文件"},
#endif
        {"the settings file, spelt another way", "file 1 present appdir \\Apache2\\.\\conf\\\\httpd.conf\n",
            Copy::Bytes, ""},
        {"the phpinfo page of the site folder",
            "file 1 present absolute " + site.string() + "\\phpinfo.php\n", Copy::Bytes, ""},
        {"phpMyAdmin's settings in the site folder",
            "file 1 present absolute " + site.string() + "\\phpMyAdmin\\config.inc.php\n", Copy::Bytes, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(bundle / "history");
        WriteBytes(conf, kConf);
        WriteBytes(victim, "the victim's own\n");
        WriteBytes(secret, "root:SECRET:19000:0:99999:7:::\n");
        const fs::path entry = bundle / "history" / "20200101-000000-000001";
        WriteBytes(entry / "manifest.txt", Manifest(row.lines));
#ifndef _WIN32
        if (row.copy == Copy::Link)
            fs::create_symlink(secret, entry / "1");
        else if (row.copy == Copy::Fifo)
            ASSERT_EQ(::mkfifo((entry / "1").c_str(), 0600), 0);
        else
#endif
            WriteBytes(entry / "1", planted);

        const UndoOutcome outcome = UndoLastSave(files, history, messages);
        EXPECT_EQ(FileContents(victim), "the victim's own\n");
        EXPECT_EQ(FileContents(site / "index.php"), "<?php echo 1;\n");
        if (*row.says == '\0') {
            EXPECT_EQ(outcome.kind, Kind::Done) << outcome.message;
            continue;
        }
        EXPECT_EQ(outcome.kind, Kind::Failed);
        EXPECT_NE(outcome.message.find(row.says), std::string::npos) << outcome.message;
        EXPECT_EQ(FileContents(conf), kConf);
        EXPECT_FALSE(fs::exists(site / "phpinfo.php"));
    }
}

TEST(ContentDigest, Sha256OfKnownTexts)
{
    const struct
    {
        std::string text;
        const char* digest;
    } rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the first padding block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Sha256Hex(row.text), row.digest) << row.text.size() << " bytes";
}

} // namespace
} // namespace larkspan
