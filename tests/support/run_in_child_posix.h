#pragma once

#include <functional>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace larkspan::test {

/// Runs `body` in a child process and returns the text it produced, or nullopt when the child
/// could not set itself up (`body` then returns nullopt too). Used for what only a child may
/// do: drop root, or mount a small file system in a private namespace.
inline std::optional<std::string> RunInChild(const std::function<std::optional<std::string>()>& body)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        ::close(pipeEnds[0]);
        const std::optional<std::string> result = body();
        const std::string message = result ? "1" + *result : "0";
        [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string message;
    char buffer[4096];
    for (ssize_t count; (count = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, static_cast<std::size_t>(count));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (message.empty() || message[0] != '1')
        return std::nullopt;
    return message.substr(1);
}

} // namespace larkspan::test
