#pragma once

#include "ui/dialog_host.h"

#include <string>
#include <vector>

namespace larkspan {

/// Records which dialog was asked for, in order.
class FakeDialogHost final : public DialogHost
{
public:
    void ShowApacheSettings() override { shown.push_back("fapache"); }
    void ShowPhpSettings() override { shown.push_back("fphp"); }
    void ShowMySqlSettings() override { shown.push_back("fmysql"); }
    void ShowSiteManagement() override { shown.push_back("zhanform"); }
    void ShowAbout() override { shown.push_back("fabout"); }

    std::vector<std::string> shown;
};

} // namespace larkspan
