#pragma once

#include "platform/desktop_shortcuts.h"
#include "platform/launcher.h"
#include "ui/message_boxes.h"

#include <string>
#include <string_view>

namespace larkspan {

/// The partner web site linked from the About dialog, under the reserved .example domain.
inline constexpr std::string_view kPartnerSiteBase = "http://www.meadowhost.example";
inline constexpr std::string_view kPartnerShortcutName = "Meadowhost.lnk";
inline constexpr std::string_view kMakerShortcutName = "Larkspan.lnk";

/// What the About dialog's link does: a shortcut to the maker's and one to the partner's site on
/// the user's desktop, then the maker's site in the browser.
class AboutLink final
{
public:
    AboutLink(DesktopShortcuts& desktop, Launcher& launcher, MessageBoxes& messages);

    /// Writes both shortcuts (replacing earlier ones) and opens the site; the first failure is
    /// shown and ends the sequence.
    void Visit();

    /// The address the link opens.
    static std::string MakerTarget();

private:
    DesktopShortcuts& m_desktop;
    Launcher& m_launcher;
    MessageBoxes& m_messages;
};

} // namespace larkspan
