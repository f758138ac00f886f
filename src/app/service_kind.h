#pragma once

#include "config/bundle_paths.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace larkspan {

/// The two servers the panel manages.
enum class ServiceKind { Apache, MySQL };
inline constexpr std::array kAllServiceKinds {ServiceKind::Apache, ServiceKind::MySQL};

/// Where `kind` stands in kAllServiceKinds: the index of whatever is kept per server.
constexpr std::size_t ServiceIndex(ServiceKind kind)
{
    return kind == ServiceKind::Apache ? 0 : 1;
}

/// The state last announced in the event log for a server.
enum ServiceState : short { Stopped = 0, Running = 1 };

/// Everything fixed about one server: how its process is recognised, what its row shows, says to a
/// screen reader and logs, and how the system's service commands name it. Log messages end in four
/// blanks, which separate them from the time.
struct ServiceInfo
{
    std::string_view processName; ///< the image name of the server's program
    std::string_view serviceName;
    std::string_view runningToolTip;
    std::string_view stoppedToolTip;
    std::string_view runningSpoken;
    std::string_view stoppedSpoken;
    std::string_view runningMessage;
    std::string_view stoppedMessage;
    std::string_view startingMessage;
    std::string_view stoppingMessage;
};

inline constexpr ServiceInfo kApacheInfo {
    paths::FileName(paths::kApacheProgram),
    "Apache2",
    "Apache运行",
    "Apache停止",
    "Apache：正在运行",
    "Apache：已停止",
    "Apache已经启动...    ",
    "Apache已经停止...    ",
    "Apache正在启动...    ",
    "Apache正在停止...    ",
};

inline constexpr ServiceInfo kMySqlInfo {
    paths::FileName(paths::kMySqlServerProgram),
    "MySQL",
    "MySQL运行",
    "MySQL停止",
    "MySQL：正在运行",
    "MySQL：已停止",
    "MySQL已经启动...    ",
    "MySQL已经停止...    ",
    "MySQL正在启动...    ",
    "MySQL正在停止...    ",
};

constexpr const ServiceInfo& Info(ServiceKind kind)
{
    return kind == ServiceKind::Apache ? kApacheInfo : kMySqlInfo;
}

} // namespace larkspan
