#pragma once

#include "config/config_files.h"
#include "platform/command.h"
#include "platform/launcher.h"
#include "platform/program_runner.h"
#include "platform/text_code_page.h"
#include "safety/checked_save.h"
#include "ui/message_boxes.h"

#include <chrono>
#include <functional>
#include <string>

namespace larkspan {

/// The MySQL root password change: runs the bundle's admin client and reports what it did. After
/// a change that worked it offers to write the new password into phpMyAdmin's configuration too.
class PasswordChange final
{
public:
    /// `codePage` gives the bytes the client passes to the server for the new password, which
    /// phpMyAdmin's file must hold; `services` record that file's previous bytes for the undo and
    /// log its change (without them it is written unrecorded).
    PasswordChange(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages, ProgramRunner& runner,
        const TextCodePage& codePage, SafeSaveServices* services = nullptr,
        std::chrono::milliseconds timeLimit = std::chrono::seconds(30));

    /// Asks for confirmation and starts the client. Returns false when the user declined (nothing
    /// runs and `finished` is not called). Otherwise `finished` is called once the run is over,
    /// with true when the fields should be emptied: only after a change that worked and opened
    /// the console. A change that worked is followed, before its message, by the offer to change
    /// phpMyAdmin's configuration file (when it can be changed), and the message tells the outcome.
    bool Start(const std::string& oldPassword, const std::string& newPassword,
        std::function<void(bool clearFields)> finished);

    static Command PasswordCommand(
        const std::string& appDir, const std::string& oldPassword, const std::string& newPassword);
    static Command ConsoleCommand(const std::string& appDir);

private:
    bool Finish(const Command& command, const CapturedRun& run, const std::string& newPassword);
    /// Offers to set `newPassword` in phpMyAdmin's configuration and does so when accepted;
    /// returns the message of the change with the outcome.
    std::string FollowInPhpMyAdmin(const std::string& newPassword);

    ConfigFiles& m_files;
    Launcher& m_launcher;
    MessageBoxes& m_messages;
    ProgramRunner& m_runner;
    const TextCodePage& m_codePage;
    SafeSaveServices* m_services;
    std::chrono::milliseconds m_timeLimit;
};

} // namespace larkspan
