#pragma once

#include "config/file_batch.h"
#include "safety/settings_history.h"

#include <string_view>

namespace larkspan {

/// Replaces the files of `batch` once their present bytes are recorded in `history` under
/// `dialog`: a record that fails stops the save before any file changes, and a commit that fails
/// takes its record back. The history is tidied afterwards, on its own thread. A failure's
/// message is the reason, naming the folder or file.
Status CommitWithHistory(FileBatch& batch, SettingsHistory& history, std::string_view dialog);
/// CommitWithHistory even for a batch that changes nothing; `takesBack` names what an undo or a
/// redo takes back (empty for a save).
Status CommitRecorded(
    FileBatch& batch, SettingsHistory& history, std::string_view dialog, TakesBack takesBack);
/// CommitWithHistory with the record staged already from the batch's files (FilesBeforeSave), for
/// a save that wrote it while its check ran. Only publishing it remains before the files change.
Status CommitStaged(FileBatch& batch, SettingsHistory& history, StagedEntry& staged);

} // namespace larkspan
