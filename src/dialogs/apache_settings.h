#pragma once

#include "dialogs/settings_dialog_logic.h"

#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

/// The texts of the Apache settings dialog's boxes.
struct ApacheFields
{
    std::string listen;
    std::string root;
    std::string sname;
    std::string admin;
    std::string index;
    bool operator==(const ApacheFields&) const = default;
};

/// Why httpd.conf cannot hold `value` as the quoted argument of `directive` so that Apache reads
/// it back unchanged, or nullopt.
std::optional<std::string> QuotedArgumentProblem(
    std::string_view field, std::string_view directive, std::string_view value);

/// Loading and saving of the Apache settings: Larkspan.ini [Apache] is the record, httpd.conf
/// only receives rewritten directive lines.
class ApacheSettings final : public SettingsDialogLogic
{
public:
    /// Without `checked`, a save is written at once; with it, the servers check it first.
    ApacheSettings(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
        CheckedSave* checked = nullptr);

    /// Reads Larkspan.ini afresh; the result is also the reference for the next Save.
    ApacheFields Load();
    /// Checks the entries, writes what changed and tells the user. Returns whether the dialog may
    /// close (false after a failed check or a failed write).
    bool Save(const ApacheFields& fields);

private:
    struct Loaded
    {
        ShownText listen, root, sname, admin, index;
    };

    Loaded m_loaded;
};

} // namespace larkspan
