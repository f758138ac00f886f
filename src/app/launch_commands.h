#pragma once

#include "config_files.h"
#include "launcher.h"
#include "messages.h"

#include <string>
#include <string_view>

namespace larkspan {

/// Shows the settings and About dialogs modally; each dialog is created once and reloaded at
/// every opening. Implemented by the window layer.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual void ShowApacheSettings() = 0;
    virtual void ShowPhpSettings() = 0;
    virtual void ShowMySqlSettings() = 0;
    virtual void ShowSiteManagement() = 0;
    virtual void ShowAbout() = 0;
};

/// The main window's commands that open files, folders, pages, consoles and dialogs. One method
/// per primary control; twin controls call the same method.
class LaunchCommands final {
public:
    LaunchCommands(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages, DialogHost& dialogs);

    void phpini();
    void httpdconf();
    void mysqlini();
    void phpmyadmininc();
    void wwwroot();
    void mysqldata();
    void apachelog();
    void mysqlconsole();
    void servicecontrol();
    void homepage();
    void phpmyadmin();
    void phpinfo();
    void phpmanual();
    void jsmanual();
    void cssmanual();
    void faqs();
    void update();
    void apcheset();
    void phpset();
    void mysqlset();
    void zhanCom();
    void about();

private:
    ConfigFiles& m_files;
    Launcher& m_launcher;
    MessageBoxes& m_messages;
    DialogHost& m_dialogs;
};

} // namespace larkspan
