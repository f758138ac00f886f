#pragma once
// Included by the Windows implementation files only.

#include <windows.h>

#include <chrono>
#include <thread>

namespace larkspan {

/// Runs `attempt` (returning a Windows error code) again while it fails because another program
/// holds the file for a moment, as virus scanners, the search indexer and cloud-sync clients do
/// with files just written: for about two seconds, then its last error stands.
template <typename Attempt> DWORD WhileHeld(Attempt attempt)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        const DWORD error = attempt();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED
            || error == ERROR_LOCK_VIOLATION;
        if (!held || std::chrono::steady_clock::now() >= deadline)
            return error;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace larkspan
