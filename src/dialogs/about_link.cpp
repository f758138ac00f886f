#include "dialogs/about_link.h"

#include "config/maker_site.h"

namespace larkspan {

AboutLink::AboutLink(DesktopShortcuts& desktop, Launcher& launcher, MessageBoxes& messages)
    : m_desktop(desktop)
    , m_launcher(launcher)
    , m_messages(messages)
{ }

std::string AboutLink::MakerTarget()
{
    return std::string(kMakerSiteBase) + "/?i";
}

void AboutLink::Visit()
{
    const std::string makerTarget = MakerTarget();
    const std::string partnerTarget = std::string(kPartnerSiteBase) + "/?i";

    std::string folder;
    Status status = m_desktop.FindDesktopFolder(folder);
    if (status.ok())
        status = m_desktop.WriteInternetShortcut(folder, kMakerShortcutName, makerTarget);
    if (status.ok())
        status = m_desktop.WriteInternetShortcut(folder, kPartnerShortcutName, partnerTarget);
    if (status.ok())
        status = m_launcher.LaunchProgram(
            Command {"explorer.exe", {Argument::url(makerTarget)}}, WindowStyle::MinimizedFocus);
    if (!status.ok())
        m_messages.Inform(status.message());
}

} // namespace larkspan
