#include "safe_save.h"

#include "catalogue.h"
#include "server_check.h"

#include <algorithm>
#include <set>

namespace larkspan {

namespace {

Status CommitRecorded(
    FileBatch& batch, SettingsHistory& history, std::string_view dialog, std::string_view undoes)
{
    StagedEntry staged;
    if (Status recorded = history.Stage(FilesBeforeSave(batch), dialog, undoes, staged); !recorded.ok())
        return recorded;
    return CommitStaged(batch, history, staged);
}

UndoOutcome Failed(std::string reason)
{
    return {UndoOutcome::Kind::Failed, catalogue::UndoFailed(reason), {}};
}

// The servers that read the restored files, as a restart must name them; PHP runs inside Apache.
std::string ServersToRestart(const std::string& appDir, const std::vector<HistoryFile>& files)
{
    std::vector<CheckedServer> servers;
    for (const HistoryFile& file : files) {
        std::optional<CheckedServer> server = ServerOfFile(appDir, file.path);
        if (server == CheckedServer::Php)
            server = CheckedServer::Apache;
        if (server && std::find(servers.begin(), servers.end(), *server) == servers.end())
            servers.push_back(*server);
    }
    std::sort(servers.begin(), servers.end());
    std::string names;
    for (const CheckedServer server : servers)
        names += (names.empty() ? "" : "和") + std::string(ServerName(server));
    return names;
}

} // namespace

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
    // Housekeeping only: the save is done, and the next one trims again.
    (void)history.Trim();
    return Status::Success();
}

Status CommitWithHistory(FileBatch& batch, SettingsHistory& history, std::string_view dialog)
{
    if (!batch.Changed())
        return Status::Success();
    return CommitRecorded(batch, history, dialog, {});
}

UndoOutcome UndoLastSave(ConfigFiles& files, SettingsHistory& history)
{
    std::vector<HistoryEntry> entries;
    if (Status listed = history.List(entries); !listed.ok())
        return Failed(listed.message());
    std::set<std::string> undone;
    for (const HistoryEntry& entry : entries) {
        if (!entry.undoes.empty())
            undone.insert(entry.undoes);
    }
    const HistoryEntry* target = nullptr;
    for (auto entry = entries.rbegin(); entry != entries.rend() && target == nullptr; ++entry) {
        // A damaged entry may be the save to undo, or an undo that says which one is done.
        if (!entry->problem.empty())
            return Failed(entry->problem);
        if (entry->undoes.empty() && undone.count(entry->name) == 0)
            target = &*entry;
    }
    if (target == nullptr)
        return {UndoOutcome::Kind::NothingToUndo, std::string(catalogue::kNothingToUndo), {}};

    HistoryEntry save;
    if (Status loaded = history.Load(target->name, save); !loaded.ok())
        return Failed(loaded.message());
    FileBatch batch(files);
    for (HistoryFile& file : save.files) {
        if (Status restored
            = batch.Restore(file.path, file.existed ? std::optional(std::move(file.bytes)) : std::nullopt);
            !restored.ok())
            return Failed(restored.message());
    }
    // Recorded even when the files already hold the old bytes: the save counts as undone.
    if (Status committed = CommitRecorded(batch, history, save.dialog, save.name); !committed.ok())
        return Failed(committed.message());
    return {UndoOutcome::Kind::Undone,
        catalogue::Undone(save.dialog, save.time, ServersToRestart(files.AppDir(), save.files)),
        catalogue::LogUndone(save.dialog)};
}

void UndoLastSaveCommand(ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages,
    const std::function<void(std::string_view message)>& log)
{
    // A few small files and no checker: quick enough for the window's thread.
    const UndoOutcome outcome = UndoLastSave(files, history);
    if (outcome.kind == UndoOutcome::Kind::Undone && log)
        log(outcome.logMessage);
    messages.Inform(outcome.message);
}

} // namespace larkspan
