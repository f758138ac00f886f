#pragma once

#include "platform/tcp_listeners.h"

#include <map>
#include <vector>

namespace larkspan {

/// Listeners that tests place on ports; records which ports were looked up.
class FakeTcpListeners final : public TcpListeners
{
public:
    std::vector<TcpListener> ListenersOn(std::uint16_t port) override
    {
        lookups.push_back(port);
        const auto it = ports.find(port);
        return it == ports.end() ? std::vector<TcpListener> {} : it->second;
    }

    std::map<std::uint16_t, std::vector<TcpListener>> ports;
    std::vector<std::uint16_t> lookups;
};

} // namespace larkspan
