#pragma once

#include "dialogs/settings_dialog_logic.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

/// The MySQL settings group's fields; a list with no selection holds the empty text.
struct MySqlFields
{
    std::string port;
    std::string connections;
    std::string engine;
    std::string character;
    bool operator==(const MySqlFields&) const = default;
};

inline constexpr std::array<std::string_view, 2> kStorageEngines {"INNODB", "MyISAM"};
inline constexpr std::array<std::string_view, 4> kCharacterSets {"utf8", "gb2312", "gbk", "latin1"};

/// Loading and saving of the MySQL settings: Larkspan.ini [MySQL] is the record, my.ini only
/// receives single keys.
class MySqlSettings final : public SettingsDialogLogic
{
public:
    /// Without `checked`, a save is written at once; with it, the servers check it first.
    MySqlSettings(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
        CheckedSave* checked = nullptr);

    /// Reads Larkspan.ini afresh. The engine shows "INNODB" only for that exact text; a character
    /// set that is none of the list's entries shows as no selection (the empty text).
    MySqlFields Load();
    /// Checks the numbers, writes what changed and tells the user. Returns whether the dialog may
    /// close.
    bool Save(const MySqlFields& fields);

private:
    struct Loaded
    {
        ShownText port, connections, engine, character;
    };

    Loaded m_loaded;
};

} // namespace larkspan
