// What only Windows has: file attributes, files held open without sharing, wide names.
#include "config/native_path.h"
#include "config/text_file.h"
#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "support/config_test_support.h"

#include <gtest/gtest.h>

namespace larkspan {
namespace {

using test::TempDir;
using test::WriteBytes;

std::wstring Wide(const std::string& utf8)
{
    return WideFromUtf8(utf8).value();
}

DWORD AttributesOf(const std::string& path)
{
    return ::GetFileAttributesW(Wide(path).c_str());
}

std::string ContentsOf(const std::string& path)
{
    return FileContents(std::filesystem::path(Wide(path)));
}

bool NamesAPathAndAReason(const Status& status, const std::string& path)
{
    return !status.ok() && status.message().starts_with(path + ": ")
        && status.message().size() > path.size() + 2;
}

TEST(WindowsFiles, AReadOnlyFileIsRefusedAndKeepsItsAttribute)
{
    TempDir dir;
    const std::string file = dir / "ro.ini";
    WriteBytes(file, "keep");
    ::SetFileAttributesW(Wide(file).c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(NamesAPathAndAReason(WriteFileAtomically(file, "new"), file));
    EXPECT_EQ(ContentsOf(file), "keep");
    EXPECT_TRUE(AttributesOf(file) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(test::EntryCount(dir.path()), 1u);
}

// Another program holding the file without sharing what a replace needs: the write fails, the
// original stays whole and no temporary file is left. Reading shares everything, so only a holder
// that shares nothing keeps a reader out.
TEST(WindowsFiles, AFileHeldOpenWithoutSharingIsLeftWhole)
{
    struct Row
    {
        const char* name;
        DWORD share;
        bool readable;
    };
    const Row rows[] = {
        {"shares nothing", 0, false},
        {"shares reading only", FILE_SHARE_READ, true},
        {"shares all but deletion", FILE_SHARE_READ | FILE_SHARE_WRITE, true},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const std::string file = dir / "httpd.conf";
        WriteBytes(file, "Listen 80\r\n");
        UniqueHandle holder(::CreateFileW(
            Wide(file).c_str(), GENERIC_READ | GENERIC_WRITE, row.share, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.valid()) << row.name;

        EXPECT_TRUE(NamesAPathAndAReason(WriteFileAtomically(file, "Listen 81\r\n"), file)) << row.name;
        std::string content;
        EXPECT_EQ(ReadWholeFile(file, content).ok(), row.readable) << row.name;
        holder.Close();
        EXPECT_EQ(ContentsOf(file), "Listen 80\r\n") << row.name;
        EXPECT_EQ(test::EntryCount(dir.path()), 1u) << row.name;
    }
}

TEST(WindowsFiles, AReplacedFileKeepsItsAttributes)
{
    TempDir dir;
    const std::string file = dir / "vhosts.conf";
    WriteBytes(file, "old");
    ::SetFileAttributesW(Wide(file).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);

    ASSERT_TRUE(WriteFileAtomically(file, "new").ok());
    EXPECT_EQ(ContentsOf(file), "new");
    EXPECT_EQ(
        AttributesOf(file) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), DWORD(FILE_ATTRIBUTE_HIDDEN));
}

// Names reach the file system as the user wrote them: UTF-8 in, UTF-16 to Windows, never the
// ANSI code page; a name that is not UTF-8 is refused rather than turned into another file.
TEST(WindowsFiles, NamesAreConvertedExactly)
{
    TempDir dir;
    const std::string rows[] = {"设置.ini", "Größe ü.txt", "emoji \xF0\x9F\x98\x80.conf"};
    for (const std::string& name : rows) {
        const std::string file = dir / name;
        ASSERT_TRUE(WriteFileAtomically(file, name).ok()) << name;
        std::string content;
        ASSERT_TRUE(ReadWholeFile(file, content).ok()) << name;
        EXPECT_EQ(content, name);
        EXPECT_NE(AttributesOf(file), INVALID_FILE_ATTRIBUTES) << name << " under another name";
    }
    EXPECT_EQ(test::EntryCount(dir.path()), std::size(rows));

    const std::string invalid = dir / "bad\xff.ini";
    EXPECT_TRUE(NamesAPathAndAReason(WriteFileAtomically(invalid, "x"), invalid));
    std::string content;
    EXPECT_TRUE(NamesAPathAndAReason(ReadWholeFile(invalid, content), invalid));
    EXPECT_EQ(test::EntryCount(dir.path()), std::size(rows));
}

TEST(WindowsFiles, WhatIsNotARegularFileOfConfigurationSizeIsRefused)
{
    TempDir dir;
    const std::string limit(8u << 20, 'x');
    WriteBytes(dir / "at-limit", limit);
    WriteBytes(dir / "over-limit", limit + "x");
    for (const std::string device : {"NUL", "CON"}) {
        std::string content;
        EXPECT_TRUE(NamesAPathAndAReason(ReadWholeFile(device, content), device)) << device;
        EXPECT_TRUE(NamesAPathAndAReason(WriteFileAtomically(device, "x"), device)) << device;
    }
    std::string content = "untouched";
    EXPECT_TRUE(NamesAPathAndAReason(ReadWholeFile(dir / "over-limit", content), dir / "over-limit"));
    EXPECT_EQ(content, "untouched");
    ASSERT_TRUE(ReadWholeFile(dir / "at-limit", content).ok());
    EXPECT_EQ(content.size(), limit.size());
}

// A writer killed before its rename leaves its temporary file; the next write of that file removes
// it, and only it: a writer still at work holds its file unshared, and look-alikes are not ours.
TEST(WindowsFiles, TheNextWriteRemovesLeftoversOfKilledWritersOnly)
{
    TempDir dir;
    const std::string target = dir / "httpd.conf";
    WriteBytes(target, "old");
    struct Entry
    {
        const char* name;
        bool survives;
    };
    const Entry entries[] = {
        {".httpd.conf.tmp1-2-3", false},
        {".httpd.conf.tmp4-5-6", false},
        {".other.conf.tmp1-2-3", true},
        {".httpd.conf.tmpabc", true},
        {".httpd.conf.tmp1-2", true},
        {".httpd.conf.tmp1-2-3.bak", true},
        {"httpd.conf.tmp1-2-3", true},
    };
    for (const Entry& entry : entries)
        WriteBytes(dir / entry.name, "x");
    std::filesystem::create_directory(dir / ".httpd.conf.tmp7-8-9");
    WriteBytes(dir / ".httpd.conf.tmp10-8-9", "x");
    UniqueHandle liveWriter(::CreateFileW(Wide(dir / ".httpd.conf.tmp10-8-9").c_str(), GENERIC_WRITE | DELETE,
        0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(liveWriter.valid());

    ASSERT_TRUE(WriteFileAtomically(target, "new").ok());
    EXPECT_EQ(ContentsOf(target), "new");
    for (const Entry& entry : entries)
        EXPECT_EQ(AttributesOf(dir / entry.name) != INVALID_FILE_ATTRIBUTES, entry.survives) << entry.name;
    EXPECT_NE(AttributesOf(dir / ".httpd.conf.tmp7-8-9"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(AttributesOf(dir / ".httpd.conf.tmp10-8-9"), INVALID_FILE_ATTRIBUTES);
}

// Apache on Windows reads either separator, ignores letter case as the file system does, and
// takes a relative path below its ServerRoot.
TEST(WindowsPaths, ADirectoryIsCheckedAsTheServerReadsIt)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "Apache2\\htdocs");
    std::filesystem::create_directory(std::filesystem::path(Wide(dir / "网站")));
    WriteBytes(dir / "file", "");
    const std::string serverRoot = dir / "Apache2";
    const struct
    {
        std::string path;
        ServerDirectory expected;
    } rows[] = {
        {dir / "网站", ServerDirectory::Exists},
        {dir / "网站\\", ServerDirectory::Exists},
        {dir.path() + "/网站", ServerDirectory::Exists},
        {dir / "APACHE2", ServerDirectory::Exists},
        {"htdocs", ServerDirectory::Exists},
        {"..\\网站", ServerDirectory::Exists},
        {dir / "file", ServerDirectory::Missing},
        {dir / "missing", ServerDirectory::Missing},
        {dir / "*", ServerDirectory::Missing},
        {"", ServerDirectory::Missing},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CheckServerDirectory(row.path, serverRoot), row.expected) << row.path;
}

} // namespace
} // namespace larkspan
