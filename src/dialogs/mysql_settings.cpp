#include "dialogs/mysql_settings.h"

#include "config/bundle_paths.h"
#include "config/mysql_options.h"
#include "config/settings_keys.h"
#include "dialogs/setting_rows.h"
#include "texts/catalogue.h"

#include <algorithm>

namespace larkspan {

MySqlSettings::MySqlSettings(
    ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage, CheckedSave* checked)
    : SettingsDialogLogic(
        files, messages, codePage, checked, paths::kMyIni, "MySQL设置", catalogue::kMySqlSaved)
{ }

MySqlFields MySqlSettings::Load()
{
    const Record read = LoadRecord();
    m_loaded.port = read(keys::kMySqlPort);
    m_loaded.character = read(keys::kMySqlCharacterSet);
    m_loaded.engine = read(keys::kMySqlStorageEngine);
    m_loaded.connections = read(keys::kMySqlMaxConnections);

    const std::string& character = m_loaded.character.text;
    const bool listed
        = std::find(kCharacterSets.begin(), kCharacterSets.end(), character) != kCharacterSets.end();
    return {m_loaded.port.text, m_loaded.connections.text,
        std::string(m_loaded.engine.text == kStorageEngines[0] ? kStorageEngines[0] : kStorageEngines[1]),
        listed ? character : std::string()};
}

bool MySqlSettings::Save(const MySqlFields& fields)
{
    if (!CheckNumber(fields.port, catalogue::kMySqlPortNotANumber, catalogue::kMySqlPortNotWhole))
        return false;
    if (!CheckNumber(fields.connections, catalogue::kConnectionsNotANumber, catalogue::kConnectionsNotWhole))
        return false;

    const auto myIni = [this](std::string_view section, std::string_view key) {
        return [this, section, key](FileBatch& batch, const std::string& value) {
            return batch.SetIniKey(serverFile(), section, key, value);
        };
    };
    std::vector<SettingRow> rows {
        {"端口", keys::kMySqlPort, m_loaded.port, fields.port,
            {myIni("client", "port"), myIni("mysqld", "port")}},
        {"最大连接数", keys::kMySqlMaxConnections, m_loaded.connections, fields.connections,
            {myIni("mysqld", "max_connections")}},
        {"数据库引擎", keys::kMySqlStorageEngine, m_loaded.engine, fields.engine,
            {myIni("mysqld", "default-storage-engine")}},
    };
    // The server's own name for the option is character-set-server: default-character-set in
    // [mysqld] stops current servers from starting, so an old line of it goes.
    const auto dropStaleCharacterSet = [this](FileBatch& batch, const std::string&) {
        return batch.Edit(serverFile(), [](std::string_view content) {
            return WithoutOptionLines(content, "mysqld", "default-character-set")
                .value_or(std::string(content));
        });
    };
    // No selection (nothing stored, or a set the list does not offer) leaves the character-set
    // entries as they are rather than writing an empty value.
    if (!fields.character.empty())
        rows.push_back({"字符集", keys::kMySqlCharacterSet, m_loaded.character, fields.character,
            {myIni("mysql", "default-character-set"), myIni("mysqld", "character-set-server"),
                dropStaleCharacterSet}});
    return SaveRows(rows);
}

} // namespace larkspan
