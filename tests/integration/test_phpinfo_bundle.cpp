// The phpinfo command on a real demo bundle: the page it writes must be served by Apache with PHP.
#include "app/launch_commands.h"
#include "config/disk_config_files.h"
#include "fakes/fake_dialog_host.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "safety/settings_history.h"
#include "support/bundle_fixture.h"

#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace larkspan {
namespace {

class PhpinfoOnBundle : public testing::Test
{
protected:
    void SetUp() override
    {
        m_bundle
            = std::make_unique<test::TemporaryBundle>("bundle", std::vector<std::string> {"--no-phpmyadmin"});
        ASSERT_TRUE(m_bundle->made()) << m_bundle->makeOutput();
        const test::ProgramOutput started = m_bundle->Net("start", "Apache2");
        ASSERT_EQ(started.exitCode, 0) << started.text;
        m_apachePort = m_bundle->apachePort();
    }

    std::unique_ptr<test::TemporaryBundle> m_bundle;
    int m_apachePort = 0;
};

TEST_F(PhpinfoOnBundle, WrittenPageIsServedAsPhpInformation)
{
    std::ofstream(*m_bundle / "www/phpinfo.php") << "an older page";
    DiskConfigFiles files(m_bundle->path().string());
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    FakeDialogHost dialogs;

    SettingsHistory history(files.AppDir());
    LaunchCommands(files, launcher, messages, dialogs, history).phpinfo();

    EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
    EXPECT_EQ(launcher.lines(),
        (std::vector<std::string> {
            "explorer.exe http://localhost:" + std::to_string(m_apachePort) + "/phpinfo.php"}));
    const std::string response = test::HttpGet(m_apachePort, "/phpinfo.php");
    EXPECT_NE(response.find(" 200 "), std::string::npos) << response.substr(0, 400);
    EXPECT_NE(response.find("phpinfo()"), std::string::npos) << response.substr(0, 400);
    EXPECT_NE(response.find("PHP Version"), std::string::npos);
    EXPECT_EQ(response.find("phpinfo();"), std::string::npos) << "the page's source was sent, not run";
}

} // namespace
} // namespace larkspan
