#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace larkspan {

/// The time of day in the user's long time format: the LC_TIME locale's time with seconds
/// ("14:05:09" in the C locale). Empty only if the locale's format produces nothing.
std::string LongTimeText(const std::tm& time);

/// The current local time.
std::tm LocalTimeNow();

/// The current local time of day in the user's long time format.
std::string LongTimeNow();

/// An event-log line: the message, whose trailing blanks separate it from the time, then the time.
inline std::string LogLine(std::string_view message, std::string_view time)
{
    std::string line(message);
    line += time;
    return line;
}

} // namespace larkspan
