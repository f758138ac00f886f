#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace larkspan {

enum class ServiceAction { Start, Stop };

/// What came of a service command.
struct ServiceAnswer
{
    enum class Outcome {
        Done, ///< the service runs (Start) or has stopped (Stop), or already did
        Denied, ///< refused for want of rights
        Refused, ///< the user declined the system's consent prompt
        Failed, ///< anything else; `reason` says what
        TimedOut, ///< not there within the time limit; the service may still get there
    };
    Outcome outcome = Outcome::Failed;
    std::string reason; ///< UTF-8, the system's or the command's own words; empty for Done
    bool operator==(const ServiceAnswer&) const = default;
};

/// Starts and stops the system's services without blocking the caller.
class ServiceManager
{
public:
    virtual ~ServiceManager() = default;
    /// Whether a command can be run again with administrator rights (the system's consent prompt).
    virtual bool CanElevate() const = 0;
    /// Starts or stops the service `name` and follows it until it runs or has stopped, at most
    /// `limit`; with `elevated`, as administrator once the user has consented. `done` is called
    /// exactly once with the answer, on the caller's thread, possibly before Run returns.
    virtual void Run(ServiceAction action, const std::string& name, bool elevated,
        std::chrono::milliseconds limit, std::function<void(const ServiceAnswer&)> done)
        = 0;
};

/// The system's: on Windows its service manager, elsewhere `appDir`/bin/net, the bundle's stand-in
/// of the net command, whose output goes to `logFile`. `post` runs a report on the caller's thread
/// (for a window, through its event loop); reports still on their way when the manager goes are
/// dropped.
std::unique_ptr<ServiceManager> MakeSystemServiceManager(
    std::string appDir, std::string logFile, std::function<void(std::function<void()>)> post);

} // namespace larkspan
