// The user's long time format from Windows itself: strftime's %X knows only the C runtime's locale
// and answers in the ANSI code page.
#include "config/win/wide_text.h"
#include "platform/log_time.h"

#include <windows.h>

namespace larkspan {

namespace {

std::string FormatTime(const SYSTEMTIME& time)
{
    wchar_t buffer[128];
    const int length = ::GetTimeFormatEx(
        LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, buffer, static_cast<int>(std::size(buffer)));
    return length > 1 ? Utf8FromWide(std::wstring_view(buffer, static_cast<std::size_t>(length - 1)))
                      : std::string();
}

} // namespace

std::string LongTimeText(const std::tm& time)
{
    SYSTEMTIME system {};
    system.wYear = static_cast<WORD>(time.tm_year + 1900);
    system.wMonth = static_cast<WORD>(time.tm_mon + 1);
    system.wDay = static_cast<WORD>(time.tm_mday > 0 ? time.tm_mday : 1);
    system.wHour = static_cast<WORD>(time.tm_hour);
    system.wMinute = static_cast<WORD>(time.tm_min);
    system.wSecond = static_cast<WORD>(time.tm_sec);
    return FormatTime(system);
}

std::tm LocalTimeNow()
{
    SYSTEMTIME now {};
    ::GetLocalTime(&now);
    std::tm local {};
    local.tm_year = now.wYear - 1900;
    local.tm_mon = now.wMonth - 1;
    local.tm_mday = now.wDay;
    local.tm_wday = now.wDayOfWeek;
    local.tm_hour = now.wHour;
    local.tm_min = now.wMinute;
    local.tm_sec = now.wSecond;
    local.tm_isdst = -1;
    return local;
}

std::string LongTimeNow()
{
    SYSTEMTIME now {};
    ::GetLocalTime(&now);
    return FormatTime(now);
}

} // namespace larkspan
