#pragma once
// The keeper of one captured run: a child of the runner that starts the program and adopts, as
// the subreaper of its own subtree, whatever the program leaves behind, so that all of it can be
// found and ended when the run is over. Only the keeper is a subreaper: the panel itself never
// becomes the parent of the servers and programs its launcher lets go.
#include <sys/types.h>

namespace larkspan {

/// What the keeper tells the runner through its report pipe, one message per write.
struct KeeperMessage
{
    enum Kind : int { Started, ExecFailed, ForkFailed, Ended };
    Kind kind = Started;
    int value = 0; ///< Started: the program's pid; ExecFailed, ForkFailed: errno; Ended: its wait status
};

/// Everything the keeper needs, prepared before the fork: after it nothing is allocated.
struct KeeperSetup
{
    const char* program;
    char* const* argv;
    char* const* environment;
    int outputWriteEnd;
    int errorWriteEnd;
    int reportWriteEnd; ///< KeeperMessages to the runner
    int controlReadEnd; ///< the runner closes its end when the run is over, or ends early
};

/// The keeper's life, in the child of fork(): starts the program with stdin from /dev/null and
/// the two pipes as its output and error output, reports its start and its end, and once it has
/// ended (or the runner closed the control pipe) kills everything left in the subtree, the program
/// too if it still runs. Calls only async-signal-safe functions. Never returns.
[[noreturn]] void RunKeeper(const KeeperSetup& setup);

} // namespace larkspan
