#include "platform/log_time.h"

#include <array>

namespace larkspan {

std::string LongTimeText(const std::tm& time)
{
    // %X may expand to several bytes per field in some locales (e.g. CJK hour/minute marks).
    std::array<char, 128> buffer {};
    const std::size_t length = std::strftime(buffer.data(), buffer.size(), "%X", &time);
    return std::string(buffer.data(), length);
}

std::tm LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return local;
}

std::string LongTimeNow()
{
    return LongTimeText(LocalTimeNow());
}

} // namespace larkspan
