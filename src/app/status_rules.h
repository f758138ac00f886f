#pragma once

#include "app/service_kind.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

namespace larkspan {

class ProcessList;

/// A colour as red, green and blue bytes.
struct Rgb
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

/// How one server's row looks in a state: the status label, what a screen reader says of it, and
/// which start/stop controls work. Restart controls are not part of it: no state ever disables them.
struct ServicePresentation
{
    std::string_view glyph;
    Rgb colour;
    std::string_view toolTip;
    /// The glyph's accessible name: the server and its state in words.
    std::string_view spokenName;
    bool startEnabled = false;
    bool stopEnabled = false;
};

ServicePresentation PresentationFor(ServiceKind kind, ServiceState state);

/// Any process of the server's image name means it runs.
constexpr ServiceState StateFromCount(int count)
{
    return count >= 1 ? Running : Stopped;
}

/// Follows both servers through the process list. Remembers, per server, the state last announced
/// in the event log, so a line is written only when that state changes.
class StatusMonitor final
{
public:
    struct View
    {
        std::function<void(ServiceKind, ServiceState)> showServiceState;
        std::function<void(std::string_view)> appendLogLine;
        /// Optional: what was seen of a server at start-up and on each tick, after its line.
        std::function<void(ServiceKind, ServiceState)> observed = nullptr;
    };

    StatusMonitor(ProcessList& processes, View view);

    /// Start-up: presents and announces both servers whatever their state, Apache first.
    void Probe();
    /// One timer tick: presents both servers again and announces only the changes, Apache first.
    void Tick();

    ServiceState Announced(ServiceKind kind) const { return m_announced[ServiceIndex(kind)]; }

private:
    /// Both servers' states from one pass over the process list.
    std::array<ServiceState, kAllServiceKinds.size()> Observe();
    void Announce(ServiceKind kind, ServiceState state);

    ProcessList& m_processes;
    View m_view;
    std::array<ServiceState, kAllServiceKinds.size()> m_announced {Stopped, Stopped};
};

} // namespace larkspan
