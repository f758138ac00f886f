#pragma once

#include "launch_commands.h"

#include <memory>

class QWidget;

namespace larkspan {

class ConfigFiles;
class Launcher;
class MessageBoxes;

/// Owns the settings and About dialogs: each is created on first use and shown modally; every
/// opening reloads it.
class WidgetDialogHost final : public DialogHost {
public:
    WidgetDialogHost(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages);
    ~WidgetDialogHost() override;

    void ShowApacheSettings() override;
    void ShowPhpSettings() override;
    void ShowMySqlSettings() override;
    void ShowSiteManagement() override;
    void ShowAbout() override;

private:
    ConfigFiles& m_files;
    Launcher& m_launcher;
    MessageBoxes& m_messages;
};

} // namespace larkspan
