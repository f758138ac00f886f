#pragma once

#include <string>
#include <utility>

namespace larkspan {

/// The outcome of an operation that can fail. A failure carries a message for the user that
/// names the file or program and the reason ("/b/PHP5/php.ini: Permission denied").
class [[nodiscard]] Status final
{
public:
    static Status Success() { return Status(); }
    static Status Failure(std::string message)
    {
        Status status;
        status.m_ok = false;
        status.m_message = std::move(message);
        return status;
    }

    bool ok() const { return m_ok; }
    const std::string& message() const { return m_message; }

private:
    bool m_ok = true;
    std::string m_message;
};

} // namespace larkspan
