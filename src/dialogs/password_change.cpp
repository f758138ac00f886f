#include "password_change.h"

namespace larkspan {

namespace {

constexpr const char* kChanged = "MySQL密码已经修改！\r\n\r\n"
                                 "接下来，请输入新密码，测试一下密码是否修改成功。\r\n\r\n"
                                 "请修改phpMyAdmin配置文件,否则phpMyAdmin无法连接MySQL";
constexpr const char* kNotChanged = "MySQL密码没有修改！\n\n";

// The client's own text for a message box: without the bell it rings and other control
// characters, and without surrounding blank lines.
std::string Readable(const std::string& text)
{
    std::string kept;
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t')
            kept += c;
    const auto first = kept.find_first_not_of(" \t\n");
    if (first == std::string::npos)
        return {};
    return kept.substr(first, kept.find_last_not_of(" \t\n") - first + 1);
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
    return Command {appDir + "\\MySQL\\bin\\mysqladmin",
        {Argument::literal("-uroot"), Argument::literal("-p" + oldPassword), Argument::literal("password"),
            Argument::literal(newPassword)}};
}

Command PasswordChange::ConsoleCommand(const std::string& appDir)
{
    return Command {
        appDir + "\\mysql\\bin\\mysql.exe", {Argument::literal("-uroot"), Argument::literal("-p")}};
}

bool PasswordChange::Start(const std::string& oldPassword, const std::string& newPassword,
    std::function<void(bool clearFields)> finished)
{
    if (!m_messages.Confirm("你确定要修改密码？？"))
        return false;
    const Command command = PasswordCommand(m_files.AppDir(), oldPassword, newPassword);
    m_runner.Run(
        command, m_timeLimit, [this, command, finished = std::move(finished)](const RunResult& result) {
            finished(Finish(command, result));
        });
    return true;
}

bool PasswordChange::Finish(const Command& command, const RunResult& result)
{
    const std::string output = Readable(result.output);
    switch (result.outcome) {
    case RunResult::Outcome::NotStarted:
        m_messages.Inform(kNotChanged + output);
        return false;
    case RunResult::Outcome::TimedOut:
        m_messages.Inform(kNotChanged + command.program + ": 在 " + std::to_string(m_timeLimit.count() / 1000)
            + " 秒内没有结束，已被终止。");
        return false;
    case RunResult::Outcome::Crashed:
        m_messages.Inform(
            kNotChanged + command.program + ": 异常退出。" + (output.empty() ? "" : "\n" + output));
        return false;
    case RunResult::Outcome::Exited:
        break;
    }
    if (result.exitCode != 0) {
        m_messages.Inform(kNotChanged
            + (output.empty() ? command.program + ": 退出码 " + std::to_string(result.exitCode) : output));
        return false;
    }

    m_messages.Inform(kChanged);
    if (auto status = m_launcher.LaunchProgram(ConsoleCommand(m_files.AppDir()), WindowStyle::NormalFocus);
        !status.ok()) {
        m_messages.Inform("无法打开MySQL控制台：\n" + status.message());
        return false;
    }
    return true;
}

} // namespace larkspan
