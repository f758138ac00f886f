// Placeholder until the launch commands land: the dialog commands already open their dialogs.
#include "launch_commands.h"

namespace larkspan {

LaunchCommands::LaunchCommands(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages, DialogHost& dialogs)
    : m_files(files)
    , m_launcher(launcher)
    , m_messages(messages)
    , m_dialogs(dialogs)
{
}

void LaunchCommands::phpini() { }
void LaunchCommands::httpdconf() { }
void LaunchCommands::mysqlini() { }
void LaunchCommands::phpmyadmininc() { }
void LaunchCommands::wwwroot() { }
void LaunchCommands::mysqldata() { }
void LaunchCommands::apachelog() { }
void LaunchCommands::mysqlconsole() { }
void LaunchCommands::servicecontrol() { }
void LaunchCommands::homepage() { }
void LaunchCommands::phpmyadmin() { }
void LaunchCommands::phpinfo() { }
void LaunchCommands::phpmanual() { }
void LaunchCommands::jsmanual() { }
void LaunchCommands::cssmanual() { }
void LaunchCommands::faqs() { }
void LaunchCommands::update() { }
void LaunchCommands::apcheset() { m_dialogs.ShowApacheSettings(); }
void LaunchCommands::phpset() { m_dialogs.ShowPhpSettings(); }
void LaunchCommands::mysqlset() { m_dialogs.ShowMySqlSettings(); }
void LaunchCommands::zhanCom() { m_dialogs.ShowSiteManagement(); }
void LaunchCommands::about() { m_dialogs.ShowAbout(); }

} // namespace larkspan
