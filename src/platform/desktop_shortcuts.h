#pragma once

#include "config/status.h"

#include <memory>
#include <string>
#include <string_view>

namespace larkspan {

/// The user's desktop folder and the internet shortcuts placed on it.
class DesktopShortcuts
{
public:
    virtual ~DesktopShortcuts() = default;
    /// Sets `folder` to the user's desktop folder (a native path without a trailing separator).
    /// Fails, naming the folder and the reason, when it cannot be found or is not a directory.
    virtual Status FindDesktopFolder(std::string& folder) = 0;
    /// Creates or replaces the shortcut file `name` in `folder`, opening `target`; the file keeps
    /// exactly the given name and is replaced atomically. Fails with the file's path and the reason.
    virtual Status WriteInternetShortcut(
        const std::string& folder, std::string_view name, std::string_view target)
        = 0;
};

/// The Linux content of an internet shortcut file: a freedesktop link entry titled with `name`
/// without its extension, so that file managers open `target`.
std::string FreedesktopLinkText(std::string_view name, std::string_view target);

std::unique_ptr<DesktopShortcuts> MakeSystemDesktopShortcuts();

} // namespace larkspan
