#pragma once

#include "program_runner.h"

#include <QObject>

namespace larkspan {

/// Runs programs with QProcess, reporting through the event loop so the window stays responsive.
/// Programs still running when the runner is destroyed are killed without a report.
class QtProgramRunner final : public QObject, public ProgramRunner
{
    Q_OBJECT
public:
    explicit QtProgramRunner(QObject* parent = nullptr);
    ~QtProgramRunner() override;

    void Run(const Command& command, std::chrono::milliseconds timeLimit,
        std::function<void(const CapturedRun&)> done) override;
};

} // namespace larkspan
