#pragma once

#include "platform/desktop_shortcuts.h"

#include <string>
#include <vector>

namespace larkspan {

/// A desktop that records the shortcuts written; `missing` hides the folder and `failOn` makes
/// the shortcut of that name fail.
class FakeDesktopShortcuts final : public DesktopShortcuts
{
public:
    struct Shortcut
    {
        std::string folder;
        std::string name;
        std::string target;
        bool operator==(const Shortcut&) const = default;
    };

    Status FindDesktopFolder(std::string& found) override
    {
        if (missing)
            return Status::Failure("desktop folder " + folder + ": No such file or directory");
        found = folder;
        return Status::Success();
    }

    Status WriteInternetShortcut(
        const std::string& inFolder, std::string_view name, std::string_view target) override
    {
        if (name == failOn)
            return Status::Failure(inFolder + "/" + std::string(name) + ": Permission denied");
        written.push_back({inFolder, std::string(name), std::string(target)});
        return Status::Success();
    }

    std::string folder = "/home/user/Desktop";
    bool missing = false;
    std::string failOn;
    std::vector<Shortcut> written;
};

} // namespace larkspan
