#include "dialog_host.h"

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
void WidgetDialogHost::ShowAbout() { }

} // namespace larkspan
