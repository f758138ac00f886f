#include "settings_writer.h"

#include "number_check.h"

namespace larkspan {

SaveResult SaveChangedSettings(ConfigFiles& files, const std::vector<SettingRow>& rows)
{
    SaveResult result;
    for (const auto& row : rows) {
        if (row.current == row.loaded)
            continue;
        if (auto status = files.IniWrite(row.key.section, row.key.key, row.current, kSettingsFile);
            !status.ok())
            return {SaveOutcome::Failed, status.message()};
        result.outcome = SaveOutcome::Saved;
        for (const auto& write : row.serverWrites) {
            auto status = write(row.current);
            if (status.ok())
                continue;
            std::string failure = status.message();
            if (auto undo = files.IniWrite(row.key.section, row.key.key, row.loaded, kSettingsFile);
                !undo.ok())
                failure += "\n" + undo.message();
            return {SaveOutcome::Failed, failure};
        }
    }
    return result;
}

void ReportUnreadableSettings(ConfigFiles& files, MessageBoxes& messages)
{
    if (Status readable = files.IniReadable(kSettingsFile); !readable.ok())
        messages.Inform(kSettingsUnreadable + readable.message());
}

bool CheckWholeNumber(MessageBoxes& messages, const std::string& text, const std::string& notANumber,
    const std::string& notWhole)
{
    switch (WholeNumberCheck(text)) {
    case NumberCheck::NotANumber:
        messages.Inform(notANumber);
        return false;
    case NumberCheck::NotWhole:
        messages.Inform(notWhole);
        return false;
    case NumberCheck::Whole:
        break;
    }
    return true;
}

bool ReportSave(MessageBoxes& messages, const SaveResult& result, const std::string& successMessage)
{
    switch (result.outcome) {
    case SaveOutcome::Unchanged:
        return true;
    case SaveOutcome::Saved:
        messages.Inform(successMessage);
        return true;
    case SaveOutcome::Failed:
        messages.Inform("设置保存失败：\n" + result.failure);
        return false;
    }
    return false;
}

} // namespace larkspan
