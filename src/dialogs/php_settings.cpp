#include "php_settings.h"

#include "bundle_paths.h"
#include "catalogue.h"
#include "settings_keys.h"
#include "settings_writer.h"

namespace larkspan {

namespace {

std::string SwitchEntry(const ShownText& loaded)
{
    return loaded.text == "On" ? "On" : "Off";
}

} // namespace

PhpSettings::PhpSettings(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage)
    : m_files(files)
    , m_messages(messages)
    , m_codePage(codePage)
{ }

PhpFields PhpSettings::Load()
{
    m_configPath = InBundle(m_files.AppDir(), paths::kPhpIni);
    const std::string record = LoadSettingsRecord(m_files, m_messages);
    const auto read = [&](const SettingsKey& key) { return RecordedValue(m_codePage, record, key); };
    m_loaded.shortOpenTag = read(keys::PhpShortOpenTag);
    m_loaded.outputBuffering = read(keys::PhpOutputBuffering);
    m_loaded.safeMode = read(keys::PhpSafeMode);
    m_loaded.displayErrors = read(keys::PhpDisplayErrors);
    m_loaded.registerGlobals = read(keys::PhpRegisterGlobals);
    m_loaded.maxTime = read(keys::PhpMaxExecutionTime);
    m_loaded.uploadFile = read(keys::PhpUploadMaxFilesize);
    return {SwitchEntry(m_loaded.shortOpenTag), SwitchEntry(m_loaded.outputBuffering),
        SwitchEntry(m_loaded.safeMode), SwitchEntry(m_loaded.displayErrors),
        SwitchEntry(m_loaded.registerGlobals), m_loaded.maxTime.text, m_loaded.uploadFile.text};
}

bool PhpSettings::Save(const PhpFields& fields)
{
    if (!CheckWholeNumber(
            m_messages, fields.maxTime, catalogue::kMaxTimeNotANumber, catalogue::kMaxTimeNotWhole))
        return false;
    if (!CheckWholeNumber(
            m_messages, fields.uploadFile, catalogue::kUploadNotANumber, catalogue::kUploadNotWhole))
        return false;

    // php.ini takes the upload limit with its unit; Larkspan.ini keeps the bare number.
    const auto phpIni = [this](std::string_view key, std::string_view suffix = {}) {
        return [this, key, suffix](FileBatch& batch, const std::string& value) {
            return batch.SetIniKey(m_configPath, "PHP", key, value + std::string(suffix));
        };
    };
    const auto row = [&](std::string_view field, const SettingsKey& key, const ShownText& loaded,
                         const std::string& current) {
        return SettingRow {field, key, loaded, current, {phpIni(key.key)}};
    };
    const std::vector<SettingRow> rows {
        row("开始标志缩写", keys::PhpShortOpenTag, m_loaded.shortOpenTag, fields.shortOpenTag),
        row("输出缓存", keys::PhpOutputBuffering, m_loaded.outputBuffering, fields.outputBuffering),
        row("安全模式", keys::PhpSafeMode, m_loaded.safeMode, fields.safeMode),
        row("错误显示", keys::PhpDisplayErrors, m_loaded.displayErrors, fields.displayErrors),
        row("全局变量", keys::PhpRegisterGlobals, m_loaded.registerGlobals, fields.registerGlobals),
        row("脚本运行最长时间", keys::PhpMaxExecutionTime, m_loaded.maxTime, fields.maxTime),
        {"上传文件的最大限制", keys::PhpUploadMaxFilesize, m_loaded.uploadFile, fields.uploadFile,
            {phpIni("upload_max_filesize", "M"), phpIni("post_max_size", "M")}},
    };
    return SaveSettings(m_files, m_messages, m_codePage, rows, catalogue::kApacheSaved);
}

} // namespace larkspan
