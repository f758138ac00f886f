#include "platform/win/program_path_win.h"

#include "config/win/wide_text.h"

#include <windows.h>

namespace larkspan {

namespace {

std::wstring FolderFrom(UINT(WINAPI* query)(LPWSTR, UINT))
{
    std::wstring folder = QueryWideText(
        MAX_PATH, [query](wchar_t* buffer, DWORD size) { return query(buffer, static_cast<UINT>(size)); });
    TrimTrailingSeparators(folder);
    return folder;
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::size_t NameStart(std::wstring_view path)
{
    const std::size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring_view::npos ? 0 : separator + 1;
}

} // namespace

std::wstring SystemFolder()
{
    return FolderFrom(::GetSystemDirectoryW);
}

std::optional<ProgramPlace> PlaceOfProgram(std::string_view program)
{
    if (program.empty())
        return std::nullopt;
    std::optional<std::wstring> name = WideFromUtf8(program);
    if (!name)
        return std::nullopt;
    const std::size_t nameStart = NameStart(*name);
    if (name->find(L'.', nameStart) == std::wstring::npos)
        *name += L".exe";

    const std::wstring system = SystemFolder();
    if (nameStart == 0) {
        // explorer.exe lives in the Windows folder itself; notepad.exe in both.
        for (const std::wstring& folder : {system, FolderFrom(::GetWindowsDirectoryW)}) {
            if (!folder.empty() && IsFile(folder + L"\\" + *name))
                return ProgramPlace {folder + L"\\" + *name, system};
        }
        // Not there either: the start fails naming the file where it was looked for.
        return ProgramPlace {system + L"\\" + *name, system};
    }
    std::wstring folder = name->substr(0, nameStart);
    if (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')
        && folder[folder.size() - 2] != L':')
        folder.pop_back();
    return ProgramPlace {std::move(*name), std::move(folder)};
}

} // namespace larkspan
