// Every save keeps what it replaced; an undo puts the last save's files back, all or none.
#include "fakes/fake_config_files.h"
#include "fakes/fake_message_boxes.h"
#include "safety/history_commit.h"
#include "safety/settings_history.h"
#include "safety/undo.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace larkspan {
namespace {

using test::TempDir;
using Kind = UndoOutcome::Kind;

void WriteBytesTo(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct HistoryTest : testing::Test
{
    HistoryTest()
        : files(bundle.path())
        , history(bundle.path())
    {
        files.texts[ini]
            = "[Apache]\r\nListen=80\r\nServerName=\xB2\xE2\xCA\xD4\r\nDocumentRoot=/srv/www 100%\r\n"; // GBK
        files.texts[conf] = "Listen 80\n";
        files.texts[vhosts] = "NameVirtualHost *\n";
    }

    // One save: every file of `contents` set to its text; nullopt removes it.
    Status Save(const std::map<std::string, std::optional<std::string>>& contents,
        std::string_view dialog = "Apache设置")
    {
        FileBatch batch(files);
        for (const auto& [file, content] : contents) {
            if (Status status = batch.Restore(file, content); !status.ok())
                return status;
        }
        return CommitWithHistory(batch, history, dialog);
    }

    std::vector<HistoryEntry> Entries()
    {
        std::vector<HistoryEntry> entries;
        EXPECT_TRUE(history.List(entries).ok());
        return entries;
    }

    TempDir bundle;
    FakeConfigFiles files;
    FakeMessageBoxes messages;
    SettingsHistory history;
    const std::string ini = bundle.path() + "\\Larkspan.ini";
    const std::string conf = bundle.path() + "\\Apache2\\conf\\httpd.conf";
    const std::string vhosts = bundle.path() + "\\Apache2\\conf\\vhosts.conf";
    const std::string page = "/srv/www 100%\\phpinfo.php";
};

TEST_F(HistoryTest, ASaveKeepsThePreviousBytesOfEachFileItReplaced)
{
    const auto before = files.texts;
    ASSERT_TRUE(
        Save({{ini, "[Apache]\r\nListen=81\r\n"}, {conf, "Listen 81\n"}, {page, "<?php phpinfo(); ?>"}})
            .ok());
    ASSERT_TRUE(Save({{conf, "Listen 81\n"}}).ok()); // nothing changes: no entry

    const std::vector<HistoryEntry> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    HistoryEntry entry;
    ASSERT_TRUE(history.Load(entries[0].name, entry).ok());
    EXPECT_EQ(entry.dialog, "Apache设置");
    EXPECT_EQ(entry.time.size(), 19u);
    ASSERT_EQ(entry.files.size(), 3u);
    std::set<std::string> paths;
    for (const HistoryFile& file : entry.files) {
        SCOPED_TRACE(file.path);
        const auto old = before.find(file.path);
        EXPECT_EQ(file.existed, old != before.end());
        EXPECT_EQ(file.bytes, old == before.end() ? "" : old->second);
        paths.insert(file.path);
    }
    EXPECT_EQ(paths, (std::set<std::string> {ini, conf, page}));

    // Whole entries only: nothing half-built stays beside them.
    for (const auto& item : std::filesystem::directory_iterator(history.folder()))
        EXPECT_EQ(item.path().filename(), entries[0].name);
    // Stored relative to the bundle, so a moved bundle undoes its own files.
    EXPECT_NE(FileContents(history.folder() + "/" + entries[0].name + "/manifest.txt")
                  .find("appdir \\Larkspan.ini"),
        std::string::npos);
}

TEST_F(HistoryTest, TheNewestTwentySavesAreKept)
{
    for (int save = 1; save <= 25; ++save)
        ASSERT_TRUE(Save({{conf, "Listen " + std::to_string(8000 + save) + "\n"}}).ok());
    history.WaitUntilTidy();
    EXPECT_EQ(FolderNames(history.folder()).size(), 20u);
    const std::vector<HistoryEntry> entries = Entries();
    ASSERT_EQ(entries.size(), 20u);
    EXPECT_EQ(entries.front().sequence, 6u);
    EXPECT_EQ(entries.back().sequence, 25u);
    HistoryEntry oldest;
    ASSERT_TRUE(history.Load(entries.front().name, oldest).ok());
    EXPECT_EQ(oldest.files.at(0).bytes, "Listen 8005\n");
}

TEST_F(HistoryTest, NoFileChangesWithoutItsBackupAndNoBackupStaysWithoutItsSave)
{
    const auto before = files.texts;
    // The history folder cannot be made: the save stops, naming it.
    WriteBytesTo(bundle / "history", "not a folder");
    Status status = Save({{conf, "Listen 81\n"}});
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find(history.folder()), std::string::npos) << status.message();
    EXPECT_TRUE(files.calls.empty());
    std::filesystem::remove(bundle / "history");

    // The second replace fails and the first is put back: the save did not happen, nor its entry.
    files.failingWrites = {1};
    EXPECT_FALSE(Save({{ini, "x\r\n"}, {conf, "Listen 81\n"}}).ok());
    EXPECT_EQ(files.texts, before);
    EXPECT_TRUE(Entries().empty());

    // The put-back fails too: the entry stays, holding the old bytes of the file now new.
    files.writesAttempted = 0;
    files.failingWrites = {1, 2};
    EXPECT_FALSE(Save({{ini, "x\r\n"}, {conf, "Listen 81\n"}}).ok());
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(HistoryTest, AStagedEntryJoinsTheHistoryOnlyWhenPublishedAndLeavesNothingWhenDropped)
{
    const std::vector<HistoryFile> before {{conf, true, "Listen 80\n", {}}, {page, false, {}, {}}};
    {
        StagedEntry dropped;
        ASSERT_TRUE(history.Stage(before, "Apache设置", {}, dropped).ok());
        EXPECT_TRUE(Entries().empty());
        EXPECT_EQ(FolderNames(history.folder()).size(), 1u);
    }
    EXPECT_TRUE(FolderNames(history.folder()).empty());

    StagedEntry staged;
    ASSERT_TRUE(history.Stage(before, "Apache设置", {}, staged).ok());
    // Another save staging meanwhile (the check of a second dialog) leaves this one alone.
    StagedEntry other;
    ASSERT_TRUE(history.Stage(before, "PHP设置", {}, other).ok());
    other.Discard();
    std::string name;
    ASSERT_TRUE(history.Publish(staged, name).ok());
    EXPECT_EQ(FolderNames(history.folder()), std::vector<std::string> {name});
    HistoryEntry entry;
    ASSERT_TRUE(history.Load(name, entry).ok());
    ASSERT_EQ(entry.files.size(), 2u);
    EXPECT_EQ(entry.files[0].bytes, "Listen 80\n");
    EXPECT_FALSE(entry.files[1].existed);
    EXPECT_EQ(entry.dialog, "Apache设置");
}

TEST_F(HistoryTest, EachUndoGoesOneSaveFurtherBackAndIsItselfRecorded)
{
    const std::string original = files.texts[conf];
    const std::string originalHosts = files.texts[vhosts];
    ASSERT_TRUE(Save({{conf, "Listen 81\n"}}, "Apache设置").ok());
    ASSERT_TRUE(Save({{conf, "Listen 82\n"}, {page, "page"}, {vhosts, std::nullopt}}, "phpinfo").ok());

    const struct
    {
        const char* name;
        Kind kind;
        std::optional<std::string> conf; // nullopt: unchanged by this step
        std::string message;
    } steps[] = {
        {"the second save: the page removed, vhosts.conf back", Kind::Done, "Listen 81\n",
            "已撤销上次设置：phpinfo（"},
        {"then the first", Kind::Done, original, "已撤销上次设置：Apache设置（"},
        {"then nothing", Kind::Nothing, std::nullopt, std::string(catalogue::kNothingToUndo)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const auto before = files.texts;
        const UndoOutcome outcome = UndoLastSave(files, history, messages);
        EXPECT_EQ(outcome.kind, step.kind);
        EXPECT_TRUE(outcome.message.starts_with(step.message)) << outcome.message;
        EXPECT_EQ(files.texts.at(conf), step.conf.value_or(before.at(conf)));
    }
    EXPECT_EQ(files.texts.count(page), 0u);
    EXPECT_EQ(files.texts.at(vhosts), originalHosts);
    EXPECT_EQ(Entries().size(), 4u);

    // A new save is undone first; the undos' own entries hold what they replaced.
    ASSERT_TRUE(Save({{conf, "Listen 90\n"}}).ok());
    const UndoOutcome outcome = UndoLastSave(files, history, messages);
    EXPECT_EQ(outcome.kind, Kind::Done);
    EXPECT_EQ(outcome.message.substr(outcome.message.find('\n')), "\n重起Apache生效。");
    EXPECT_EQ(outcome.logMessage, "已撤销上次设置（Apache设置）...    ");
    EXPECT_EQ(files.texts.at(conf), original);
    HistoryEntry undo;
    ASSERT_TRUE(history.Load(Entries().back().name, undo).ok());
    EXPECT_EQ(undo.files.at(0).bytes, "Listen 90\n");
    EXPECT_EQ(UndoLastSave(files, history, messages).kind, Kind::Nothing);
    // Nothing was changed after any of these saves: nothing was asked.
    EXPECT_TRUE(messages.asked.empty());
}

TEST_F(HistoryTest, AnUndoRestoresEveryFileOrNone)
{
    ASSERT_TRUE(Save({{ini, "[Apache]\r\nListen=81\r\n"}, {conf, "Listen 81\n"}}).ok());
    const auto saved = files.texts;
    const std::size_t entries = Entries().size();

    files.failOn = conf;
    const UndoOutcome failed = UndoLastSave(files, history, messages);
    EXPECT_EQ(failed.kind, Kind::Failed);
    EXPECT_NE(failed.message.find(conf + ": Permission denied"), std::string::npos) << failed.message;
    EXPECT_EQ(files.texts, saved);
    EXPECT_EQ(Entries().size(), entries);

    // A damaged newest entry stops the undo rather than skipping to an older save.
    files.failOn.clear();
    WriteBytesTo(history.folder() + "/" + Entries().back().name + "/manifest.txt", "garbage\n");
    const UndoOutcome damaged = UndoLastSave(files, history, messages);
    EXPECT_EQ(damaged.kind, Kind::Failed);
    EXPECT_NE(damaged.message.find("不是完整的设置历史记录"), std::string::npos) << damaged.message;
    EXPECT_EQ(files.texts, saved);
}

} // namespace
} // namespace larkspan

namespace larkspan {
namespace {

namespace fs = std::filesystem;

void WriteTree(const fs::path& path, std::string_view bytes)
{
    fs::create_directories(path.parent_path());
    WriteBytesTo(path.string(), bytes);
}

std::string ValidManifest(std::string_view files = "file 1 present appdir \\Apache2\\conf\\httpd.conf\n")
{
    return "LarkspanAdmin settings history 1\ntime 2020-01-01 00:00:00\ndialog Apache设置\n"
        + std::string(files);
}

TEST_F(HistoryTest, TidyingRemovesWholeEntriesOfTheHistoryAndNothingElse)
{
    const fs::path folder = history.folder();
    const std::string entry = ValidManifest();
    const struct
    {
        const char* folder;
        std::map<std::string, std::string> files;
        bool removed;
    } rows[] = {
        {"httpd-conf-backup-1", {{"httpd.conf", "a backup of mine\n"}}, false},
        {"photos-2019", {{"a.jpg", "photo"}}, false},
        {"20200101-000000-7", {{"manifest.txt", entry}, {"1", "x"}}, false}, // not the name form of an entry
        {"20200101-000000-000001", {{"manifest.txt", "garbage\n"}, {"1", "x"}}, false},
        {"20200101-000000-000002", {{"manifest.txt", entry}, {"1", "x"}, {"notes.txt", "mine"}}, false},
        {"20200101-000000-000003", {{"manifest.txt", entry}, {"1", "x"}}, true},
        {".old-photos", {{"a.jpg", "photo"}}, false},
        {".old-20200101-000000-000004", {{"manifest.txt", entry}, {"notes.txt", "mine"}}, false},
        {".old-20200101-000000-000005", {{"manifest.txt", entry}, {"1", "x"}}, true}, // a removal cut short
        {".new-Ab12cd", {{"1", "x"}}, true}, // a save cut short
    };
    for (const auto& row : rows) {
        for (const auto& [name, bytes] : row.files)
            WriteTree(folder / row.folder / name, bytes);
    }
    SettingsHistory small(bundle.path(), 2);
    for (int save = 1; save <= 3; ++save) {
        FileBatch batch(files);
        ASSERT_TRUE(batch.Restore(conf, "Listen " + std::to_string(8000 + save) + "\n").ok());
        ASSERT_TRUE(CommitWithHistory(batch, small, "Apache设置").ok());
    }
    small.WaitUntilTidy();

    for (const auto& row : rows) {
        SCOPED_TRACE(row.folder);
        EXPECT_EQ(fs::exists(folder / row.folder), !row.removed);
        if (row.removed)
            continue;
        for (const auto& [name, bytes] : row.files)
            EXPECT_EQ(FileContents(folder / row.folder / name), bytes) << name;
    }
    std::vector<HistoryEntry> entries;
    ASSERT_TRUE(small.List(entries).ok());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].files.at(0).path, conf);
}

TEST_F(HistoryTest, AHistoryFolderThatIsALinkIsNeitherWrittenNorTrimmed)
{
#ifdef _WIN32
    GTEST_SKIP() << "a junction is tried in test_settings_history_win";
#else
    const fs::path elsewhere = bundle / "elsewhere";
    WriteTree(elsewhere / "photos-2019" / "a.jpg", "photo");
    WriteTree(elsewhere / "trip-2020" / "b.jpg", "trip");
    WriteTree(elsewhere / "20200101-000000-000001" / "manifest.txt", ValidManifest());
    WriteTree(elsewhere / "20200101-000000-000001" / "1", "Listen 1\n");
    fs::create_directory_symlink(elsewhere, history.folder());
    const auto before = files.texts;

    const Status saved = Save({{conf, "Listen 81\n"}});
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.message(), catalogue::HistoryIsLink(history.folder()));
    EXPECT_EQ(files.texts, before);
    const UndoOutcome undo = UndoLastSave(files, history, messages);
    EXPECT_EQ(undo.kind, Kind::Failed);
    EXPECT_NE(undo.message.find(catalogue::HistoryIsLink(history.folder())), std::string::npos);
    EXPECT_FALSE(history.Tidy().ok());
    EXPECT_EQ(files.texts, before);
    EXPECT_EQ(FolderNames(elsewhere.string()),
        (std::vector<std::string> {"20200101-000000-000001", "photos-2019", "trip-2020"}));
    EXPECT_EQ(FileContents(elsewhere / "photos-2019" / "a.jpg"), "photo");
#endif
}

TEST_F(HistoryTest, AManifestBeyondTheBoundsOfASaveIsRefusedUnread)
{
    std::string manyLines;
    for (int line = 0; line < 300; ++line)
        manyLines += "note " + std::to_string(line) + "\n";
    std::string manyFiles;
    for (int file = 1; file <= 40; ++file)
        manyFiles += "file " + std::to_string(file) + " missing appdir \\Apache2\\conf\\"
            + std::to_string(file) + "\n";
    std::string large;
    for (int file = 1; large.size() <= 70 * 1024; ++file)
        large += "file " + std::to_string(file) + " missing appdir \\Apache2\\conf\\httpd.conf\n";
    const struct
    {
        const char* name;
        std::string manifest;
        std::string says;
    } rows[] = {
        {"more than 64 KiB", ValidManifest(large), catalogue::LargerThan(64 * 1024)},
        {"more lines than any save writes", ValidManifest(manyLines), "不是完整的设置历史记录"},
        {"more files than any save names", ValidManifest(manyFiles), "不是完整的设置历史记录"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(history.folder());
        WriteTree(fs::path(history.folder()) / "20200101-000000-000001" / "manifest.txt", row.manifest);
        const auto before = files.texts;
        const UndoOutcome undo = UndoLastSave(files, history, messages);
        EXPECT_EQ(undo.kind, Kind::Failed);
        EXPECT_NE(undo.message.find(row.says), std::string::npos) << undo.message;
        EXPECT_EQ(files.texts, before);
    }
}

TEST_F(HistoryTest, ASaveOrUndoLeavesOldEntriesToTheTidying)
{
    ASSERT_TRUE(Save({{conf, "Listen 81\n"}}).ok());
    const fs::path model = bundle / "model";
    fs::copy(fs::path(history.folder()) / Entries().front().name, model);
    // Copies of a whole entry, as a user might leave them: older than any save to come. Removed
    // by the caller's thread, thousands of them froze the window for many seconds.
    constexpr int kOld = 200;
    const auto plant = [&](const char* day) {
        for (int i = 1; i <= kOld; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "%s-000000-%06d", day, i);
            fs::copy(model, fs::path(history.folder()) / name);
        }
    };
    plant("20190101");
    ASSERT_TRUE(Save({{conf, "Listen 82\n"}}).ok());
    EXPECT_GT(FolderNames(history.folder()).size(), 20u + kOld / 2);
    history.WaitUntilTidy();
    EXPECT_EQ(FolderNames(history.folder()).size(), 20u);

    plant("20180101");
    EXPECT_EQ(UndoLastSave(files, history, messages).kind, Kind::Done);
    EXPECT_GT(FolderNames(history.folder()).size(), 20u + kOld / 2);
    EXPECT_EQ(files.texts.at(conf), "Listen 81\n");
    history.WaitUntilTidy();
    EXPECT_EQ(FolderNames(history.folder()).size(), 20u);
}

} // namespace
} // namespace larkspan
