#include "php_settings.h"

#include "settings_keys.h"
#include "settings_writer.h"

namespace larkspan {

namespace {

std::string SwitchEntry(const std::string& loaded)
{
    return loaded == "On" ? "On" : "Off";
}

} // namespace

PhpSettings::PhpSettings(ConfigFiles& files, MessageBoxes& messages)
    : m_files(files)
    , m_messages(messages)
{ }

PhpFields PhpSettings::Load()
{
    m_configPath = m_files.AppDir() + "\\PHP5\\php.ini";
    ReportUnreadableSettings(m_files, m_messages);
    const auto read
        = [this](const SettingsKey& key) { return m_files.IniRead(key.section, key.key, "", kSettingsFile); };
    m_loaded.shortOpenTag = read(keys::PhpShortOpenTag);
    m_loaded.outputBuffering = read(keys::PhpOutputBuffering);
    m_loaded.safeMode = read(keys::PhpSafeMode);
    m_loaded.displayErrors = read(keys::PhpDisplayErrors);
    m_loaded.registerGlobals = read(keys::PhpRegisterGlobals);
    m_loaded.maxTime = read(keys::PhpMaxExecutionTime);
    m_loaded.uploadFile = read(keys::PhpUploadMaxFilesize);

    PhpFields shown = m_loaded;
    shown.shortOpenTag = SwitchEntry(m_loaded.shortOpenTag);
    shown.outputBuffering = SwitchEntry(m_loaded.outputBuffering);
    shown.safeMode = SwitchEntry(m_loaded.safeMode);
    shown.displayErrors = SwitchEntry(m_loaded.displayErrors);
    shown.registerGlobals = SwitchEntry(m_loaded.registerGlobals);
    return shown;
}

bool PhpSettings::Save(const PhpFields& fields)
{
    if (!CheckWholeNumber(m_messages, fields.maxTime, "最长时间请填数字！", "最长时间请填正整数！"))
        return false;
    if (!CheckWholeNumber(
            m_messages, fields.uploadFile, "上传文件的大小请填数字！", "上传文件的大小请填正整数！"))
        return false;

    // php.ini takes the upload limit with its unit; Larkspan.ini keeps the bare number.
    const auto phpIni = [this](std::string_view key, std::string_view suffix = {}) {
        return [this, key, suffix](const std::string& value) {
            return m_files.IniWrite("PHP", key, value + std::string(suffix), m_configPath);
        };
    };
    const auto row = [&](const SettingsKey& key, const std::string& loaded, const std::string& current) {
        return SettingRow {key, loaded, current, {phpIni(key.key)}};
    };
    const std::vector<SettingRow> rows {
        row(keys::PhpShortOpenTag, m_loaded.shortOpenTag, fields.shortOpenTag),
        row(keys::PhpOutputBuffering, m_loaded.outputBuffering, fields.outputBuffering),
        row(keys::PhpSafeMode, m_loaded.safeMode, fields.safeMode),
        row(keys::PhpDisplayErrors, m_loaded.displayErrors, fields.displayErrors),
        row(keys::PhpRegisterGlobals, m_loaded.registerGlobals, fields.registerGlobals),
        row(keys::PhpMaxExecutionTime, m_loaded.maxTime, fields.maxTime),
        {keys::PhpUploadMaxFilesize, m_loaded.uploadFile, fields.uploadFile,
            {phpIni("upload_max_filesize", "M"), phpIni("post_max_size", "M")}},
    };
    return ReportSave(m_messages, SaveChangedSettings(m_files, rows), "设置成功，重起Apache生效。");
}

} // namespace larkspan
