#pragma once

#include "config/config_files.h"
#include "safety/settings_history.h"
#include "ui/message_boxes.h"

#include <functional>
#include <string>
#include <string_view>

namespace larkspan {

/// How an undo ended, with the message for the user and, after an undo, the event-log message.
struct UndoOutcome
{
    enum class Kind { Undone, NothingToUndo, Failed };
    Kind kind = Kind::Failed;
    std::string message;
    std::string logMessage; ///< ends in the log's four blanks; empty unless undone
};

/// Puts every file of the newest save not yet undone back as it was before that save, all or
/// none; a file the save created is removed. The undo is itself recorded, holding the bytes it
/// replaced, and it marks that save as undone: the next undo goes one save further back, and a
/// new save is undone before older ones. Undos are never undone themselves.
UndoOutcome UndoLastSave(ConfigFiles& files, SettingsHistory& history);

/// The main window's undo command: UndoLastSave, then the event-log line (after an undo) and the
/// outcome shown to the user.
void UndoLastSaveCommand(ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages,
    const std::function<void(std::string_view message)>& log);

} // namespace larkspan
