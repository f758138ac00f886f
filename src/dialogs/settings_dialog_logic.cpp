#include "dialogs/settings_dialog_logic.h"

#include "config/bundle_paths.h"

namespace larkspan {

SettingsDialogLogic::SettingsDialogLogic(ConfigFiles& files, MessageBoxes& messages,
    const TextCodePage& codePage, CheckedSave* checked, std::string_view serverFile, std::string_view dialog,
    std::string_view savedMessage)
    : m_files(files)
    , m_messages(messages)
    , m_codePage(codePage)
    , m_checked(checked)
    , m_serverFileInBundle(serverFile)
    , m_dialog(dialog)
    , m_savedMessage(savedMessage)
{ }

SettingsDialogLogic::Record::Record(const TextCodePage& codePage, std::string bytes)
    : m_codePage(codePage)
    , m_bytes(std::move(bytes))
{ }

ShownText SettingsDialogLogic::Record::operator()(const SettingsKey& key) const
{
    return RecordedValue(m_codePage, m_bytes, key);
}

SettingsDialogLogic::Record SettingsDialogLogic::LoadRecord()
{
    m_serverFile = InBundle(m_files.AppDir(), m_serverFileInBundle);
    return Record(m_codePage, LoadSettingsRecord(m_files, m_messages));
}

bool SettingsDialogLogic::CheckNumber(
    const std::string& text, std::string_view notANumber, std::string_view notWhole)
{
    return CheckWholeNumber(m_messages, text, notANumber, notWhole);
}

bool SettingsDialogLogic::SaveRows(const std::vector<SettingRow>& rows)
{
    return SaveSettings(m_files, m_messages, m_codePage, rows, m_savedMessage, m_checked, m_dialog);
}

} // namespace larkspan
