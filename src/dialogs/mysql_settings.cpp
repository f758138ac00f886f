#include "mysql_settings.h"

#include "settings_keys.h"
#include "settings_writer.h"
#include "text_lines.h"

#include <algorithm>

namespace larkspan {

namespace {

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string OptionName(std::string_view name)
{
    std::string result(name);
    for (char& c : result)
        c = c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

} // namespace

std::optional<std::string> WithoutOptionLines(
    std::string_view content, std::string_view section, std::string_view key)
{
    const std::string wantedSection = OptionName(section);
    const std::string wantedKey = OptionName(key);
    std::string result;
    bool inSection = false;
    bool removed = false;
    ForEachLine(content, [&](const TextLine& line) {
        const std::string_view text = Trim(content.substr(line.begin, line.textEnd - line.begin));
        if (text.starts_with('[') && text.find(']') != std::string_view::npos) {
            inSection = OptionName(Trim(text.substr(1, text.find(']') - 1))) == wantedSection;
        } else if (inSection && !text.starts_with(';') && !text.starts_with('#')
            && OptionName(Trim(text.substr(0, text.find('=')))) == wantedKey) {
            removed = true;
            return;
        }
        result.append(content.substr(line.begin, line.end - line.begin));
    });
    if (!removed)
        return std::nullopt;
    return result;
}

MySqlSettings::MySqlSettings(ConfigFiles& files, MessageBoxes& messages)
    : m_files(files)
    , m_messages(messages)
{ }

MySqlFields MySqlSettings::Load()
{
    m_optionPath = m_files.AppDir() + "\\MySQL\\my.ini";
    ReportUnreadableSettings(m_files, m_messages);
    const auto read
        = [this](const SettingsKey& key) { return m_files.IniRead(key.section, key.key, "", kSettingsFile); };
    m_loaded.port = read(keys::MySqlPort);
    m_loaded.character = read(keys::MySqlCharacterSet);
    m_loaded.engine = read(keys::MySqlStorageEngine);
    m_loaded.connections = read(keys::MySqlMaxConnections);

    MySqlFields shown = m_loaded;
    shown.engine = m_loaded.engine == kStorageEngines[0] ? kStorageEngines[0] : kStorageEngines[1];
    const bool listed
        = std::find(kCharacterSets.begin(), kCharacterSets.end(), m_loaded.character) != kCharacterSets.end();
    shown.character = listed ? m_loaded.character : std::string();
    return shown;
}

bool MySqlSettings::Save(const MySqlFields& fields)
{
    if (!CheckWholeNumber(m_messages, fields.port, "MySQL端口请填数字！", "MySQL端口请填正整数！"))
        return false;
    if (!CheckWholeNumber(
            m_messages, fields.connections, "MySQL最大连接数请填数字！", "MySQL最大连接数请填正整数！"))
        return false;

    const auto myIni = [this](std::string_view section, std::string_view key) {
        return [this, section, key](
                   const std::string& value) { return m_files.IniWrite(section, key, value, m_optionPath); };
    };
    std::vector<SettingRow> rows {
        {keys::MySqlPort, m_loaded.port, fields.port, {myIni("client", "port"), myIni("mysqld", "port")}},
        {keys::MySqlMaxConnections, m_loaded.connections, fields.connections,
            {myIni("mysqld", "max_connections")}},
        {keys::MySqlStorageEngine, m_loaded.engine, fields.engine,
            {myIni("mysqld", "default-storage-engine")}},
    };
    // The server's own name for the option is character-set-server: default-character-set in
    // [mysqld] stops current servers from starting, so an old line of it goes.
    const auto dropStaleCharacterSet = [this](const std::string&) {
        std::string content;
        if (!m_files.Exists(m_optionPath))
            return Status::Ok();
        if (auto status = m_files.ReadFile(m_optionPath, content); !status.ok())
            return status;
        const auto cleaned = WithoutOptionLines(content, "mysqld", "default-character-set");
        return cleaned ? m_files.WriteTextFile(m_optionPath, *cleaned) : Status::Ok();
    };
    // No selection (nothing stored, or a set the list does not offer) leaves the character-set
    // entries as they are rather than writing an empty value.
    if (!fields.character.empty())
        rows.push_back({keys::MySqlCharacterSet, m_loaded.character, fields.character,
            {myIni("mysql", "default-character-set"), myIni("mysqld", "character-set-server"),
                dropStaleCharacterSet}});
    return ReportSave(m_messages, SaveChangedSettings(m_files, rows), "设置成功，重起MSQL生效。");
}

} // namespace larkspan
