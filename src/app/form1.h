#pragma once

#include <QWidget>

namespace larkspan {

class ConfigFiles;
class DialogHost;
class InstanceGuard;
class Launcher;
class MessageBoxes;
class ProcessList;

/// What the main window needs from outside; main.cpp passes the real ones, tests pass fakes.
struct Form1Deps {
    ConfigFiles& files;
    ProcessList& processes;
    Launcher& launcher;
    MessageBoxes& messages;
    DialogHost& dialogs;
    InstanceGuard& instance;
};

/// The main window (placeholder until the window lands).
class Form1 final : public QWidget {
    Q_OBJECT
public:
    explicit Form1(Form1Deps deps, QWidget* parent = nullptr);

    /// Start-up. Returns false when another instance runs: the program must end.
    bool Form_Load();

private:
    Form1Deps m_deps;
};

} // namespace larkspan
