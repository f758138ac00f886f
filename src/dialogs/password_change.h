#pragma once

#include "config/config_files.h"
#include "platform/command.h"
#include "platform/launcher.h"
#include "platform/program_runner.h"
#include "ui/message_boxes.h"

#include <chrono>
#include <functional>
#include <string>

namespace larkspan {

/// The MySQL root password change: runs the bundle's admin client and reports what it did.
class PasswordChange final
{
public:
    PasswordChange(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages, ProgramRunner& runner,
        std::chrono::milliseconds timeLimit = std::chrono::seconds(30));

    /// Asks for confirmation and starts the client. Returns false when the user declined (nothing
    /// runs and `finished` is not called). Otherwise `finished` is called once the run is over,
    /// with true when the fields should be emptied: only after a change that worked and opened
    /// the console.
    bool Start(const std::string& oldPassword, const std::string& newPassword,
        std::function<void(bool clearFields)> finished);

    static Command PasswordCommand(
        const std::string& appDir, const std::string& oldPassword, const std::string& newPassword);
    static Command ConsoleCommand(const std::string& appDir);

private:
    bool Finish(const Command& command, const CapturedRun& run);

    ConfigFiles& m_files;
    Launcher& m_launcher;
    MessageBoxes& m_messages;
    ProgramRunner& m_runner;
    std::chrono::milliseconds m_timeLimit;
};

} // namespace larkspan
