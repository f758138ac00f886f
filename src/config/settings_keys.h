#pragma once

#include <string_view>

namespace larkspan {

/// The panel's own settings file, named relative to AppDir.
inline constexpr std::string_view kSettingsFile = "Larkspan.ini";

/// Every key of Larkspan.ini, in one place: the dialogs and the launch commands read and write
/// only these.
struct SettingsKey
{
    std::string_view section;
    std::string_view key;
};

namespace keys {
inline constexpr SettingsKey ApacheListen {"Apache", "Listen"};
inline constexpr SettingsKey ApacheServerAdmin {"Apache", "ServerAdmin"};
inline constexpr SettingsKey ApacheServerName {"Apache", "ServerName"};
inline constexpr SettingsKey ApacheDocumentRoot {"Apache", "DocumentRoot"};
inline constexpr SettingsKey ApacheDirectoryIndex {"Apache", "DirectoryIndex"};

inline constexpr SettingsKey PhpShortOpenTag {"PHP", "short_open_tag"};
inline constexpr SettingsKey PhpOutputBuffering {"PHP", "output_buffering"};
inline constexpr SettingsKey PhpSafeMode {"PHP", "safe_mode"};
inline constexpr SettingsKey PhpDisplayErrors {"PHP", "display_errors"};
inline constexpr SettingsKey PhpRegisterGlobals {"PHP", "register_globals"};
inline constexpr SettingsKey PhpMaxExecutionTime {"PHP", "max_execution_time"};
inline constexpr SettingsKey PhpUploadMaxFilesize {"PHP", "upload_max_filesize"};

inline constexpr SettingsKey MySqlPort {"MySQL", "port"};
inline constexpr SettingsKey MySqlMaxConnections {"MySQL", "max_connections"};
inline constexpr SettingsKey MySqlStorageEngine {"MySQL", "default-storage-engine"};
inline constexpr SettingsKey MySqlCharacterSet {"MySQL", "default-character-set"};
} // namespace keys

} // namespace larkspan
