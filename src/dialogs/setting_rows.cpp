#include "dialogs/setting_rows.h"

#include "config/ini.h"
#include "config/ini_engine.h"
#include "config/number_check.h"
#include "config/text_lines.h"
#include "texts/catalogue.h"

namespace larkspan {

std::string LoadSettingsRecord(ConfigFiles& files, MessageBoxes& messages)
{
    const std::string path = ResolveIniPath(kSettingsFile, files.AppDir());
    std::string record;
    bool missing = false;
    if (Status read = files.ReadFile(path, record, missing); !read.ok()) {
        if (!missing)
            messages.Inform(catalogue::SettingsFileUnreadable(read.message()));
        return {};
    }
    if (HoldsBinaryBytes(record)) {
        messages.Inform(
            catalogue::SettingsFileUnreadable(NativePath(path) + ": " + std::string(catalogue::kNotText)));
        return {};
    }
    return record;
}

ShownText RecordedValue(const TextCodePage& codePage, std::string_view record, const SettingsKey& key)
{
    return ShowText(codePage, IniLookup(record, key.section, key.key).value_or(std::string()));
}

bool SaveSettings(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
    const std::vector<SettingRow>& rows, std::string_view successMessage, CheckedSave* checked,
    std::string_view dialog)
{
    struct Change
    {
        const SettingRow* row;
        std::string value;
    };
    std::vector<Change> changes;
    for (const SettingRow& row : rows) {
        if (row.current == row.loaded.text)
            continue;
        std::optional<std::string> value = BytesFor(codePage, row.loaded, row.current);
        if (!value) {
            messages.Inform(catalogue::FieldNotInCodePage(row.field));
            return false;
        }
        if (value->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            messages.Inform(catalogue::FieldHoldsLineBreak(row.field));
            return false;
        }
        if (row.valueProblem) {
            if (std::optional<std::string> problem = row.valueProblem(*value)) {
                messages.Inform(*problem);
                return false;
            }
        }
        changes.push_back({&row, std::move(*value)});
    }
    if (changes.empty())
        return true;
    for (const Change& change : changes) {
        if (!change.row->loaded.exact
            && !messages.Confirm(catalogue::ConfirmReplacingUndecodable(change.row->field)))
            return false;
    }

    FileBatch batch(files);
    Status status = Status::Success();
    for (const Change& change : changes) {
        status = batch.SetIniKey(kSettingsFile, change.row->key.section, change.row->key.key, change.value);
        for (const ServerWrite& write : change.row->serverWrites) {
            if (status.ok())
                status = write(batch, change.value);
        }
        if (!status.ok())
            break;
    }
    if (!status.ok()) {
        messages.Inform(catalogue::SaveFailed(status.message()));
        return false;
    }
    return SubmitSave(std::move(batch), messages, checked,
        {std::string(dialog), std::string(successMessage),
            [](std::string_view reason) { return catalogue::SaveFailed(reason); }});
}

bool CheckWholeNumber(
    MessageBoxes& messages, const std::string& text, std::string_view notANumber, std::string_view notWhole)
{
    switch (WholeNumberCheck(text)) {
    case NumberCheck::NotANumber:
        messages.Inform(std::string(notANumber));
        return false;
    case NumberCheck::NotWhole:
        messages.Inform(std::string(notWhole));
        return false;
    case NumberCheck::Whole:
        break;
    }
    return true;
}

} // namespace larkspan
