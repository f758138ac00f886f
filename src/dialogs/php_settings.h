#pragma once

#include "dialogs/settings_dialog_logic.h"

#include <string>

namespace larkspan {

/// The PHP settings dialog's fields: the switches hold the selected entry ("On" or "Off").
struct PhpFields
{
    std::string shortOpenTag;
    std::string outputBuffering;
    std::string safeMode;
    std::string displayErrors;
    std::string registerGlobals;
    std::string maxTime;
    std::string uploadFile;
    bool operator==(const PhpFields&) const = default;
};

/// Loading and saving of the PHP settings: Larkspan.ini [PHP] is the record, php.ini [PHP] only
/// receives single keys.
class PhpSettings final : public SettingsDialogLogic
{
public:
    /// Without `checked`, a save is written at once; with it, the servers check it first.
    PhpSettings(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
        CheckedSave* checked = nullptr);

    /// Reads Larkspan.ini afresh. A switch shows "On" only for the exact text "On".
    PhpFields Load();
    /// Checks the numbers, writes what changed and tells the user. Returns whether the dialog
    /// may close.
    bool Save(const PhpFields& fields);

private:
    struct Loaded
    {
        ShownText shortOpenTag, outputBuffering, safeMode, displayErrors, registerGlobals, maxTime,
            uploadFile;
    };

    Loaded m_loaded;
};

} // namespace larkspan
