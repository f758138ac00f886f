#pragma once
// Shared by the Linux launcher and runner: posix_spawn's attributes and file actions, freed on
// every return.
#include <signal.h>
#include <spawn.h>

namespace larkspan {

/// Spawn attributes for a program in a session of its own (no controlling terminal, one process
/// group to signal), with no signal blocked and every signal at its default action; file actions
/// are added by the caller.
class SpawnSetup final
{
public:
    SpawnSetup()
    {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
        sigset_t noSignals;
        sigemptyset(&noSignals);
        sigset_t defaultSignals;
        sigfillset(&defaultSignals);
        posix_spawnattr_setsigmask(&attributes, &noSignals);
        posix_spawnattr_setsigdefault(&attributes, &defaultSignals);
        posix_spawnattr_setflags(
            &attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

} // namespace larkspan
