#pragma once

#include <memory>
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
};

std::unique_ptr<ProcessList> MakeSystemProcessList();

} // namespace larkspan
