#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace larkspan {

/// A process that listens for TCP connections.
struct TcpListener
{
    /// 0 when the owner of the listening socket cannot be seen (another user's process).
    int processId = 0;
    /// Empty with processId 0.
    std::string imageName;
    bool operator==(const TcpListener&) const = default;
};

/// Which programs listen on a TCP port.
class TcpListeners
{
public:
    virtual ~TcpListeners() = default;
    /// The processes holding a listening TCP socket (IPv4 or IPv6, any address) on `port`, each once,
    /// plus one entry with processId 0 when some such socket's owner cannot be seen. Empty when
    /// nobody listens there or the table cannot be read.
    virtual std::vector<TcpListener> ListenersOn(std::uint16_t port) = 0;
};

std::unique_ptr<TcpListeners> MakeSystemTcpListeners();

} // namespace larkspan
