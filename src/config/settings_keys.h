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
inline constexpr SettingsKey kApacheListen {"Apache", "Listen"};
inline constexpr SettingsKey kApacheServerAdmin {"Apache", "ServerAdmin"};
inline constexpr SettingsKey kApacheServerName {"Apache", "ServerName"};
inline constexpr SettingsKey kApacheDocumentRoot {"Apache", "DocumentRoot"};
inline constexpr SettingsKey kApacheDirectoryIndex {"Apache", "DirectoryIndex"};

inline constexpr SettingsKey kPhpShortOpenTag {"PHP", "short_open_tag"};
inline constexpr SettingsKey kPhpOutputBuffering {"PHP", "output_buffering"};
inline constexpr SettingsKey kPhpSafeMode {"PHP", "safe_mode"};
inline constexpr SettingsKey kPhpDisplayErrors {"PHP", "display_errors"};
inline constexpr SettingsKey kPhpRegisterGlobals {"PHP", "register_globals"};
inline constexpr SettingsKey kPhpMaxExecutionTime {"PHP", "max_execution_time"};
inline constexpr SettingsKey kPhpUploadMaxFilesize {"PHP", "upload_max_filesize"};

inline constexpr SettingsKey kMySqlPort {"MySQL", "port"};
inline constexpr SettingsKey kMySqlMaxConnections {"MySQL", "max_connections"};
inline constexpr SettingsKey kMySqlStorageEngine {"MySQL", "default-storage-engine"};
inline constexpr SettingsKey kMySqlCharacterSet {"MySQL", "default-character-set"};
} // namespace keys

} // namespace larkspan
