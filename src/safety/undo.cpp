#include "safety/undo.h"

#include "safety/history_commit.h"
#include "safety/server_check.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <set>

namespace larkspan {

namespace {

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
