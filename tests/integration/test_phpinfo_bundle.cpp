// The phpinfo command on a real demo bundle: the page it writes must be served by Apache with PHP.
#include "config_files.h"
#include "fake_dialog_host.h"
#include "fake_launcher.h"
#include "fake_messages.h"
#include "launch_commands.h"

#include <arpa/inet.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace larkspan {
namespace {

namespace fs = std::filesystem;

int RunAndWait(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// A TCP port nobody listens on right now, chosen by the kernel.
int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

/// The whole HTTP/1.0 response to a GET of `path` on localhost, or empty when nobody answers.
std::string HttpGet(int port, const std::string& path)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: localhost\r\n\r\n";
        if (send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
            char buffer[8192];
            ssize_t count;
            while ((count = recv(fd, buffer, sizeof buffer, 0)) > 0)
                response.append(buffer, static_cast<size_t>(count));
        }
    }
    close(fd);
    return response;
}

class PhpinfoOnBundle : public testing::Test
{
protected:
    void SetUp() override
    {
        m_bundle = fs::temp_directory_path() / ("larkspan-phpinfo-" + std::to_string(getpid()));
        fs::remove_all(m_bundle);
        m_apachePort = FreePort();
        int mysqlPort = FreePort();
        while (mysqlPort == m_apachePort)
            mysqlPort = FreePort();
        ASSERT_EQ(RunAndWait({LARKSPAN_SOURCE_DIR "/bundle/make-bundle", m_bundle.string(), "--apache-port",
                      std::to_string(m_apachePort), "--mysql-port", std::to_string(mysqlPort), "--build",
                      LARKSPAN_BUILD_DIR, "--no-desktop-entries", "--no-phpmyadmin"}),
            0);
        ASSERT_EQ(RunAndWait({(m_bundle / "bin" / "net").string(), "start", "Apache2"}), 0);
        m_started = true;
    }
    void TearDown() override
    {
        if (m_started)
            RunAndWait({(m_bundle / "bin" / "net").string(), "stop", "Apache2"});
        std::error_code error;
        fs::remove_all(m_bundle, error);
    }

    fs::path m_bundle;
    int m_apachePort = 0;
    bool m_started = false;
};

TEST_F(PhpinfoOnBundle, WrittenPageIsServedAsPhpInformation)
{
    std::ofstream(m_bundle / "www" / "phpinfo.php") << "an older page";
    DiskConfigFiles files(m_bundle.string());
    FakeLauncher launcher;
    FakeMessages messages;
    FakeDialogHost dialogs;

    LaunchCommands(files, launcher, messages, dialogs).phpinfo();

    EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
    EXPECT_EQ(launcher.lines(),
        (std::vector<std::string> {
            "explorer.exe http://localhost:" + std::to_string(m_apachePort) + "/phpinfo.php"}));
    const std::string response = HttpGet(m_apachePort, "/phpinfo.php");
    EXPECT_NE(response.find(" 200 "), std::string::npos) << response.substr(0, 400);
    EXPECT_NE(response.find("phpinfo()"), std::string::npos) << response.substr(0, 400);
    EXPECT_NE(response.find("PHP Version"), std::string::npos);
    EXPECT_EQ(response.find("phpinfo();"), std::string::npos) << "the page's source was sent, not run";
}

} // namespace
} // namespace larkspan
