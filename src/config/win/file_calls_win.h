#pragma once
// Included by the Windows implementation files only.

#include "config/status.h"
#include "config/win/wide_text.h"
#include "texts/catalogue.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace larkspan {

/// The path and the system's reason for `error` (a Windows error code).
inline Status Failure(std::string_view path, DWORD error)
{
    return Status::Failure(std::string(path) + ": " + SystemErrorText(error));
}

/// The path and a reason of our own.
inline Status Refused(std::string_view path, std::string_view reason)
{
    return Status::Failure(std::string(path) + ": " + std::string(reason));
}

// MinGW's headers lack it: "An operation is not supported on a directory."
inline constexpr DWORD kDirectoryNotSupported = 336;

/// Reads the whole of the open `file` into `content`: only a file on disk (a device or pipe never
/// ends or never answers), refused with `tooLarge` when it holds more than `limit` bytes, also when it
/// grows while it is read. `content` is left alone on any failure.
inline Status ReadOpenFile(
    HANDLE file, std::string_view path, std::size_t limit, std::string_view tooLarge, std::string& content)
{
    if (::GetFileType(file) != FILE_TYPE_DISK)
        return Refused(path, catalogue::kNotRegularFile);
    BY_HANDLE_FILE_INFORMATION information {};
    if (!::GetFileInformationByHandle(file, &information))
        return Failure(path, ::GetLastError());
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return Failure(path, kDirectoryNotSupported);
    const unsigned long long size
        = (static_cast<unsigned long long>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (size > limit)
        return Refused(path, tooLarge);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    for (;;) {
        DWORD count = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &count, nullptr))
            return Failure(path, ::GetLastError());
        if (count == 0)
            break;
        if (bytes.size() + count > limit)
            return Refused(path, tooLarge);
        bytes.append(buffer, count);
    }
    content = std::move(bytes);
    return Status::Success();
}

} // namespace larkspan
