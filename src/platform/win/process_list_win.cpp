#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "platform/process_list.h"

#include <tlhelp32.h>

namespace larkspan {

namespace {

// The file system's own rule: ordinal, letter case ignored by the system's upper-case table.
bool SameName(std::wstring_view first, std::wstring_view second)
{
    return ::CompareStringOrdinal(first.data(), static_cast<int>(first.size()), second.data(),
               static_cast<int>(second.size()), TRUE)
        == CSTR_EQUAL;
}

class ToolhelpProcessList final : public ProcessList
{
public:
    int CountProcesses(std::string_view imageName) override
    {
        const std::optional<std::wstring> name = WideFromUtf8(imageName);
        if (!name || name->empty())
            return 0;
        UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot.valid())
            return 0;
        PROCESSENTRY32W entry {};
        entry.dwSize = sizeof entry;
        int count = 0;
        for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
             more = ::Process32NextW(snapshot.get(), &entry)) {
            // Each entry's own name up to its NUL: no rest of a longer earlier name takes part.
            if (SameName(*name, entry.szExeFile))
                ++count;
        }
        return count;
    }
};

} // namespace

std::unique_ptr<ProcessList> MakeSystemProcessList()
{
    return std::make_unique<ToolhelpProcessList>();
}

bool SameImageName(std::string_view first, std::string_view second)
{
    const std::optional<std::wstring> a = WideFromUtf8(first);
    const std::optional<std::wstring> b = WideFromUtf8(second);
    return a && b ? SameName(*a, *b) : first == second;
}

} // namespace larkspan
