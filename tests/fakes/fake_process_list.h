#pragma once

#include "platform/process_list.h"

#include <span>
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
        return Count(imageName);
    }
    void CountEach(std::span<const std::string_view> imageNames, std::span<int> counts) override
    {
        ++snapshots;
        for (std::size_t i = 0; i < imageNames.size() && i < counts.size(); ++i)
            counts[i] = Count(imageNames[i]);
    }

    std::vector<std::string> names;
    bool unreadable = false;
    int snapshots = 0;

private:
    int Count(std::string_view imageName) const
    {
        if (unreadable)
            return 0;
        int count = 0;
        for (const auto& name : names)
            count += name == imageName ? 1 : 0;
        return count;
    }
};

} // namespace larkspan
