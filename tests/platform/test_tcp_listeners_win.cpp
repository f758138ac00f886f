// ListenersOn against a socket of this test program, from the system's TCP tables.
#include "platform/tcp_listeners.h"

#include <gtest/gtest.h>
#include <winsock2.h>

namespace larkspan {
namespace {

TEST(TableTcpListeners, NamesThisProgramOnItsPortAndNobodyOnceItIsClosed)
{
    WSADATA data {};
    ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    const SOCKET listening = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listening, 4), 0);
    ASSERT_EQ(::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const auto port = ::ntohs(address.sin_port);

    // Wine's table names no owner: the port is still reported as taken.
    const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    const auto listeners = MakeSystemTcpListeners();
    const std::vector<TcpListener> expected = wine
        ? std::vector<TcpListener>(1)
        : std::vector<TcpListener> {
            {static_cast<int>(::GetCurrentProcessId()), "test_tcp_listeners_win.exe"}};
    EXPECT_EQ(listeners->ListenersOn(port), expected);
    ::closesocket(listening);
    EXPECT_TRUE(listeners->ListenersOn(port).empty());
    ::WSACleanup();
}

} // namespace
} // namespace larkspan
