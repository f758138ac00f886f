#pragma once

#include "config/config_files.h"
#include "config/file_batch.h"
#include "config/settings_keys.h"
#include "dialogs/shown_text.h"
#include "safety/checked_save.h"
#include "ui/message_boxes.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspan {

/// Puts a changed setting's value (its bytes) into the server's file of a batch.
using ServerWrite = std::function<Status(FileBatch& batch, const std::string& value)>;

/// One setting of a settings dialog: its field, its Larkspan.ini key, the value loaded when the
/// dialog opened, the text the user left in the field, and the writes that carry it into the
/// server's file.
struct SettingRow
{
    std::string_view field; ///< the field's label, named in messages
    SettingsKey key;
    ShownText loaded;
    std::string current;
    std::vector<ServerWrite> serverWrites;
    /// Why the server's file cannot hold the value beyond a line break or NUL, or nullopt.
    std::function<std::optional<std::string>(std::string_view value)> valueProblem = {};
};

/// Larkspan.ini as the settings dialogs load it. A missing file is empty; one that cannot be read
/// or holds no settings text is reported and read as empty.
std::string LoadSettingsRecord(ConfigFiles& files, MessageBoxes& messages);

/// The value of `key` in the loaded record, shown through the code page.
ShownText RecordedValue(const TextCodePage& codePage, std::string_view record, const SettingsKey& key);

/// Saves every row whose text differs from the loaded one (exact, case-sensitive): first refuses
/// values the files cannot hold and asks before replacing bytes that could not be shown, then
/// composes Larkspan.ini and the server's files in memory and replaces each once. Shows
/// `successMessage` after a save, the failure after a failed one, nothing when nothing changed.
/// With `checked` the composed save goes through the servers' check and the history under
/// `dialog`'s name instead of being written at once. Returns whether the dialog may close now.
bool SaveSettings(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
    const std::vector<SettingRow>& rows, std::string_view successMessage, CheckedSave* checked = nullptr,
    std::string_view dialog = {});

/// The number check of the dialogs' number fields: shows the message of the failing outcome and
/// returns false, or returns true for a whole number.
bool CheckWholeNumber(
    MessageBoxes& messages, const std::string& text, std::string_view notANumber, std::string_view notWhole);

} // namespace larkspan
