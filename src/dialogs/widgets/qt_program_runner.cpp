#include "qt_program_runner.h"

#include <QProcess>
#include <QTimer>
#include <memory>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace larkspan {

namespace {

// The program leads a session of its own (see Run), so its process group holds whatever it
// started: a wrapper's child must not live on past the time limit.
void KillWithItsGroup(QProcess& process)
{
#ifdef Q_OS_UNIX
    if (const qint64 pid = process.processId(); pid > 0)
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
#endif
    process.kill();
}

} // namespace

QtProgramRunner::QtProgramRunner(QObject* parent)
    : QObject(parent)
{ }

QtProgramRunner::~QtProgramRunner()
{
    for (auto* process : findChildren<QProcess*>()) {
        process->disconnect();
        KillWithItsGroup(*process);
        process->waitForFinished(1000);
    }
}

void QtProgramRunner::Run(
    const Command& command, std::chrono::milliseconds timeLimit, std::function<void(const CapturedRun&)> done)
{
    auto* process = new QProcess(this);
    const Command native = NativeCommand(command);
    process->setProgram(QString::fromStdString(native.program));
    QStringList arguments;
    for (const auto& argument : native.arguments)
        arguments << QString::fromStdString(argument.text);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // Without a controlling terminal: a client that wants a password (mariadb-admin's bare -p for
    // an empty old password) would otherwise prompt on the panel's terminal and sit out the limit.
    process->setChildProcessModifier([] { ::setsid(); });
#endif
#ifdef Q_OS_WIN
    // No console window for the client, however the panel was started (QProcess adds this only
    // when the panel has no console of its own); its output comes through pipes all the same.
    process->setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments* arguments) { arguments->flags |= CREATE_NO_WINDOW; });
#endif

    auto* timer = new QTimer(process);
    timer->setSingleShot(true);
    auto timedOut = std::make_shared<bool>(false);
    auto report = std::make_shared<std::function<void(const CapturedRun&)>>(std::move(done));
    const auto finish = [process, report](const CapturedRun& result) {
        process->disconnect();
        process->deleteLater();
        if (*report) {
            auto callback = std::move(*report);
            *report = nullptr;
            callback(result);
        }
    };

    connect(timer, &QTimer::timeout, process, [process, timedOut] {
        *timedOut = true;
        KillWithItsGroup(*process);
    });
    connect(process, &QProcess::errorOccurred, process,
        [process, program = native.program, finish](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                finish({CapturedRun::Outcome::NotStarted, -1, {},
                    program + ": " + process->errorString().toStdString()});
        });
    connect(process, &QProcess::finished, process,
        [process, timedOut, finish](int exitCode, QProcess::ExitStatus status) {
            CapturedRun result {CapturedRun::Outcome::Exited, exitCode,
                process->readAllStandardOutput().toStdString(),
                process->readAllStandardError().toStdString()};
            if (*timedOut)
                result.outcome = CapturedRun::Outcome::TimedOut;
            else if (status == QProcess::CrashExit)
                result.outcome = CapturedRun::Outcome::Crashed;
            finish(result);
        });

    process->start();
    if (process->state() != QProcess::NotRunning || *report)
        timer->start(timeLimit);
}

} // namespace larkspan
