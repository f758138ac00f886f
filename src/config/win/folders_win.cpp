// Folder operations with the wide Windows calls; names are converted from UTF-8 explicitly.
#include "config/folders.h"
#include "config/win/file_calls_win.h"
#include "config/win/unique_handle_win.h"
#include "config/win/while_held_win.h"
#include "config/win/wide_text.h"
#include "texts/catalogue.h"

#include <atomic>

namespace larkspan {

namespace {

// Removes what `path` names; a link or junction is removed itself, never followed.
DWORD RemoveEntry(const std::wstring& path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ::DeleteFileW(path.c_str()) ? ERROR_SUCCESS : ::GetLastError();
    DWORD error = ERROR_SUCCESS;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry {};
        const HANDLE search = ::FindFirstFileExW(
            (path + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring_view name = entry.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                if (const DWORD failed = RemoveEntry(path + L"\\" + entry.cFileName, entry.dwFileAttributes);
                    failed != ERROR_SUCCESS && error == ERROR_SUCCESS)
                    error = failed;
            } while (::FindNextFileW(search, &entry));
            ::FindClose(search);
        }
    }
    if (error == ERROR_SUCCESS && !::RemoveDirectoryW(path.c_str()))
        error = ::GetLastError();
    return error;
}

} // namespace

std::string TemporaryFolderRoot()
{
    // TMP may name a folder longer than MAX_PATH.
    std::wstring folder = QueryWideText(
        MAX_PATH + 1, [](wchar_t* buffer, DWORD size) { return ::GetTempPathW(size, buffer); });
    if (folder.empty())
        return {};
    TrimTrailingSeparators(folder);
    // The long name, as programs print the paths they read: TEMP often holds an 8.3 short name
    // (C:\Users\ZHANGS~1\...) for a user name that is long or not ASCII.
    const std::wstring longName = QueryWideText(folder.size() + 1,
        [&folder](wchar_t* buffer, DWORD size) { return ::GetLongPathNameW(folder.c_str(), buffer, size); });
    return Utf8FromWide(longName.empty() ? folder : longName);
}

Status MakePrivateFolder(std::string_view parent, std::string_view prefix, std::string& made)
{
    // The user's temporary folder is already the user's own; the name only has to be new.
    static std::atomic<unsigned> counter {0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = std::string(parent) + "\\" + std::string(prefix)
            + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount64() % 100000)
            + "-" + std::to_string(counter++);
        const std::optional<std::wstring> wide = WideFromUtf8(name);
        if (!wide)
            return Failure(name, ERROR_NO_UNICODE_TRANSLATION);
        if (::CreateDirectoryW(wide->c_str(), nullptr)) {
            made = name;
            return Status::Success();
        }
        if (const DWORD error = ::GetLastError(); error != ERROR_ALREADY_EXISTS)
            return Failure(name, error);
    }
    return Failure(parent, ERROR_ALREADY_EXISTS);
}

Status MakeFolders(std::string_view path)
{
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    if (!wide)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    // Every prefix that ends before a separator; those that cannot be made (a drive, a share) are
    // left to the last step to report.
    for (std::size_t separator = wide->find_first_of(L"\\/", 1); separator != std::wstring::npos;
         separator = wide->find_first_of(L"\\/", separator + 1))
        ::CreateDirectoryW(wide->substr(0, separator).c_str(), nullptr);
    if (!::CreateDirectoryW(wide->c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return Failure(path, ::GetLastError());
    const DWORD attributes = ::GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Failure(path, ::GetLastError());
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Failure(path, ERROR_DIRECTORY);
    return Status::Success();
}

Status WriteNewFile(std::string_view path, std::string_view bytes, unsigned mode, bool sync)
{
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    if (!wide)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    UniqueHandle file(
        ::CreateFileW(wide->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return Failure(path, ::GetLastError());
    DWORD error = ERROR_SUCCESS;
    while (!bytes.empty() && error == ERROR_SUCCESS) {
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data(), chunk, &written, nullptr))
            error = ::GetLastError();
        bytes.remove_prefix(written);
    }
    if (error == ERROR_SUCCESS && sync && !::FlushFileBuffers(file.get()))
        error = ::GetLastError();
    if (!file.Close() && error == ERROR_SUCCESS)
        error = ::GetLastError();
    // Of the permission bits, Windows keeps only whether anybody may write.
    if (error == ERROR_SUCCESS && (mode & 0222) == 0
        && !::SetFileAttributesW(wide->c_str(), FILE_ATTRIBUTE_READONLY))
        error = ::GetLastError();
    if (error != ERROR_SUCCESS) {
        ::DeleteFileW(wide->c_str());
        return Failure(path, error);
    }
    return Status::Success();
}

Status SyncFolder(std::string_view)
{
    // NTFS commits a folder's entries with its journal; there is no folder to flush.
    return Status::Success();
}

Status RenameFolder(std::string_view from, std::string_view to)
{
    const std::optional<std::wstring> source = WideFromUtf8(from);
    const std::optional<std::wstring> target = WideFromUtf8(to);
    if (!source || !target)
        return Failure(source ? to : from, ERROR_NO_UNICODE_TRANSLATION);
    // A folder whose files another program holds for a moment (a virus scanner reading what was
    // just written) cannot be renamed meanwhile.
    if (const DWORD error = WhileHeld([&] {
            return ::MoveFileExW(source->c_str(), target->c_str(), 0) ? ERROR_SUCCESS : ::GetLastError();
        });
        error != ERROR_SUCCESS)
        return Failure(error == ERROR_ALREADY_EXISTS ? to : from, error);
    return Status::Success();
}

Status RemoveTree(std::string_view path)
{
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    if (!wide)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    const DWORD attributes = ::GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Status::Success()
                                                                              : Failure(path, error);
    }
    if (const DWORD error = RemoveEntry(*wide, attributes); error != ERROR_SUCCESS)
        return Failure(path, error);
    return Status::Success();
}

namespace {

// The names of the entries of folder `path` (without "." and "..") that `keep(entry)` accepts.
template <typename Keep> Status ListEntries(std::string_view path, std::vector<std::string>& names, Keep keep)
{
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    if (!wide)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    names.clear();
    WIN32_FIND_DATAW entry {};
    const HANDLE search = ::FindFirstFileExW(
        (*wide + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return Failure(path, ::GetLastError());
    do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L".." && keep(entry))
            names.push_back(Utf8FromWide(name));
    } while (::FindNextFileW(search, &entry));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    if (error != ERROR_NO_MORE_FILES)
        return Failure(path, error);
    return Status::Success();
}

} // namespace

Status ListFolders(std::string_view path, std::vector<std::string>& names)
{
    return ListEntries(path, names, [](const WIN32_FIND_DATAW& entry) {
        return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    });
}

Status ListFolderEntries(std::string_view path, std::vector<std::string>& names)
{
    return ListEntries(path, names, [](const WIN32_FIND_DATAW&) { return true; });
}

Status RemoveOwnFolder(std::string_view path, const std::function<bool(std::string_view name)>& ours)
{
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    if (!wide)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    const DWORD attributes = ::GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Status::Success()
                                                                              : Failure(path, error);
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Refused(path, catalogue::kIsLink);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Failure(path, ERROR_DIRECTORY);
    DWORD error = ERROR_SUCCESS;
    WIN32_FIND_DATAW entry {};
    const HANDLE search = ::FindFirstFileExW(
        (*wide + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !ours(Utf8FromWide(entry.cFileName)))
                continue;
            // A link is deleted itself, never what it names.
            const std::wstring file = *wide + L"\\" + entry.cFileName;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                ::SetFileAttributesW(file.c_str(), entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
            if (!::DeleteFileW(file.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND
                && error == ERROR_SUCCESS)
                error = ::GetLastError();
        } while (::FindNextFileW(search, &entry));
        ::FindClose(search);
    }
    if (error == ERROR_SUCCESS && !::RemoveDirectoryW(wide->c_str()))
        error = ::GetLastError();
    return error == ERROR_SUCCESS ? Status::Success() : Failure(path, error);
}

Status ReadFileInFolder(
    std::string_view folder, std::string_view name, std::size_t limit, std::string& content)
{
    const std::string path = std::string(folder) + "\\" + std::string(name);
    const std::optional<std::wstring> wideFolder = WideFromUtf8(folder);
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    if (!wideFolder || !wide)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    const DWORD folderAttributes = ::GetFileAttributesW(wideFolder->c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES)
        return Failure(folder, ::GetLastError());
    if ((folderAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLink(folder))
        return Refused(folder, catalogue::kIsLink);
    // The reparse point itself is opened, not what it names: a link is refused, and a file of
    // another kind of reparse point (a cloud placeholder) is opened again as files are.
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueHandle file(::CreateFileW(wide->c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return Failure(path, ::GetLastError());
    FILE_ATTRIBUTE_TAG_INFO tag {};
    if (!::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag))
        return Failure(path, ::GetLastError());
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (IsReparseTagNameSurrogate(tag.ReparseTag))
            return Refused(path, catalogue::kIsLink);
        file.Reset(::CreateFileW(wide->c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file.valid())
            return Failure(path, ::GetLastError());
    }
    return ReadOpenFile(file.get(), path, limit, catalogue::LargerThan(limit), content);
}

bool IsLink(std::string_view path)
{
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    if (!wide)
        return false;
    WIN32_FIND_DATAW entry {};
    const HANDLE search
        = ::FindFirstFileExW(wide->c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(search);
    // Only reparse points that name another file (links, junctions) count, not a cloud folder's
    // placeholders; the tag is in dwReserved0.
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        && IsReparseTagNameSurrogate(entry.dwReserved0);
}

Status ListFiles(std::string_view path, std::vector<std::string>& names)
{
    return ListEntries(path, names, [](const WIN32_FIND_DATAW& entry) {
        return !(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
    });
}

bool SameFile(std::string_view first, std::string_view second)
{
    const auto identify = [](std::string_view path, BY_HANDLE_FILE_INFORMATION& information) {
        const std::optional<std::wstring> wide = WideFromUtf8(path);
        if (!wide)
            return false;
        UniqueHandle file(
            ::CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return file.valid() && ::GetFileInformationByHandle(file.get(), &information);
    };
    BY_HANDLE_FILE_INFORMATION a {};
    BY_HANDLE_FILE_INFORMATION b {};
    return identify(first, a) && identify(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber
        && a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

std::optional<unsigned> PermissionBits(std::string_view path)
{
    const std::optional<std::wstring> wide = WideFromUtf8(path);
    const DWORD attributes = wide ? ::GetFileAttributesW(wide->c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    return (attributes & FILE_ATTRIBUTE_READONLY) ? 0444u : 0666u;
}

} // namespace larkspan
