// Reads of the servers' growing log files with the wide Windows calls: only what was appended,
// never the whole file, and never a device or pipe put in a log's place.
#include "config/file_tail.h"
#include "config/win/file_calls_win.h"
#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "texts/catalogue.h"

namespace larkspan {

std::optional<std::uint64_t> RegularFileSize(std::string_view path)
{
    const std::optional<std::wstring> name = WideFromUtf8(path);
    WIN32_FILE_ATTRIBUTE_DATA data {};
    if (!name || !::GetFileAttributesExW(name->c_str(), GetFileExInfoStandard, &data)
        || (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

Status ReadFileTail(
    std::string_view path, std::uint64_t offset, std::size_t limit, FileTail& tail, bool& missing)
{
    missing = false;
    const std::optional<std::wstring> name = WideFromUtf8(path);
    if (!name)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    // Shared with the server that writes it; backup semantics so that a directory is told as one.
    UniqueHandle file(
        ::CreateFileW(name->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) {
        const DWORD error = ::GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return Failure(path, error);
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return Status::Failure(std::string(path) + ": " + std::string(catalogue::kNotRegularFile));
    BY_HANDLE_FILE_INFORMATION information {};
    if (!::GetFileInformationByHandle(file.get(), &information))
        return Failure(path, ::GetLastError());
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return Failure(path, kDirectoryNotSupported);

    const std::uint64_t size
        = (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    const TailSpan span = TailSpanOf(offset, size, limit);
    LARGE_INTEGER position {};
    position.QuadPart = static_cast<LONGLONG>(span.start);
    if (!::SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN))
        return Failure(path, ::GetLastError());
    std::string bytes(span.length, '\0');
    std::size_t got = 0;
    while (got < span.length) {
        DWORD count = 0;
        if (!::ReadFile(
                file.get(), bytes.data() + got, static_cast<DWORD>(span.length - got), &count, nullptr))
            return Failure(path, ::GetLastError());
        if (count == 0)
            break;
        got += count;
    }
    bytes.resize(got);
    tail = {std::move(bytes), size, span.skipped};
    return Status::Success();
}

} // namespace larkspan
