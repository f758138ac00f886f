#pragma once

#include "ui/dialog_host.h"

#include <memory>

class QWidget;

namespace larkspan {

class CapturingRunner;
class ConfigFiles;
class DesktopShortcuts;
class Launcher;
class MessageBoxes;
struct SafeSaveServices;
class TextCodePage;
class ThreadedProgramRunner;
class fabout;
class fapache;
class fmysql;
class fphp;
class zhanform;

/// Owns the settings and About dialogs: each is created on first use and shown modally; every
/// opening reloads it. With `services` the settings dialogs and the host editor have their saves
/// checked by the servers and recorded in the history.
class WidgetDialogHost final : public DialogHost
{
public:
    WidgetDialogHost(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages,
        const TextCodePage& codePage, SafeSaveServices* services = nullptr);
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
    const TextCodePage& m_codePage;
    SafeSaveServices* m_services;
    std::unique_ptr<CapturingRunner> m_capturingRunner;
    std::unique_ptr<ThreadedProgramRunner> m_runner;
    std::unique_ptr<fapache> m_apache;
    std::unique_ptr<fphp> m_php;
    std::unique_ptr<fmysql> m_mysql;
    std::unique_ptr<zhanform> m_sites;
    std::unique_ptr<DesktopShortcuts> m_desktop;
    std::unique_ptr<fabout> m_about;
};

} // namespace larkspan
