#pragma once

#include "config/config_files.h"
#include "config/settings_keys.h"
#include "dialogs/setting_rows.h"
#include "dialogs/shown_text.h"
#include "safety/checked_save.h"
#include "ui/message_boxes.h"

#include <string>
#include <string_view>
#include <vector>

namespace larkspan {

/// What the logic of the Apache, PHP and MySQL settings dialogs shares: Larkspan.ini is the record
/// the fields are loaded from, one server file of the bundle receives the changed settings, and a
/// save goes through the servers' check when the dialog has one.
class SettingsDialogLogic
{
public:
    SettingsDialogLogic(const SettingsDialogLogic&) = delete;
    SettingsDialogLogic& operator=(const SettingsDialogLogic&) = delete;

protected:
    /// `serverFile`: the server's file relative to AppDir (bundle_paths.h); `dialog` names the
    /// save in the history and the event log; `savedMessage` is told after a save. Without
    /// `checked`, a save is written at once.
    SettingsDialogLogic(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
        CheckedSave* checked, std::string_view serverFile, std::string_view dialog,
        std::string_view savedMessage);
    ~SettingsDialogLogic() = default;

    /// Larkspan.ini read afresh, as the dialog loads it.
    class Record
    {
    public:
        Record(const TextCodePage& codePage, std::string bytes);
        /// The value of `key`, shown through the code page.
        ShownText operator()(const SettingsKey& key) const;

    private:
        const TextCodePage& m_codePage;
        std::string m_bytes;
    };
    /// Reads Larkspan.ini afresh (reporting a file that cannot be read) and finds the server file.
    Record LoadRecord();
    /// The number check of a number field: shows the failing outcome's message and returns false.
    bool CheckNumber(const std::string& text, std::string_view notANumber, std::string_view notWhole);
    /// Saves the rows that changed (SaveSettings); returns whether the dialog may close now.
    bool SaveRows(const std::vector<SettingRow>& rows);
    /// The server file, as found by the last LoadRecord.
    const std::string& serverFile() const { return m_serverFile; }

    ConfigFiles& m_files;
    MessageBoxes& m_messages;
    const TextCodePage& m_codePage;

private:
    CheckedSave* m_checked;
    std::string_view m_serverFileInBundle;
    std::string_view m_dialog;
    std::string_view m_savedMessage;
    std::string m_serverFile;
};

} // namespace larkspan
