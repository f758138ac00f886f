#pragma once

namespace larkspan {

/// Shows the settings and About dialogs modally; each dialog is created once and reloaded at
/// every opening. Implemented by the window layer.
class DialogHost
{
public:
    virtual ~DialogHost() = default;
    virtual void ShowApacheSettings() = 0;
    virtual void ShowPhpSettings() = 0;
    virtual void ShowMySqlSettings() = 0;
    virtual void ShowSiteManagement() = 0;
    virtual void ShowAbout() = 0;
};

} // namespace larkspan
