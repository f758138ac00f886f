#include "safety/history_commit.h"

namespace larkspan {

Status CommitRecorded(
    FileBatch& batch, SettingsHistory& history, std::string_view dialog, TakesBack takesBack)
{
    StagedEntry staged;
    if (Status recorded = history.Stage(FilesBeforeSave(batch), dialog, takesBack, staged); !recorded.ok())
        return recorded;
    return CommitStaged(batch, history, staged);
}

Status CommitStaged(FileBatch& batch, SettingsHistory& history, StagedEntry& staged)
{
    std::string entry;
    if (Status published = history.Publish(staged, entry); !published.ok())
        return published;
    if (Status committed = batch.Commit(); !committed.ok()) {
        // When some files could not be put back, the record holds their old bytes: it stays, so
        // that an undo can still restore them.
        if (!batch.partlyCommitted())
            (void)history.Discard(entry);
        return committed;
    }
    // Housekeeping only, beside the window: the save is done, and the next one tidies again.
    history.TidyLater();
    return Status::Success();
}

Status CommitWithHistory(FileBatch& batch, SettingsHistory& history, std::string_view dialog)
{
    if (!batch.Changed())
        return Status::Success();
    return CommitRecorded(batch, history, dialog, {});
}

} // namespace larkspan
