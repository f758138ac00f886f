// The settings dialogs' logic on real POSIX files: FIFOs in place of their files.
#include "config/disk_config_files.h"
#include "dialogs/apache_settings.h"
#include "dialogs/mysql_settings.h"
#include "dialogs/php_settings.h"
#include "dialogs/virtual_hosts.h"
#include "fakes/fake_message_boxes.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace larkspan {
namespace {

// A FIFO in place of Larkspan.ini or vhosts.conf would have hung the window at opening; now each
// dialog opens at once with its fields empty and says once why they are empty.
TEST(SettingsDialogs, AFifoInPlaceOfAFileIsReportedOnceAtOpening)
{
    test::TempDir bundle;
    std::filesystem::create_directories(bundle / "Apache2/conf");
    for (const char* name : {"Larkspan.ini", "Apache2/conf/vhosts.conf"})
        ASSERT_EQ(::mkfifo((bundle / name).c_str(), 0600), 0);
    DiskConfigFiles files(bundle.path());
    const auto utf8 = MakeTextCodePage("UTF-8");
    const std::string notRegular = ": 不是普通文件（是 FIFO、设备或套接字）";
    const std::string settings = "无法读取设置文件：\n" + (bundle / "Larkspan.ini") + notRegular;
    const struct
    {
        const char* name;
        std::function<bool(MessageBoxes&)> open; ///< whether every field came back empty
        std::string message;
    } rows[] = {
        {"Apache", [&](MessageBoxes& m) { return ApacheSettings(files, m, *utf8).Load() == ApacheFields {}; },
            settings},
        {"PHP", [&](MessageBoxes& m) { return PhpSettings(files, m, *utf8).Load().maxTime.empty(); },
            settings},
        {"MySQL", [&](MessageBoxes& m) { return MySqlSettings(files, m, *utf8).Load().port.empty(); },
            settings},
        {"virtual hosts", [&](MessageBoxes& m) { return VirtualHosts(files, m, *utf8).Load().empty(); },
            "无法读取站点配置文件：\n" + (bundle / "Apache2/conf/vhosts.conf") + notRegular},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeMessageBoxes messages;
        EXPECT_TRUE(row.open(messages));
        EXPECT_EQ(messages.shown, std::vector<std::string> {row.message});
    }
}

} // namespace
} // namespace larkspan
