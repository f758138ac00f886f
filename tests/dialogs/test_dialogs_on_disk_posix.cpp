// The dialogs' logic on real POSIX files: directories as a POSIX Apache reads them, and a disk
// that fails between two files.
#include "config/disk_config_files.h"
#include "dialogs/apache_settings.h"
#include "dialogs/mysql_settings.h"
#include "fakes/fake_message_boxes.h"
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>

namespace larkspan {
namespace {

namespace fs = std::filesystem;

void Write(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class DialogsOnDisk : public testing::Test
{
protected:
    DialogsOnDisk()
    {
        for (const char* folder : {"Apache2/conf", "Apache2/htdocs", "MySQL", "www"})
            fs::create_directories(dir / folder);
        Write(dir / "Larkspan.ini",
            "[Apache]\r\nListen=8080\r\nDocumentRoot=" + (dir / "www")
                + "\r\n[MySQL]\r\nport=3306\r\nmax_connections=100\r\ndefault-storage-engine=INNODB\r\n");
        Write(dir / "Apache2/conf/httpd.conf", "Listen 8080\r\nDocumentRoot \"" + (dir / "www") + "\"\r\n");
        Write(dir / "MySQL/my.ini", "[client]\nport=3306\n[mysqld]\nport=3306\n");
    }

    std::map<std::string, std::string> Snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            if (entry.is_regular_file())
                files[entry.path().string()] = FileContents(entry.path());
        return files;
    }

    test::TempDir dir;
    DiskConfigFiles files {dir.path()};
    FakeMessageBoxes messages;
};

// Letter case and the backslash count on a POSIX server only.
TEST_F(DialogsOnDisk, TheSiteDirectoryIsTheOneAPosixApacheWillUse)
{
    const auto utf8 = MakeTextCodePage("UTF-8");
    const struct
    {
        std::string root;
        std::string message;
    } rows[] = {
        {dir / "WWW", "网站的目录不存在！"},
        {dir.path() + "\\www", "网站的目录不存在！\n" + dir.path() + "\\www"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.root);
        ApacheSettings settings(files, messages, *utf8);
        ApacheFields fields = settings.Load();
        fields.root = row.root;
        messages.shown.clear();
        EXPECT_FALSE(settings.Save(fields));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].rfind(row.message, 0), 0u) << messages.shown[0];
    }
}

// A disk that fills is made with a file-size limit, which only POSIX systems have.
TEST_F(DialogsOnDisk, ADiskFailingAtTheSecondFileLeavesBothAsTheyWere)
{
    // my.ini grows past a file-size limit that Larkspan.ini stays under, as on a disk that fills.
    Write(dir / "MySQL/my.ini", "[client]\nport=3306\n[mysqld]\nport=3306\n" + std::string(5000, '#') + "\n");
    const auto before = Snapshot();
    const auto utf8 = MakeTextCodePage("UTF-8");
    MySqlSettings settings(files, messages, *utf8);
    MySqlFields fields = settings.Load();
    fields.port = "3307";

    rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit {4096, old.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool saved = settings.Save(fields);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "设置保存失败：\n" + (dir / "MySQL/my.ini") + ": File too large");
    EXPECT_EQ(Snapshot(), before);
}

} // namespace
} // namespace larkspan
