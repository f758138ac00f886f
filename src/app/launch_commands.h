#pragma once

#include "config/config_files.h"
#include "platform/launcher.h"
#include "safety/settings_history.h"
#include "ui/dialog_host.h"
#include "ui/message_boxes.h"

#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

struct SettingsKey;

/// The address of the local web server for the port text of [Apache] Listen: "http://localhost"
/// for exactly "80", otherwise "http://localhost:" followed by the text unchanged (even empty).
std::string LocalBaseUrl(std::string_view listen);

/// The main window's commands that open files, folders, pages, consoles and dialogs. One method
/// per primary control; twin controls call the same method.
class LaunchCommands final
{
public:
    /// `history` records the phpinfo page's previous bytes.
    LaunchCommands(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages, DialogHost& dialogs,
        SettingsHistory& history);

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
    /// The value from Larkspan.ini; nullopt, after telling the user, when the file cannot be read.
    std::optional<std::string> ReadSetting(const SettingsKey& key);
    /// Starts the program; a failure is shown with the program's name and ends the command.
    void Launch(const Command& command, WindowStyle style);
    void OpenAddress(std::string address);

    ConfigFiles& m_files;
    Launcher& m_launcher;
    MessageBoxes& m_messages;
    DialogHost& m_dialogs;
    SettingsHistory& m_history;
};

} // namespace larkspan
