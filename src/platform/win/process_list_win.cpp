#include "config/win/unique_handle_win.h"
#include "config/win/wide_text.h"
#include "platform/process_list.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <tlhelp32.h>
#include <vector>

namespace larkspan {

namespace {

class ToolhelpProcessList final : public ProcessList
{
public:
    int CountProcesses(std::string_view imageName) override
    {
        int count = 0;
        CountEach(std::span(&imageName, 1), std::span(&count, 1));
        return count;
    }

    void CountEach(std::span<const std::string_view> imageNames, std::span<int> counts) override
    {
        std::fill(counts.begin(), counts.end(), 0);
        std::vector<std::optional<std::wstring>> names;
        for (std::size_t i = 0; i < imageNames.size() && i < counts.size(); ++i)
            names.push_back(WideFromUtf8(imageNames[i]));
        UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot.valid())
            return;
        PROCESSENTRY32W entry {};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
             more = ::Process32NextW(snapshot.get(), &entry)) {
            // Each entry's own name up to its NUL: no rest of a longer earlier name takes part.
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (names[i] && *names[i] == entry.szExeFile) {
                    ++counts[i];
                    break;
                }
            }
        }
    }
};

} // namespace

std::unique_ptr<ProcessList> MakeSystemProcessList()
{
    return std::make_unique<ToolhelpProcessList>();
}

} // namespace larkspan
