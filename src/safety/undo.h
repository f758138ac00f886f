#pragma once

#include "config/config_files.h"
#include "safety/settings_history.h"
#include "ui/message_boxes.h"

#include <functional>
#include <string>
#include <string_view>

namespace larkspan {

/// How an undo or a redo ended, with the message for the user and the event-log message.
struct UndoOutcome
{
    enum class Kind { Done, Nothing, Cancelled, Failed };
    Kind kind = Kind::Failed;
    std::string message; ///< empty when cancelled
    std::string logMessage; ///< ends in the log's four blanks; empty unless done
};

/// Puts every file of the newest save not yet undone back as it was before that save, all or
/// none; a file the save created is removed. A file that no longer holds what the save wrote is
/// named in a confirmation first (a save recorded by an older version, which did not keep what
/// it wrote, names every file the undo changes), and Cancel writes nothing. Only the files a
/// save of the panel writes are restored (the bundle's settings files; in the site folder, the
/// phpinfo page and phpMyAdmin's settings): an entry naming any other refuses the undo. The undo is itself
/// recorded, holding the bytes it replaced, and marks that save as undone: the next undo goes one save
/// further back, and a new save is undone before older ones.
UndoOutcome UndoLastSave(ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages);

/// Takes back the newest undo not taken back yet, unless a save came after it: every file the
/// undo replaced gets back what it held just before the undo, hand edits included, with the
/// same confirmation and limits as an undo. Recorded too: the save that undo undid counts as
/// not undone again.
UndoOutcome RedoLastUndo(ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages);

/// The main window's undo command: UndoLastSave, then the event-log line (when done) and the
/// outcome shown to the user (nothing after a Cancel).
void UndoLastSaveCommand(ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages,
    const std::function<void(std::string_view message)>& log);
/// The main window's redo command ("恢复上次撤销"), as UndoLastSaveCommand.
void RedoLastUndoCommand(ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages,
    const std::function<void(std::string_view message)>& log);

} // namespace larkspan
