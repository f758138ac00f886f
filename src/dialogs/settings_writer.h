#pragma once

#include "config_files.h"
#include "messages.h"
#include "settings_keys.h"

#include <functional>
#include <string>
#include <vector>

namespace larkspan {

/// One setting of a settings dialog: its Larkspan.ini key, the text loaded when the dialog
/// opened, the text the user left in the field, and the writes that carry it into the server's
/// file, in order.
struct SettingRow
{
    SettingsKey key;
    std::string loaded;
    std::string current;
    std::vector<std::function<Status(const std::string& value)>> serverWrites;
};

enum class SaveOutcome { Unchanged, Saved, Failed };

struct SaveResult
{
    SaveOutcome outcome = SaveOutcome::Unchanged;
    std::string failure; ///< the file and the reason, when Failed
};

/// Writes every row whose text differs from the loaded one (exact, case-sensitive), first to
/// Larkspan.ini, then to the server's file. Stops at the first failed write; when a server-file
/// write failed, the row's Larkspan.ini key is put back to its loaded value so the two files
/// keep agreeing.
SaveResult SaveChangedSettings(ConfigFiles& files, const std::vector<SettingRow>& rows);

/// Tells the user when Larkspan.ini exists but cannot be read, so that the empty fields shown
/// instead are not taken for its content.
void ReportUnreadableSettings(ConfigFiles& files, MessageBoxes& messages);

/// The number check of the dialogs' number fields: shows the message of the failing outcome and
/// returns false, or returns true for a whole number.
bool CheckWholeNumber(MessageBoxes& messages, const std::string& text, const std::string& notANumber,
    const std::string& notWhole);

/// Tells the user how a save went: `successMessage` after a write, the failure with its file and
/// reason after a failed one, nothing when nothing changed. Returns whether the dialog may close.
bool ReportSave(MessageBoxes& messages, const SaveResult& result, const std::string& successMessage);

} // namespace larkspan
