#include "dialogs/php_settings.h"

#include "config/bundle_paths.h"
#include "config/settings_keys.h"
#include "dialogs/setting_rows.h"
#include "texts/catalogue.h"

namespace larkspan {

namespace {

std::string SwitchEntry(const ShownText& loaded)
{
    return loaded.text == "On" ? "On" : "Off";
}

} // namespace

PhpSettings::PhpSettings(
    ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage, CheckedSave* checked)
    : SettingsDialogLogic(
        files, messages, codePage, checked, paths::kPhpIni, "PHP设置", catalogue::kApacheSaved)
{ }

PhpFields PhpSettings::Load()
{
    const Record read = LoadRecord();
    m_loaded.shortOpenTag = read(keys::kPhpShortOpenTag);
    m_loaded.outputBuffering = read(keys::kPhpOutputBuffering);
    m_loaded.safeMode = read(keys::kPhpSafeMode);
    m_loaded.displayErrors = read(keys::kPhpDisplayErrors);
    m_loaded.registerGlobals = read(keys::kPhpRegisterGlobals);
    m_loaded.maxTime = read(keys::kPhpMaxExecutionTime);
    m_loaded.uploadFile = read(keys::kPhpUploadMaxFilesize);
    return {SwitchEntry(m_loaded.shortOpenTag), SwitchEntry(m_loaded.outputBuffering),
        SwitchEntry(m_loaded.safeMode), SwitchEntry(m_loaded.displayErrors),
        SwitchEntry(m_loaded.registerGlobals), m_loaded.maxTime.text, m_loaded.uploadFile.text};
}

bool PhpSettings::Save(const PhpFields& fields)
{
    if (!CheckNumber(fields.maxTime, catalogue::kMaxTimeNotANumber, catalogue::kMaxTimeNotWhole))
        return false;
    if (!CheckNumber(fields.uploadFile, catalogue::kUploadNotANumber, catalogue::kUploadNotWhole))
        return false;

    // php.ini takes the upload limit with its unit; Larkspan.ini keeps the bare number.
    const auto phpIni = [this](std::string_view key, std::string_view suffix = {}) {
        return [this, key, suffix](FileBatch& batch, const std::string& value) {
            return batch.SetIniKey(serverFile(), "PHP", key, value + std::string(suffix));
        };
    };
    const auto row = [&](std::string_view field, const SettingsKey& key, const ShownText& loaded,
                         const std::string& current) {
        return SettingRow {field, key, loaded, current, {phpIni(key.key)}};
    };
    const std::vector<SettingRow> rows {
        row("开始标志缩写", keys::kPhpShortOpenTag, m_loaded.shortOpenTag, fields.shortOpenTag),
        row("输出缓存", keys::kPhpOutputBuffering, m_loaded.outputBuffering, fields.outputBuffering),
        row("安全模式", keys::kPhpSafeMode, m_loaded.safeMode, fields.safeMode),
        row("错误显示", keys::kPhpDisplayErrors, m_loaded.displayErrors, fields.displayErrors),
        row("全局变量", keys::kPhpRegisterGlobals, m_loaded.registerGlobals, fields.registerGlobals),
        row("脚本运行最长时间", keys::kPhpMaxExecutionTime, m_loaded.maxTime, fields.maxTime),
        {"上传文件的最大限制", keys::kPhpUploadMaxFilesize, m_loaded.uploadFile, fields.uploadFile,
            {phpIni("upload_max_filesize", "M"), phpIni("post_max_size", "M")}},
    };
    return SaveRows(rows);
}

} // namespace larkspan
