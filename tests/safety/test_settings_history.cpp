// Every save keeps what it replaced; an undo puts the last save's files back, all or none.
#include "fakes/fake_config_files.h"
#include "safety/history_commit.h"
#include "safety/settings_history.h"
#include "safety/undo.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace larkspan {
namespace {

using test::TempDir;
using Kind = UndoOutcome::Kind;

void WriteBytesTo(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct HistoryTest : testing::Test
{
    HistoryTest()
        : files(bundle.path())
        , history(bundle.path())
    {
        files.texts[ini] = "[Apache]\r\nListen=80\r\nServerName=\xB2\xE2\xCA\xD4\r\n"; // GBK
        files.texts[conf] = "Listen 80\n";
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
    SettingsHistory history;
    const std::string ini = bundle.path() + "\\Larkspan.ini";
    const std::string conf = bundle.path() + "\\Apache2\\conf\\httpd.conf";
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

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(HistoryTest, AStagedEntryJoinsTheHistoryOnlyWhenPublishedAndLeavesNothingWhenDropped)
{
    const std::vector<HistoryFile> before {{conf, true, "Listen 80\n"}, {page, false, {}}};
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
    const std::string originalIni = files.texts[ini];
    ASSERT_TRUE(Save({{conf, "Listen 81\n"}}, "Apache设置").ok());
    ASSERT_TRUE(Save({{conf, "Listen 82\n"}, {page, "page"}, {ini, std::nullopt}}, "phpinfo").ok());

    const struct
    {
        const char* name;
        Kind kind;
        std::optional<std::string> conf; // nullopt: unchanged by this step
        std::string message;
    } steps[] = {
        {"the second save: the page removed, Larkspan.ini back", Kind::Undone, "Listen 81\n",
            "已撤销上次设置：phpinfo（"},
        {"then the first", Kind::Undone, original, "已撤销上次设置：Apache设置（"},
        {"then nothing", Kind::NothingToUndo, std::nullopt, std::string(catalogue::kNothingToUndo)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        const auto before = files.texts;
        const UndoOutcome outcome = UndoLastSave(files, history);
        EXPECT_EQ(outcome.kind, step.kind);
        EXPECT_TRUE(outcome.message.starts_with(step.message)) << outcome.message;
        EXPECT_EQ(files.texts.at(conf), step.conf.value_or(before.at(conf)));
    }
    EXPECT_EQ(files.texts.count(page), 0u);
    EXPECT_EQ(files.texts.at(ini), originalIni);
    EXPECT_EQ(Entries().size(), 4u);

    // A new save is undone first; the undos' own entries hold what they replaced.
    ASSERT_TRUE(Save({{conf, "Listen 90\n"}}).ok());
    const UndoOutcome outcome = UndoLastSave(files, history);
    EXPECT_EQ(outcome.kind, Kind::Undone);
    EXPECT_EQ(outcome.message.substr(outcome.message.find('\n')), "\n重起Apache生效。");
    EXPECT_EQ(outcome.logMessage, "已撤销上次设置（Apache设置）...    ");
    EXPECT_EQ(files.texts.at(conf), original);
    HistoryEntry undo;
    ASSERT_TRUE(history.Load(Entries().back().name, undo).ok());
    EXPECT_EQ(undo.files.at(0).bytes, "Listen 90\n");
    EXPECT_EQ(UndoLastSave(files, history).kind, Kind::NothingToUndo);
}

TEST_F(HistoryTest, AnUndoRestoresEveryFileOrNone)
{
    ASSERT_TRUE(Save({{ini, "[Apache]\r\nListen=81\r\n"}, {conf, "Listen 81\n"}}).ok());
    const auto saved = files.texts;
    const std::size_t entries = Entries().size();

    files.failOn = conf;
    const UndoOutcome failed = UndoLastSave(files, history);
    EXPECT_EQ(failed.kind, Kind::Failed);
    EXPECT_NE(failed.message.find(conf + ": Permission denied"), std::string::npos) << failed.message;
    EXPECT_EQ(files.texts, saved);
    EXPECT_EQ(Entries().size(), entries);

    // A damaged newest entry stops the undo rather than skipping to an older save.
    files.failOn.clear();
    WriteBytesTo(history.folder() + "/" + Entries().back().name + "/manifest.txt", "garbage\n");
    const UndoOutcome damaged = UndoLastSave(files, history);
    EXPECT_EQ(damaged.kind, Kind::Failed);
    EXPECT_NE(damaged.message.find("不是完整的设置历史记录"), std::string::npos) << damaged.message;
    EXPECT_EQ(files.texts, saved);
}

} // namespace
} // namespace larkspan
