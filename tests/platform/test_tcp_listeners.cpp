// ListenersOn against real sockets of this process and of its children.
#include "platform/tcp_listeners.h"
#include "support/run_in_child_posix.h"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace larkspan {
namespace {

// The test program's name is longer than the kernel's 15-byte process name.
constexpr const char* kOwnName = "test_tcp_listeners";

class Socket final
{
public:
    Socket(int family, const char* address, bool listening, std::uint16_t port = 0)
        : m_fd(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_storage storage {};
        socklen_t length = 0;
        if (family == AF_INET) {
            auto* in = reinterpret_cast<sockaddr_in*>(&storage);
            in->sin_family = AF_INET;
            ::inet_pton(AF_INET, address, &in->sin_addr);
            in->sin_port = htons(port);
            length = sizeof *in;
        } else {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
            in6->sin6_family = AF_INET6;
            ::inet_pton(AF_INET6, address, &in6->sin6_addr);
            in6->sin6_port = htons(port);
            length = sizeof *in6;
        }
        m_ok = ::bind(m_fd, reinterpret_cast<sockaddr*>(&storage), length) == 0
            && (!listening || ::listen(m_fd, 4) == 0)
            && ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&storage), &length) == 0;
        m_port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&storage)->sin_port
                                         : reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port);
    }
    ~Socket() { ::close(m_fd); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool ok() const { return m_ok; }
    int fd() const { return m_fd; }
    std::uint16_t port() const { return m_port; }

private:
    int m_fd;
    bool m_ok = false;
    std::uint16_t m_port = 0;
};

TEST(TcpListeners, FindsListeningSocketsOfEveryAddressFamily)
{
    struct Case
    {
        const char* name;
        int family;
        const char* address;
        bool listening;
        bool found;
    };
    const Case cases[] = {
        {"IPv4, any address", AF_INET, "0.0.0.0", true, true},
        {"IPv4, loopback", AF_INET, "127.0.0.1", true, true},
        {"IPv6, any address", AF_INET6, "::", true, true},
        {"IPv6, loopback", AF_INET6, "::1", true, true},
        {"bound but not listening", AF_INET, "127.0.0.1", false, false},
    };
    const auto listeners = MakeSystemTcpListeners();
    for (const Case& c : cases) {
        const Socket socket(c.family, c.address, c.listening);
        ASSERT_TRUE(socket.ok()) << c.name;
        const std::vector<TcpListener> expected = c.found
            ? std::vector<TcpListener> {{static_cast<int>(::getpid()), kOwnName}}
            : std::vector<TcpListener> {};
        EXPECT_EQ(listeners->ListenersOn(socket.port()), expected) << c.name;
    }
}

TEST(TcpListeners, EveryProcessSharingTheSocketIsNamedOnce)
{
    const Socket v4(AF_INET, "127.0.0.1", true);
    ASSERT_TRUE(v4.ok());
    // The same port on IPv6 too: still one entry for this process.
    const Socket v6(AF_INET6, "::1", true, v4.port());
    ASSERT_TRUE(v6.ok());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // Inherits the socket, as a server's workers do.
        [[maybe_unused]] const ssize_t written = ::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);

    auto found = MakeSystemTcpListeners()->ListenersOn(v4.port());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    std::sort(found.begin(), found.end(),
        [](const TcpListener& a, const TcpListener& b) { return a.processId < b.processId; });
    EXPECT_EQ(found,
        (std::vector<TcpListener> {
            {static_cast<int>(::getpid()), kOwnName}, {static_cast<int>(child), kOwnName}}));
}

TEST(TcpListeners, AnOwnerOutOfSightIsStillReported)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to look at a socket as a user who may not see its owner";
    const Socket socket(AF_INET, "127.0.0.1", true);
    ASSERT_TRUE(socket.ok());
    const auto seen = test::RunInChild([&socket]() -> std::optional<std::string> {
        // Only the parent, which this user may not look into, holds the socket.
        ::close(socket.fd());
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            return std::nullopt;
        const auto found = MakeSystemTcpListeners()->ListenersOn(socket.port());
        std::string text;
        for (const TcpListener& listener : found)
            text += std::to_string(listener.processId) + " " + listener.imageName + ";";
        return text;
    });
    ASSERT_TRUE(seen.has_value()) << "could not drop to nobody";
    EXPECT_EQ(*seen, "0 ;");
}

} // namespace
} // namespace larkspan
