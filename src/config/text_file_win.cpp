// Reading and atomic replacing of files with the wide Windows calls: names are converted from UTF-8
// explicitly, since MinGW's narrow calls and std::filesystem paths read them in the ANSI code page.
#include "text_file.h"
#include "unique_handle_win.h"
#include "wide_text.h"

#include <atomic>

namespace larkspan {

namespace {

Status Failure(std::string_view path, DWORD error)
{
    return Status::Failure(std::string(path) + ": " + SystemErrorText(error));
}

Status NotARegularFile(std::string_view path)
{
    return Status::Failure(std::string(path) + ": not a regular file");
}

// MinGW's headers lack it: "An operation is not supported on a directory."
constexpr DWORD kDirectoryNotSupported = 336;

// Shared for reading and for probing: a writer holding the file without sharing still fails the
// probe, but readers never get in each other's way.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring DirectoryPrefix(const std::wstring& path)
{
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

// A name for the temporary file beside `target`. Wine hands out the same process ids run after
// run, so the time and a counter make the name, and CREATE_NEW settles any collision.
std::wstring TemporaryName(const std::wstring& target)
{
    static std::atomic<unsigned> counter {0};
    LARGE_INTEGER now {};
    ::QueryPerformanceCounter(&now);
    const auto ticks = static_cast<unsigned long long>(now.QuadPart);
    const std::wstring directory = DirectoryPrefix(target);
    return directory + L"." + target.substr(directory.size()) + L".tmp"
        + std::to_wstring(::GetCurrentProcessId()) + L"-"
        + std::to_wstring((ticks ^ (ticks >> 17)) % 1000000007ULL) + L"-" + std::to_wstring(counter++);
}

// The file a symbolic link or junction finally names, so that the link survives the replace.
DWORD FinalPath(const std::wstring& path, std::wstring& final)
{
    UniqueHandle file(::CreateFileW(
        path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return ::GetLastError();
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(file.get(), buffer.data(),
            static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return ::GetLastError();
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(length);
    }
    if (buffer.starts_with(L"\\\\?\\UNC\\"))
        final = L"\\" + buffer.substr(7);
    else if (buffer.starts_with(L"\\\\?\\"))
        final = buffer.substr(4);
    else
        final = buffer;
    return ERROR_SUCCESS;
}

DWORD WriteAll(HANDLE file, std::string_view content)
{
    while (!content.empty()) {
        const DWORD chunk = content.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(content.size());
        DWORD written = 0;
        if (!::WriteFile(file, content.data(), chunk, &written, nullptr))
            return ::GetLastError();
        content.remove_prefix(written);
    }
    return ERROR_SUCCESS;
}

} // namespace

Status ReadWholeFile(std::string_view path, std::string& content, bool& missing)
{
    missing = false;
    const std::optional<std::wstring> name = WideFromUtf8(path);
    if (!name)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    // Backup semantics so that a directory opens too and is reported as one.
    UniqueHandle file(::CreateFileW(
        name->c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) {
        const DWORD error = ::GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return Failure(path, error);
    }
    // A device (NUL, CON, a pipe) never ends or never answers.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return NotARegularFile(path);
    BY_HANDLE_FILE_INFORMATION information {};
    if (!::GetFileInformationByHandle(file.get(), &information))
        return Failure(path, ::GetLastError());
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return Failure(path, kDirectoryNotSupported);

    std::string bytes;
    bytes.reserve((static_cast<std::size_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow);
    char buffer[65536];
    for (;;) {
        DWORD count = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr))
            return Failure(path, ::GetLastError());
        if (count == 0)
            break;
        bytes.append(buffer, count);
    }
    content = std::move(bytes);
    return Status::Ok();
}

Status WriteFileAtomically(std::string_view path, std::string_view content)
{
    const std::optional<std::wstring> name = WideFromUtf8(path);
    if (!name)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    std::wstring target = *name;

    DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        if (const DWORD error = ::GetLastError(); error != ERROR_FILE_NOT_FOUND)
            return Failure(path, error);
        attributes = FILE_ATTRIBUTE_NORMAL;
    } else {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (const DWORD error = FinalPath(*name, target); error != ERROR_SUCCESS)
                return Failure(path, error);
            attributes = ::GetFileAttributesW(target.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                return Failure(path, ::GetLastError());
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return Failure(path, kDirectoryNotSupported);
        // A read-only file is refused, not replaced: the attribute is its owner's intent.
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return Failure(path, ERROR_ACCESS_DENIED);
        // The rename below needs the file deletable and writable; a process that holds it open
        // without sharing, or rights that forbid writing, fail here, before anything is written.
        UniqueHandle probe(::CreateFileW(
            target.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!probe.valid())
            return Failure(path, ::GetLastError());
        if (::GetFileType(probe.get()) != FILE_TYPE_DISK)
            return NotARegularFile(path);
        // The new file takes over the old one's attributes (archive, hidden, not indexed).
        attributes &= FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
            | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if (attributes == 0)
            attributes = FILE_ATTRIBUTE_NORMAL;
    }

    std::wstring temporary;
    UniqueHandle file(INVALID_HANDLE_VALUE);
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        temporary = TemporaryName(target);
        file.reset(
            ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
        if (!file.valid() && ::GetLastError() != ERROR_FILE_EXISTS
            && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return Failure(path, ::GetLastError());
    }
    if (!file.valid())
        return Failure(path, ERROR_FILE_EXISTS);

    DWORD error = WriteAll(file.get(), content);
    if (error == ERROR_SUCCESS && !::FlushFileBuffers(file.get()))
        error = ::GetLastError();
    if (!file.close() && error == ERROR_SUCCESS)
        error = ::GetLastError();
    // One rename: a reader sees the old file or the new one, and a crash leaves one of them.
    // (ReplaceFileW keeps more metadata, but some of its failures leave no file under the name.)
    if (error == ERROR_SUCCESS
        && !::MoveFileExW(
            temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = ::GetLastError();
    if (error != ERROR_SUCCESS) {
        ::DeleteFileW(temporary.c_str());
        return Failure(path, error);
    }
    return Status::Ok();
}

Status RemoveWholeFile(std::string_view path)
{
    const std::optional<std::wstring> name = WideFromUtf8(path);
    if (!name)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    if (!::DeleteFileW(name->c_str()))
        return Failure(path, ::GetLastError());
    return Status::Ok();
}

} // namespace larkspan
