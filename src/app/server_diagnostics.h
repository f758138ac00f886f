#pragma once

#include "app/service_control.h"
#include "app/service_kind.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspan {

class ConfigFiles;
class TcpListeners;
class TextCodePage;

/// The port of a listen address as Apache's Listen or MariaDB's port gives it ("8080",
/// "127.0.0.1:8080", "[::1]:8080"); nullopt for anything else.
std::optional<std::uint16_t> ListenPort(std::string_view listen);

/// Explains in the event log what the status monitor only shows: before a start, which other
/// program holds the server's port; after a start that did not bring the server up within its
/// bound, or a stop no stop command asked for, a headline ("MySQL意外停止：") and the first new
/// lines of the server's own error output. Error files are read only from where they ended at the
/// start or at the last tick, and only when there is something to explain.
class ServerDiagnostics final : public ServiceCommandObserver
{
public:
    struct View
    {
        /// Appends a line in the log's form that may be too wide for the list: shown cut, with the
        /// whole text and `source` (the file it came from, may be empty) in its tool tip.
        std::function<void(std::string_view message, std::string_view source)> appendLogLine;
        /// Seconds on a monotonic clock.
        std::function<double()> now;
    };

    /// The servers write their error output in `codePage`.
    ServerDiagnostics(ConfigFiles& files, TcpListeners& listeners, const TextCodePage& codePage, View view);

    void BeforeStart(ServiceKind kind) override;
    void StartLaunched(ServiceKind kind) override;
    void StopLaunched(ServiceKind kind) override;

    /// What the status monitor saw of a server at start-up or on a tick, after its own line.
    void Observed(ServiceKind kind, ServiceState state);

private:
    struct Source
    {
        std::string path;
        std::uint64_t offset = 0;
    };
    struct Watch
    {
        ServiceState seen = Stopped;
        std::vector<Source> sources;
        std::string portMessage;
        std::optional<double> startDeadline;
        bool seenSinceStart = false;
        std::optional<double> stopRequestedUntil;
    };

    static std::size_t Index(ServiceKind kind) { return kind == ServiceKind::Apache ? 0 : 1; }
    void FindSources(ServiceKind kind);
    void MarkEnds(Watch& watch);
    std::string PortMessage(ServiceKind kind);
    void Explain(ServiceKind kind, std::string_view headline);

    ConfigFiles& m_files;
    TcpListeners& m_listeners;
    const TextCodePage& m_codePage;
    View m_view;
    std::array<Watch, 2> m_watches {};
};

} // namespace larkspan
