#include "dialogs/password_change.h"

#include "config/ascii_text.h"
#include "config/bundle_paths.h"
#include "config/file_batch.h"
#include "config/native_path.h"
#include "config/outside_text.h"
#include "config/phpmyadmin_password.h"
#include "config/settings_keys.h"
#include "safety/history_commit.h"
#include "texts/catalogue.h"

namespace larkspan {

namespace {

const std::string kNotChanged(catalogue::kPasswordNotChanged);
// Names the phpMyAdmin update in the history and the event log.
constexpr std::string_view kPhpMyAdminSave = "phpMyAdmin密码";

// The client's own text for a message box: cleaned as all text from outside is (without the bell
// it rings), bounded, and without surrounding blank lines.
std::string Readable(const std::string& text)
{
    return std::string(Trim(CleanLines(text, kShownLineBytes, kShownTextBytes), " \n"));
}

} // namespace

PasswordChange::PasswordChange(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages,
    ProgramRunner& runner, const TextCodePage& codePage, SafeSaveServices* services,
    std::chrono::milliseconds timeLimit)
    : m_files(files)
    , m_launcher(launcher)
    , m_messages(messages)
    , m_runner(runner)
    , m_codePage(codePage)
    , m_services(services)
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
    m_runner.Run(command, m_timeLimit,
        [this, command, newPassword, finished = std::move(finished)](
            const CapturedRun& run) { finished(Finish(command, run, newPassword)); });
    return true;
}

bool PasswordChange::Finish(const Command& command, const CapturedRun& run, const std::string& newPassword)
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

    m_messages.Inform(FollowInPhpMyAdmin(newPassword));
    if (auto status = m_launcher.LaunchProgram(ConsoleCommand(m_files.AppDir()), WindowStyle::NormalFocus);
        !status.ok()) {
        m_messages.Inform(catalogue::ConsoleNotStarted(status.message()));
        return false;
    }
    return true;
}

std::string PasswordChange::FollowInPhpMyAdmin(const std::string& newPassword)
{
    const auto notChanged
        = [](const std::string& why) { return catalogue::PasswordChangedPhpMyAdminNot(why); };

    // phpMyAdmin lives in the web root: its own settings file, else the defaults it ships with.
    if (Status readable = m_files.IniReadable(kSettingsFile); !readable.ok())
        return notChanged(catalogue::PhpMyAdminNotLocated(readable.message()));
    const std::string root = m_files.IniRead(
        keys::kApacheDocumentRoot.section, keys::kApacheDocumentRoot.key, "", kSettingsFile);
    if (root.empty())
        return notChanged(catalogue::PhpMyAdminNotLocated(catalogue::kSiteDirectoryEmpty));
    std::string path;
    std::string content;
    for (const std::string_view candidate : {paths::kPhpMyAdminLocalConfig, paths::kPhpMyAdminConfig}) {
        bool missing = false;
        const Status read = m_files.ReadFile(InBundle(root, candidate), content, missing);
        if (read.ok()) {
            path = InBundle(root, candidate);
            break;
        }
        if (!missing)
            return notChanged(
                catalogue::PhpMyAdminNotChanged(NativePath(InBundle(root, candidate)), read.message()));
    }
    if (path.empty())
        return notChanged(
            catalogue::PhpMyAdminConfigMissing(NativePath(InBundle(root, paths::kPhpMyAdminLocalConfig)),
                NativePath(InBundle(root, paths::kPhpMyAdminConfig))));
    const std::string shown = NativePath(path);

    // The file must hold the bytes the server was given, which the client took in the system's
    // code page; PHP hands them on unchanged.
    const std::optional<std::string> bytes = m_codePage.Encode(newPassword);
    if (!bytes)
        return notChanged(catalogue::PhpMyAdminNotChanged(shown, catalogue::kPasswordNotInCodePage));
    // Asked only when the file can be changed; otherwise the message says why not.
    if (const PhpMyAdminPasswordEdit edit = SetPhpMyAdminRootPassword(content, *bytes); !edit.problem.empty())
        return notChanged(catalogue::PhpMyAdminNotChanged(shown, edit.problem));
    if (!m_messages.Confirm(catalogue::ConfirmPhpMyAdminPassword(shown)))
        return std::string(catalogue::kPasswordChanged);

    // Read afresh: the file may have changed while the question was open.
    FileBatch batch(m_files);
    std::string problem;
    const Status composed = batch.Edit(path, [&](std::string_view current) {
        PhpMyAdminPasswordEdit edit = SetPhpMyAdminRootPassword(current, *bytes);
        problem = std::move(edit.problem);
        return problem.empty() ? std::move(edit.content) : std::string(current);
    });
    if (!composed.ok())
        return notChanged(catalogue::PhpMyAdminNotChanged(shown, composed.message()));
    if (!problem.empty())
        return notChanged(catalogue::PhpMyAdminNotChanged(shown, problem));
    if (!batch.Changed())
        return catalogue::PasswordChangedPhpMyAdminAlready(shown);
    const Status written
        = m_services ? CommitWithHistory(batch, m_services->history, kPhpMyAdminSave) : batch.Commit();
    if (!written.ok())
        return notChanged(catalogue::PhpMyAdminNotChanged(shown, written.message()));
    if (m_services && m_services->log)
        m_services->log(catalogue::LogSaved(kPhpMyAdminSave));
    return catalogue::PasswordChangedWithPhpMyAdmin(shown);
}

} // namespace larkspan
