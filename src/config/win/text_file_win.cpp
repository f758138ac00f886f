// Reading and atomic replacing of files with the wide Windows calls: names are converted from UTF-8
// explicitly, since MinGW's narrow calls and std::filesystem paths read them in the ANSI code page.
#include "config/file_layer_rules.h"
#include "config/text_file.h"
#include "config/win/file_calls_win.h"
#include "config/win/unique_handle_win.h"
#include "config/win/while_held_win.h"
#include "config/win/wide_text.h"
#include "texts/catalogue.h"

#include <aclapi.h>
#include <cstring>
#include <memory>
#include <vector>

namespace larkspan {

namespace {

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

DWORD Rename(HANDLE file, const std::wstring& target, FILE_INFO_BY_HANDLE_CLASS kind, DWORD flags)
{
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // ReplaceIfExists shares its place with the flags of FileRenameInfoEx.
    std::memcpy(buffer.data(), &flags, sizeof flags);
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    target.copy(rename->FileName, target.size());
    if (!::SetFileInformationByHandle(file, kind, rename, static_cast<DWORD>(buffer.size())))
        return ::GetLastError();
    return ERROR_SUCCESS;
}

// Renames the open file over `target` in one step: a reader sees the old file or the new one, and
// a crash leaves one of them. Through the handle, so the file stays ours, unshared, until it has
// its new name. (ReplaceFileW keeps more metadata, but some of its failures leave no file under
// the name.) With POSIX semantics, where the system has them (Windows 10 1709 and later, NTFS), the
// target may be open in another program that shares deletion, as virus scanners and indexers do.
DWORD RenameOver(HANDLE file, const std::wstring& target)
{
    // MinGW's headers name them only for newer targets than ours.
    constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    constexpr DWORD kReplaceIfExists = 0x1; // FILE_RENAME_FLAG_REPLACE_IF_EXISTS
    constexpr DWORD kPosixSemantics = 0x2; // FILE_RENAME_FLAG_POSIX_SEMANTICS
    const DWORD error = Rename(file, target, kFileRenameInfoEx, kReplaceIfExists | kPosixSemantics);
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_FUNCTION
        && error != ERROR_CALL_NOT_IMPLEMENTED)
        return error;
    return Rename(file, target, FileRenameInfo, TRUE);
}

struct LocalFreeDeleter
{
    void operator()(void* memory) const { ::LocalFree(memory); }
};

/// The access list a replacement must carry: the original's, when it holds more than the folder
/// hands down to every new file.
struct AccessList
{
    std::unique_ptr<void, LocalFreeDeleter> descriptor;
    PACL dacl = nullptr;
    bool isProtected = false;
    bool needed = false;
};

DWORD ReadAccessList(HANDLE file, AccessList& list)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (const DWORD error = ::GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
            nullptr, &list.dacl, nullptr, &descriptor);
        error != ERROR_SUCCESS)
        return error;
    list.descriptor.reset(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (::GetSecurityDescriptorControl(descriptor, &control, &revision))
        list.isProtected = (control & SE_DACL_PROTECTED) != 0;
    // A list of inherited entries only is what the new file gets from its folder anyway.
    list.needed = list.isProtected || list.dacl == nullptr;
    for (DWORD i = 0; !list.needed && i < list.dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (::GetAce(list.dacl, i, &entry) && !(static_cast<ACE_HEADER*>(entry)->AceFlags & INHERITED_ACE))
            list.needed = true;
    }
    return ERROR_SUCCESS;
}

// Gives the new file the original's access list. The inherited entries are taken from the folder
// afresh, as for any file, unless the original refused them.
DWORD WriteAccessList(HANDLE file, const AccessList& list)
{
    if (!list.needed)
        return ERROR_SUCCESS;
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION
        | (list.isProtected ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    return ::SetSecurityInfo(file, SE_FILE_OBJECT, what, nullptr, nullptr, list.dacl, nullptr);
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
    return ReadOpenFile(file.get(), path, kReadLimitBytes, catalogue::kTooLarge, content);
}

Status WriteFileAtomically(std::string_view path, std::string_view content)
{
    const std::optional<std::wstring> name = WideFromUtf8(path);
    if (!name)
        return Failure(path, ERROR_NO_UNICODE_TRANSLATION);
    std::wstring target = *name;

    DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    AccessList accessList;
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
        // The rename below needs the file deletable: a process that holds it open without sharing
        // deletion, or rights that forbid it, fail here, before anything is written. One that holds
        // it for a moment is waited for.
        UniqueHandle probe;
        if (const DWORD error = WhileHeld([&] {
                probe.Reset(::CreateFileW(
                    target.c_str(), DELETE | READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
                return probe.valid() ? ERROR_SUCCESS : ::GetLastError();
            });
            error != ERROR_SUCCESS)
            return Failure(path, error);
        if (::GetFileType(probe.get()) != FILE_TYPE_DISK)
            return Refused(path, catalogue::kNotRegularFile);
        // The replacement keeps who may do what with the file.
        if (const DWORD error = ReadAccessList(probe.get(), accessList); error != ERROR_SUCCESS)
            return Failure(path, error);
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
        file.Reset(::CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC, 0,
            nullptr, CREATE_NEW, attributes, nullptr));
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
        error = WriteAccessList(file.get(), accessList);
    if (error == ERROR_SUCCESS)
        error = WhileHeld([&] { return RenameOver(file.get(), target); });
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
