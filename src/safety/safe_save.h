#pragma once

#include "config_files.h"
#include "file_batch.h"
#include "messages.h"
#include "settings_history.h"

#include <functional>
#include <string>
#include <string_view>

namespace larkspan {

/// Replaces the files of `batch` once their present bytes are recorded in `history` under
/// `dialog`: a record that fails stops the save before any file changes, and a commit that fails
/// takes its record back. The history is trimmed afterwards. A failure's message is the reason,
/// naming the folder or file.
Status CommitWithHistory(FileBatch& batch, SettingsHistory& history, std::string_view dialog);
/// CommitWithHistory with the record staged already from the batch's files (FilesBeforeSave), for
/// a save that wrote it while its check ran. Only publishing it remains before the files change.
Status CommitStaged(FileBatch& batch, SettingsHistory& history, StagedEntry& staged);

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
