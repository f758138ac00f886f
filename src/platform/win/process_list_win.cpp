#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "platform/process_list.h"

#include <tlhelp32.h>

namespace larkspan {

namespace {

class ToolhelpProcessList final : public ProcessList
{
public:
    int CountProcesses(std::string_view imageName) override
    {
        const std::optional<std::wstring> name = WideFromUtf8(imageName);
        if (!name)
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
            if (*name == entry.szExeFile)
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

} // namespace larkspan
