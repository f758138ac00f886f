#include "apache_settings.h"

#include "settings_keys.h"
#include "settings_writer.h"

namespace larkspan {

namespace {

// Apache refuses a DocumentRoot that is not a directory, and a pattern is never one.
bool IsSiteDirectory(ConfigFiles& files, const std::string& path)
{
    return !path.empty() && path.find_first_of("*?") == std::string::npos && files.IsDirectory(path);
}

} // namespace

ApacheSettings::ApacheSettings(ConfigFiles& files, MessageBoxes& messages)
    : m_files(files)
    , m_messages(messages)
{ }

ApacheFields ApacheSettings::Load()
{
    m_configPath = m_files.AppDir() + "\\Apache2\\conf\\httpd.conf";
    ReportUnreadableSettings(m_files, m_messages);
    const auto read
        = [this](const SettingsKey& key) { return m_files.IniRead(key.section, key.key, "", kSettingsFile); };
    m_loaded.admin = read(keys::ApacheServerAdmin);
    m_loaded.listen = read(keys::ApacheListen);
    m_loaded.sname = read(keys::ApacheServerName);
    m_loaded.root = read(keys::ApacheDocumentRoot);
    m_loaded.index = read(keys::ApacheDirectoryIndex);
    return m_loaded;
}

bool ApacheSettings::Save(const ApacheFields& fields)
{
    if (!IsSiteDirectory(m_files, fields.root)) {
        m_messages.Inform("网站的目录不存在！");
        return false;
    }
    if (!CheckWholeNumber(m_messages, fields.listen, "Apache端口请填数字！", "Apache端口请填正整数！"))
        return false;

    const auto directive = [this](std::string_view name, bool quoted) {
        return [this, name, quoted](const std::string& value) {
            return m_files.RewriteDirective(m_configPath, name, quoted ? "\"" + value + "\"" : value);
        };
    };
    const std::vector<SettingRow> rows {
        {keys::ApacheListen, m_loaded.listen, fields.listen, {directive("Listen", false)}},
        {keys::ApacheServerAdmin, m_loaded.admin, fields.admin, {directive("ServerAdmin", false)}},
        {keys::ApacheServerName, m_loaded.sname, fields.sname, {directive("ServerName", false)}},
        {keys::ApacheDocumentRoot, m_loaded.root, fields.root, {directive("DocumentRoot", true)}},
        {keys::ApacheDirectoryIndex, m_loaded.index, fields.index, {directive("DirectoryIndex", false)}},
    };
    return ReportSave(m_messages, SaveChangedSettings(m_files, rows), "设置成功，重起Apache生效。");
}

} // namespace larkspan
