#include "dialogs/password_change.h"

#include "config/ascii_text.h"
#include "config/bundle_paths.h"
#include "config/native_path.h"
#include "texts/catalogue.h"

namespace larkspan {

namespace {

const std::string kNotChanged(catalogue::kPasswordNotChanged);

// The client's own text for a message box: without the bell it rings and other control
// characters, and without surrounding blank lines.
std::string Readable(const std::string& text)
{
    std::string kept;
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t')
            kept += c;
    return std::string(Trim(kept, " \t\n"));
}

} // namespace

PasswordChange::PasswordChange(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages,
    ProgramRunner& runner, std::chrono::milliseconds timeLimit)
    : m_files(files)
    , m_launcher(launcher)
    , m_messages(messages)
    , m_runner(runner)
    , m_timeLimit(timeLimit)
{ }

Command PasswordChange::PasswordCommand(
    const std::string& appDir, const std::string& oldPassword, const std::string& newPassword)
{
    Command command {InBundle(appDir, paths::kMySqlAdmin),
        {Argument::literal("-uroot"), Argument::literal("-p" + oldPassword)}};
    // The client reads every argument that begins with "-" as an option, wherever it stands
    // ("--help" would even succeed without changing anything); "--" ends its options.
    if (newPassword.starts_with('-'))
        command.arguments.push_back(Argument::literal("--"));
    command.arguments.push_back(Argument::literal("password"));
    command.arguments.push_back(Argument::literal(newPassword));
    return command;
}

Command PasswordChange::ConsoleCommand(const std::string& appDir)
{
    return Command {
        InBundle(appDir, paths::kMySqlConsole), {Argument::literal("-uroot"), Argument::literal("-p")}};
}

bool PasswordChange::Start(const std::string& oldPassword, const std::string& newPassword,
    std::function<void(bool clearFields)> finished)
{
    if (!m_messages.Confirm(std::string(catalogue::kConfirmPasswordChange)))
        return false;
    const Command command = PasswordCommand(m_files.AppDir(), oldPassword, newPassword);
    m_runner.Run(
        command, m_timeLimit, [this, command, finished = std::move(finished)](const CapturedRun& run) {
            finished(Finish(command, run));
        });
    return true;
}

bool PasswordChange::Finish(const Command& command, const CapturedRun& run)
{
    // The client's own words: its error output, or what it printed when that says nothing.
    const std::string output
        = Readable(Trim(run.standardError, " \t\r\n\v\f").empty() ? run.standardOutput : run.standardError);
    const std::string program = NativePath(command.program);
    switch (run.outcome) {
    case CapturedRun::Outcome::NotStarted:
        m_messages.Inform(kNotChanged + output);
        return false;
    case CapturedRun::Outcome::TimedOut:
        m_messages.Inform(kNotChanged + catalogue::ProgramTimedOut(program, m_timeLimit.count() / 1000));
        return false;
    case CapturedRun::Outcome::Crashed:
        m_messages.Inform(
            kNotChanged + catalogue::ProgramCrashed(program) + (output.empty() ? "" : "\n" + output));
        return false;
    case CapturedRun::Outcome::Exited:
        break;
    }
    if (run.exitCode != 0) {
        m_messages.Inform(
            kNotChanged + (output.empty() ? catalogue::ProgramExitCode(program, run.exitCode) : output));
        return false;
    }

    m_messages.Inform(std::string(catalogue::kPasswordChanged));
    if (auto status = m_launcher.LaunchProgram(ConsoleCommand(m_files.AppDir()), WindowStyle::NormalFocus);
        !status.ok()) {
        m_messages.Inform(catalogue::ConsoleNotStarted(status.message()));
        return false;
    }
    return true;
}

} // namespace larkspan
