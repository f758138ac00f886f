#pragma once

// Reading /proc, shared by the Linux process list and the Linux TCP listener table.
#include <string>
#include <string_view>

namespace larkspan::proc {

/// Whether a /proc entry names a process (all digits).
bool IsProcessDirectory(std::string_view name);

/// The name the process was started as, the name the process list compares: its comm, or for a
/// comm the kernel cut short, the base name of argv[0]. Empty when the process has gone.
std::string ImageName(int procFd, std::string_view pid);

} // namespace larkspan::proc
