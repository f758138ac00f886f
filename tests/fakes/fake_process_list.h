#pragma once

#include "platform/process_list.h"

#include <string>
#include <vector>

namespace larkspan {

/// A process list that tests fill with image names; counts exactly as the real one does.
class FakeProcessList final : public ProcessList
{
public:
    int CountProcesses(std::string_view imageName) override
    {
        ++snapshots;
        if (unreadable)
            return 0;
        int count = 0;
        for (const auto& name : names)
            count += name == imageName ? 1 : 0;
        return count;
    }

    std::vector<std::string> names;
    bool unreadable = false;
    int snapshots = 0;
};

} // namespace larkspan
