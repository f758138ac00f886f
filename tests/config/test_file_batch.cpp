// One save's file changes composed in memory and committed file by file, undone on a failure.
#include "config/file_batch.h"
#include "config/native_path.h"
#include "fakes/fake_config_files.h"
#include "support/platform_line_end.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

using Call = FakeConfigFiles::Call;

const std::string kIni = "D:\\bundle\\Larkspan.ini";
const std::string kConf = "D:\\bundle\\httpd.conf";
const std::string kNew = "D:\\bundle\\new.ini";

// Larkspan.ini edited twice, httpd.conf once, new.ini created, and an edit that changes nothing.
Status Compose(FileBatch& batch)
{
    for (Status status : {batch.SetIniKey("Larkspan.ini", "Apache", "Listen", "81"),
             batch.RewriteDirective(kConf, "Listen", "81"), batch.SetIniKey(kNew, "s", "k", "v"),
             batch.SetIniKey("Larkspan.ini", "Apache", "ServerName", "n"),
             batch.Edit(kConf, [](std::string_view content) { return std::string(content); })}) {
        if (!status.ok())
            return status;
    }
    return Status::Success();
}

struct FileBatchTest : testing::Test
{
    FileBatchTest()
    {
        files.texts[kIni] = "[Apache]\r\nListen=80\r\n";
        files.texts[kConf] = "Listen 80\n";
    }
    FakeConfigFiles files;
    FileBatch batch {files};
};

TEST_F(FileBatchTest, ReplacesEachChangedFileOnceInTheOrderFirstEdited)
{
    ASSERT_TRUE(Compose(batch).ok());
    EXPECT_TRUE(files.calls.empty());
    ASSERT_TRUE(batch.Commit().ok());
    EXPECT_EQ(files.calls,
        (std::vector<Call> {{"ReplaceFile", kIni, "[Apache]\r\nListen=81\r\nServerName=n\r\n"},
            {"ReplaceFile", kConf, "Listen 81\n"},
            {"ReplaceFile", kNew, test::WithPlatformLineEnds("[s]\nk=v\n")}}));

    FileBatch unchanged(files);
    ASSERT_TRUE(unchanged.SetIniKey("Larkspan.ini", "Apache", "Listen", "81").ok());
    EXPECT_FALSE(unchanged.Changed());
    files.calls.clear();
    ASSERT_TRUE(unchanged.Commit().ok());
    EXPECT_TRUE(files.calls.empty());
}

TEST_F(FileBatchTest, AFailedReplacePutsBackWhatWasReplacedOrNamesTheFilesThatDisagree)
{
    const auto original = files.texts;
    // Paths are shown in the platform's own form.
    const std::string ini = NativePath(kIni);
    const std::string conf = NativePath(kConf);
    const std::string added = NativePath(kNew);
    const struct
    {
        std::set<int> failing;
        std::vector<std::string> written; // the writes that succeeded, in order
        std::string disagreement; // empty: every file is as it was
    } rows[] = {
        {{0}, {}, ""},
        {{1}, {kIni, kIni}, ""},
        {{2}, {kIni, kConf, kConf, kIni}, ""},
        {{2, 3}, {kIni, kConf, kIni}, "已是新的设置：" + conf + "\n仍是原来的设置：" + ini + "、" + added},
        {{2, 3, 4}, {kIni, kConf}, "已是新的设置：" + conf + "、" + ini + "\n仍是原来的设置：" + added},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.failing));
        files.texts = original;
        files.calls.clear();
        files.writesAttempted = 0;
        files.failingWrites = row.failing;
        FileBatch failing(files);
        ASSERT_TRUE(Compose(failing).ok());
        const Status status = failing.Commit();
        EXPECT_FALSE(status.ok());
        EXPECT_EQ(files.WrittenFiles(), row.written);
        if (row.disagreement.empty()) {
            EXPECT_EQ(files.texts, original);
            EXPECT_EQ(status.message().find("不一致"), std::string::npos) << status.message();
        } else {
            EXPECT_NE(status.message().find(row.disagreement), std::string::npos) << status.message();
        }
    }
}

TEST_F(FileBatchTest, RestoresExactBytesRemovesFilesAndShowsEachChange)
{
    const std::string binary = "D:\\bundle\\binary.dat";
    files.texts[binary] = std::string("\0\1", 2);
    const auto original = files.texts;
    const auto compose = [&](FileBatch& restore) {
        for (Status status : {restore.Restore(binary, "text"), restore.Restore(kConf, std::nullopt),
                 restore.Restore(kNew, ""), restore.Restore(kIni, original.at(kIni))})
            ASSERT_TRUE(status.ok()) << status.message();
    };
    compose(batch);
    const std::vector<FileBatch::Change> changes = batch.Changes();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].before, std::string_view("\0\1", 2));
    EXPECT_EQ(changes[0].after, "text");
    EXPECT_TRUE(changes[1].existed);
    EXPECT_EQ(changes[1].after, std::nullopt);
    EXPECT_FALSE(changes[2].existed);
    EXPECT_EQ(changes[2].after, "");
    ASSERT_TRUE(batch.Commit().ok());
    EXPECT_EQ(files.calls,
        (std::vector<Call> {
            {"ReplaceFile", binary, "text"}, {"RemoveFile", kConf, ""}, {"ReplaceFile", kNew, ""}}));

    // A removed file is put back like a replaced one.
    files.texts = original;
    files.calls.clear();
    files.writesAttempted = 0;
    files.failingWrites = {2};
    FileBatch failing(files);
    compose(failing);
    EXPECT_FALSE(failing.Commit().ok());
    EXPECT_FALSE(failing.partlyCommitted());
    EXPECT_EQ(files.texts, original);
}

TEST_F(FileBatchTest, RefusesFilesItCannotEditBeforeAnythingIsWritten)
{
    files.texts["D:\\bundle\\binary.ini"] = std::string("[a]\0k=1\n", 8);
    files.directories = {"D:\\bundle\\folder.ini"};
    const struct
    {
        Status status;
        std::string message;
    } rows[] = {
        {batch.SetIniKey("binary.ini", "a", "k", "2"),
            NativePath("D:\\bundle\\binary.ini") + ": 不是文本格式的配置文件（含有NUL或其他控制字符）"},
        {batch.SetIniKey("folder.ini", "a", "k", "2"), "D:\\bundle\\folder.ini: Is a directory"},
        {batch.RewriteDirective("D:\\bundle\\missing.conf", "Listen", "81"),
            "D:\\bundle\\missing.conf: No such file or directory"},
        {batch.SetIniKey("Larkspan.ini", "Apache", "Listen", "8\n1"),
            NativePath(kIni) + ": Listen 的值含有换行符或NUL字符"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.status.message(), row.message);
    EXPECT_FALSE(batch.Changed());
}

} // namespace
} // namespace larkspan
