// Reading and atomic replacing of files with the wide Windows calls: names are converted from UTF-8
// explicitly, since MinGW's narrow calls and std::filesystem paths read them in the ANSI code page.
#include "config/file_layer_rules.h"
#include "config/text_file.h"
#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "texts/catalogue.h"

#include <vector>

namespace larkspan {

namespace {

Status Failure(std::string_view path, DWORD error)
{
    return Status::Failure(std::string(path) + ": " + SystemErrorText(error));
}

Status Refused(std::string_view path, std::string_view reason)
{
    return Status::Failure(std::string(path) + ": " + std::string(reason));
}

// MinGW's headers lack it: "An operation is not supported on a directory."
constexpr DWORD kDirectoryNotSupported = 336;

// Shared for reading and for probing: a writer holding the file without sharing still fails the
// probe, but readers never get in each other's way.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::size_t NameStart(const std::wstring& path)
{
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? 0 : separator + 1;
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

// A writer killed before its rename leaves its temporary file behind, as large as what it was
// writing. The next write of the same file removes such leftovers: our exact name for this target,
// a plain file. A live writer holds its file without sharing, so deleting that one fails and it
// stays. Best effort: whatever cannot be deleted stays.
void RemoveLeftoverTemporaries(const std::wstring& target)
{
    const std::wstring directory = target.substr(0, NameStart(target));
    const std::wstring name = target.substr(directory.size());
    const std::string utf8Name = Utf8FromWide(name);
    WIN32_FIND_DATAW entry {};
    const std::wstring pattern = directory + L"." + name + L".tmp*";
    const HANDLE search
        = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const DWORD kinds = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
        if (!(entry.dwFileAttributes & kinds) && IsTemporaryNameOf(Utf8FromWide(entry.cFileName), utf8Name))
            ::DeleteFileW((directory + entry.cFileName).c_str());
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
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

// Renames the open file over `target` in one step: a reader sees the old file or the new one, and
// a crash leaves one of them. Through the handle, so the file stays ours, unshared, until it has
// its new name. (ReplaceFileW keeps more metadata, but some of its failures leave no file under
// the name.)
DWORD RenameOver(HANDLE file, const std::wstring& target)
{
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    target.copy(rename->FileName, target.size());
    if (!::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())))
        return ::GetLastError();
    return ERROR_SUCCESS;
}

void DeleteOnClose(HANDLE file)
{
    FILE_DISPOSITION_INFO disposition {TRUE};
    ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
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
        return Refused(path, catalogue::kNotRegularFile);
    BY_HANDLE_FILE_INFORMATION information {};
    if (!::GetFileInformationByHandle(file.get(), &information))
        return Failure(path, ::GetLastError());
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return Failure(path, kDirectoryNotSupported);
    const unsigned long long size
        = (static_cast<unsigned long long>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    if (size > kReadLimitBytes)
        return Refused(path, catalogue::kTooLarge);

    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    for (;;) {
        DWORD count = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr))
            return Failure(path, ::GetLastError());
        if (count == 0)
            break;
        // A file that grows while it is read is bounded all the same.
        if (bytes.size() + count > kReadLimitBytes)
            return Refused(path, catalogue::kTooLarge);
        bytes.append(buffer, count);
    }
    content = std::move(bytes);
    return Status::Success();
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
            return Refused(path, catalogue::kNotRegularFile);
        // The new file takes over the old one's attributes (archive, hidden, not indexed).
        attributes &= FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
            | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if (attributes == 0)
            attributes = FILE_ATTRIBUTE_NORMAL;
    }

    RemoveLeftoverTemporaries(target);
    const std::wstring directory = target.substr(0, NameStart(target));
    const std::string targetName = Utf8FromWide(std::wstring_view(target).substr(directory.size()));
    UniqueHandle file;
    // Wine hands out the same process ids run after run: CREATE_NEW settles any collision.
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        const std::wstring temporary
            = directory + WideFromUtf8(TemporaryNameFor(targetName, ::GetCurrentProcessId())).value_or(L"");
        file.Reset(::CreateFileW(
            temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, attributes, nullptr));
        if (!file.valid() && ::GetLastError() != ERROR_FILE_EXISTS
            && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return Failure(path, ::GetLastError());
    }
    if (!file.valid())
        return Failure(path, ERROR_FILE_EXISTS);

    DWORD error = WriteAll(file.get(), content);
    if (error == ERROR_SUCCESS && !::FlushFileBuffers(file.get()))
        error = ::GetLastError();
    if (error == ERROR_SUCCESS)
        error = RenameOver(file.get(), target);
    if (error != ERROR_SUCCESS) {
        DeleteOnClose(file.get());
        return Failure(path, error);
    }
    // Makes the rename itself durable. The new content is already in place, so a failure here is
    // not reported as a failed write.
    ::FlushFileBuffers(file.get());
    return Status::Success();
}

Status RemoveWholeFile(std::string_view path)
{
    const std::optional<std::wstring> name = WideFromUtf8(path);
    if (!name)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    if (!::DeleteFileW(name->c_str()))
        return Failure(path, ::GetLastError());
    return Status::Success();
}

} // namespace larkspan
