#include "dialog_host.h"

#include "desktop.h"
#include "fabout.h"

namespace larkspan {

WidgetDialogHost::WidgetDialogHost(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages)
    : m_files(files)
    , m_launcher(launcher)
    , m_messages(messages)
{
}

WidgetDialogHost::~WidgetDialogHost() = default;

// Placeholders until the dialogs land.
void WidgetDialogHost::ShowApacheSettings() { }
void WidgetDialogHost::ShowPhpSettings() { }
void WidgetDialogHost::ShowMySqlSettings() { }
void WidgetDialogHost::ShowSiteManagement() { }
void WidgetDialogHost::ShowAbout()
{
    // The dialog keeps no state, so a fresh one per opening is the same as reloading it.
    const auto desktop = MakeSystemDesktopShortcuts();
    fabout dialog(*desktop, m_launcher, m_messages);
    dialog.exec();
}

} // namespace larkspan
