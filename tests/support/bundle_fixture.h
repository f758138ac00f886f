#pragma once
// What the integration tests share: free ports, programs run without a shell, polling, plain HTTP,
// and a demo bundle laid out by bundle/make-bundle in a temporary folder.
#include "support/file_contents.h"
#include "support/temp_dir.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace larkspan::test {

/// A TCP port nobody listens on at the moment, chosen by the kernel; 0 when none could be had.
inline int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

struct ProgramOutput
{
    int exitCode = -1; ///< -1 when the program could not start, was killed or timed out
    std::string text; ///< stdout and stderr together, then what went wrong, if anything
};

/// Runs `words` (the program first, looked up in PATH) without a shell, stdin from /dev/null, and
/// waits for it at most `seconds`; a program still running then is killed.
inline ProgramOutput RunProgram(std::vector<std::string> words, int seconds = 120)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return {-1, std::string("pipe: ") + std::strerror(errno)};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawnError = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (spawnError != 0) {
        ::close(ends[0]);
        return {-1, words[0] + ": " + std::strerror(spawnError)};
    }

    ProgramOutput output;
    bool timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd readable {ends[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::read(ends[0], buffer, sizeof buffer);
        if (got > 0)
            output.text.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    ::close(ends[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    if (timedOut)
        output.text += "\n" + words[0] + ": timed out after " + std::to_string(seconds) + " s";
    else if (WIFEXITED(status))
        output.exitCode = WEXITSTATUS(status);
    return output;
}

/// Polls `condition` every tenth of a second for up to `seconds`, running `meanwhile` (reaping,
/// processing events) before each poll.
inline bool WaitFor(
    const std::function<bool()>& condition, int seconds = 60, const std::function<void()>& meanwhile = {})
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (meanwhile)
            meanwhile();
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return condition();
}

/// The whole HTTP/1.0 response (status line, headers, body) to a GET of `path` on the loopback
/// address, or empty when nothing answers; a server that stalls is given ten seconds.
inline std::string HttpGet(int port, const std::string& path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const timeval timeout {10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    std::string response;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: localhost\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL)
            == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                response.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return response;
}

/// What follows the blank line after a response's headers.
inline std::string HttpBody(const std::string& response)
{
    const std::size_t end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}

/// Pids of the live processes named `name` whose command line mentions `marker`.
inline std::vector<pid_t> ProcessesOf(const std::string& name, const std::string& marker)
{
    std::vector<pid_t> pids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = entry.path().filename();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string comm = FileContents(entry.path() / "comm");
        if (!comm.empty() && comm.back() == '\n')
            comm.pop_back();
        // An ended process has an empty command line, so it never matches.
        const std::string commandLine = FileContents(entry.path() / "cmdline");
        if (comm == name && commandLine.find(marker) != std::string::npos)
            pids.push_back(std::stoi(pid));
    }
    return pids;
}

/// A demo bundle made by bundle/make-bundle in `folderName` of a fresh temporary folder, with
/// Apache and MariaDB on two different free ports. Its servers are stopped and the folder removed
/// when it goes.
class TemporaryBundle final
{
public:
    /// The panel part comes from this build's install rule; `options` follow on make-bundle's
    /// command line (--no-phpmyadmin). No menu entry is written: tests never touch a real home.
    TemporaryBundle(const std::string& folderName, const std::vector<std::string>& options)
        : m_path(std::filesystem::path(m_root.path()) / folderName)
    {
        // Apache's workers may run as another user and must reach the web root.
        ::chmod(m_root.path().c_str(), 0755);
        m_apachePort = FreePort();
        do
            m_mysqlPort = FreePort();
        while (m_mysqlPort == m_apachePort);
        std::vector<std::string> words {LARKSPAN_SOURCE_DIR "/bundle/make-bundle", m_path.string(),
            "--apache-port", std::to_string(m_apachePort), "--mysql-port", std::to_string(m_mysqlPort),
            "--build", LARKSPAN_BUILD_DIR, "--no-desktop-entries"};
        words.insert(words.end(), options.begin(), options.end());
        m_made = RunProgram(words, 300);
    }
    ~TemporaryBundle() { StopServers(); }
    TemporaryBundle(const TemporaryBundle&) = delete;
    TemporaryBundle& operator=(const TemporaryBundle&) = delete;

    bool made() const { return m_made.exitCode == 0; }
    const std::string& makeOutput() const { return m_made.text; }
    const std::filesystem::path& path() const { return m_path; }
    std::string operator/(std::string_view relative) const { return (m_path / relative).string(); }
    int apachePort() const { return m_apachePort; }
    int mysqlPort() const { return m_mysqlPort; }

    /// The bundle's own service command, e.g. Net("start", "Apache2").
    ProgramOutput Net(const std::string& verb, const std::string& service) const
    {
        return RunProgram({*this / "bin/net", verb, service});
    }

    /// The bundle's running servers (never those of another bundle or of the system).
    std::vector<pid_t> Servers() const
    {
        auto pids = ProcessesOf("httpd.exe", m_path.string());
        const auto mysql = ProcessesOf("mysqld-nt.exe", m_path.string());
        pids.insert(pids.end(), mysql.begin(), mysql.end());
        return pids;
    }

    /// Stops both servers through the bundle, then by signal; returns false when one had to be killed.
    bool StopServers(const std::function<void()>& meanwhile = {}) const
    {
        Net("stop", "Apache2");
        Net("stop", "MySQL");
        for (const pid_t pid : Servers())
            ::kill(pid, SIGTERM);
        const bool gone = WaitFor([this] { return Servers().empty(); }, 60, meanwhile);
        for (const pid_t pid : Servers())
            ::kill(pid, SIGKILL);
        return gone;
    }

private:
    TempDir m_root;
    std::filesystem::path m_path;
    int m_apachePort = 0;
    int m_mysqlPort = 0;
    ProgramOutput m_made;
};

/// A test suite whose tests share one demo bundle, laid out once without phpMyAdmin.
class SharedBundleTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_demo = std::make_unique<TemporaryBundle>("bundle", std::vector<std::string> {"--no-phpmyadmin"});
    }
    static void TearDownTestSuite() { s_demo.reset(); }
    void SetUp() override { ASSERT_TRUE(s_demo->made()) << s_demo->makeOutput(); }

    inline static std::unique_ptr<TemporaryBundle> s_demo;
};

} // namespace larkspan::test
