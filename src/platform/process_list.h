#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

namespace larkspan {

/// The running processes, seen by image name.
class ProcessList
{
public:
    virtual ~ProcessList() = default;
    /// How many processes in one snapshot have exactly this image name (case-sensitive).
    /// Returns 0 when the process list cannot be read.
    virtual int CountProcesses(std::string_view imageName) = 0;
    /// CountProcesses of each of `imageNames` (distinct) into `counts` at the same position. The system's
    /// lists take one snapshot, and one pass over it, for all the names; this one asks for each.
    virtual void CountEach(std::span<const std::string_view> imageNames, std::span<int> counts)
    {
        for (std::size_t i = 0; i < imageNames.size() && i < counts.size(); ++i)
            counts[i] = CountProcesses(imageNames[i]);
    }
};

std::unique_ptr<ProcessList> MakeSystemProcessList();

} // namespace larkspan
