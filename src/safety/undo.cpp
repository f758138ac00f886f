#include "safety/undo.h"

#include "config/bundle_paths.h"
#include "config/ini.h"
#include "config/native_path.h"
#include "config/settings_keys.h"
#include "safety/content_digest.h"
#include "safety/history_commit.h"
#include "safety/server_check.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <optional>
#include <set>

namespace larkspan {

namespace {

enum class Direction { Undo, Redo };

UndoOutcome Failed(Direction direction, const std::string& reason)
{
    return {UndoOutcome::Kind::Failed,
        direction == Direction::Undo ? catalogue::UndoFailed(reason) : catalogue::RedoFailed(reason), {}};
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

// A path as a comparison sees it: one separator, and no empty, "." or ".." components, whichever
// way it was spelt.
std::string Normalised(std::string_view path)
{
    std::vector<std::string_view> parts;
    const bool rooted = !path.empty() && (path.front() == '\\' || path.front() == '/');
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!rooted)
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string normalised = rooted ? "\\" : "";
    for (std::size_t i = 0; i < parts.size(); ++i)
        normalised += (i == 0 ? "" : "\\") + std::string(parts[i]);
    return normalised;
}

// Every file a save of the panel writes: the settings dialogs' and the site editor's files in
// the bundle; in the site folder, the phpinfo page and phpMyAdmin's settings (its password).
std::set<std::string> FilesSavesWrite(ConfigFiles& files)
{
    const std::string& appDir = files.AppDir();
    std::set<std::string> written {Normalised(ResolveIniPath(kSettingsFile, appDir)),
        Normalised(InBundle(appDir, paths::kHttpdConf)), Normalised(InBundle(appDir, paths::kVhostsConf)),
        Normalised(InBundle(appDir, paths::kPhpIni)), Normalised(InBundle(appDir, paths::kMyIni))};
    const std::string documentRoot
        = files.IniRead(keys::kApacheDocumentRoot.section, keys::kApacheDocumentRoot.key, "", kSettingsFile);
    if (!documentRoot.empty()) {
        for (const std::string_view file :
            {paths::kPhpInfoFile, paths::kPhpMyAdminLocalConfig, paths::kPhpMyAdminConfig})
            written.insert(Normalised(InBundle(documentRoot, file)));
    }
    return written;
}

enum class LaterChange { None, Made, Unknown };

// Whether restoring `file` discards a change made after its entry was written: the file holds
// neither what the entry's save left in it nor what restoring it writes.
LaterChange LaterChangeOf(ConfigFiles& files, const HistoryFile& file)
{
    std::string now;
    bool missing = false;
    const Status read = files.ReadFile(file.path, now, missing);
    if (!read.ok() && !missing)
        return LaterChange::None; // the restore's own read reports it
    const bool present = read.ok();
    if (present == file.existed && (!present || now == file.bytes))
        return LaterChange::None;
    if (!file.after)
        return LaterChange::Unknown;
    const bool asLeft = file.after->empty() ? !present : present && Sha256Hex(now) == *file.after;
    return asLeft ? LaterChange::None : LaterChange::Made;
}

std::string Joined(const std::vector<std::string>& paths)
{
    std::string joined;
    for (const std::string& path : paths)
        joined += (joined.empty() ? "" : "、") + path;
    return joined;
}

// The newest entry an undo (or a redo) takes back, or null when there is none; fails with the
// problem of a damaged entry in the way. An undo takes back the newest save whose undo was not
// itself taken back; a redo the newest undo not taken back, unless a save came after it.
Status FindTarget(const std::vector<HistoryEntry>& entries, Direction direction, const HistoryEntry*& target)
{
    target = nullptr;
    std::set<std::string> redone;
    for (const HistoryEntry& entry : entries) {
        if (!entry.redoes.empty())
            redone.insert(entry.redoes);
    }
    std::set<std::string> undone;
    for (const HistoryEntry& entry : entries) {
        if (!entry.undoes.empty() && redone.count(entry.name) == 0)
            undone.insert(entry.undoes);
    }
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        // A damaged entry may be the one to take back, or one that says which is taken back.
        if (!entry->problem.empty())
            return Status::Failure(entry->problem);
        const bool save = entry->undoes.empty() && entry->redoes.empty();
        if (direction == Direction::Undo && save && undone.count(entry->name) == 0) {
            target = &*entry;
            break;
        }
        if (direction == Direction::Redo) {
            if (save)
                break;
            if (!entry->undoes.empty() && redone.count(entry->name) == 0) {
                target = &*entry;
                break;
            }
        }
    }
    return Status::Success();
}

UndoOutcome TakeBack(
    ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages, Direction direction)
{
    const bool undo = direction == Direction::Undo;
    std::vector<HistoryEntry> entries;
    if (Status listed = history.List(entries); !listed.ok())
        return Failed(direction, listed.message());
    const HistoryEntry* target = nullptr;
    if (Status found = FindTarget(entries, direction, target); !found.ok())
        return Failed(direction, found.message());
    if (target == nullptr) {
        return {UndoOutcome::Kind::Nothing,
            std::string(undo ? catalogue::kNothingToUndo : catalogue::kNothingToRedo), {}};
    }

    HistoryEntry entry;
    if (Status loaded = history.Load(target->name, entry); !loaded.ok())
        return Failed(direction, loaded.message());
    // Whoever can write in the history folder must not be able to write anywhere else through it.
    const std::set<std::string> writable = FilesSavesWrite(files);
    for (const HistoryFile& file : entry.files) {
        if (writable.count(Normalised(file.path)) == 0) {
            return Failed(direction,
                catalogue::NotWrittenBySaves(history.folder() + "/" + entry.name, NativePath(file.path)));
        }
    }

    std::vector<std::string> changed;
    std::vector<std::string> unknown;
    for (const HistoryFile& file : entry.files) {
        const LaterChange later = LaterChangeOf(files, file);
        if (later != LaterChange::None)
            (later == LaterChange::Made ? changed : unknown).push_back(NativePath(file.path));
    }
    if (!changed.empty() || !unknown.empty()) {
        const std::string question = undo
            ? catalogue::ConfirmUndoDiscarding(entry.dialog, entry.time, Joined(changed), Joined(unknown))
            : catalogue::ConfirmRedoDiscarding(entry.dialog, entry.time, Joined(changed), Joined(unknown));
        if (!messages.Confirm(question))
            return {UndoOutcome::Kind::Cancelled, {}, {}};
    }

    // Composed after the answer, from the files as they are then: whatever they hold is what the
    // record of this undo keeps, for a redo to bring back.
    FileBatch batch(files);
    for (HistoryFile& file : entry.files) {
        if (Status restored
            = batch.Restore(file.path, file.existed ? std::optional(std::move(file.bytes)) : std::nullopt);
            !restored.ok())
            return Failed(direction, restored.message());
    }
    // Recorded even when the files already hold the bytes: the entry counts as taken back.
    const TakesBack takesBack = undo ? TakesBack {entry.name, {}} : TakesBack {{}, entry.name};
    if (Status committed = CommitRecorded(batch, history, entry.dialog, takesBack); !committed.ok())
        return Failed(direction, committed.message());
    const std::string servers = ServersToRestart(files.AppDir(), entry.files);
    if (undo) {
        return {UndoOutcome::Kind::Done, catalogue::Undone(entry.dialog, entry.time, servers),
            catalogue::LogUndone(entry.dialog)};
    }
    return {UndoOutcome::Kind::Done, catalogue::Redone(entry.dialog, entry.time, servers),
        catalogue::LogRedone(entry.dialog)};
}

void Report(const UndoOutcome& outcome, MessageBoxes& messages,
    const std::function<void(std::string_view message)>& log)
{
    if (outcome.kind == UndoOutcome::Kind::Done && log)
        log(outcome.logMessage);
    if (outcome.kind != UndoOutcome::Kind::Cancelled)
        messages.Inform(outcome.message);
}

} // namespace

UndoOutcome UndoLastSave(ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages)
{
    return TakeBack(files, history, messages, Direction::Undo);
}

UndoOutcome RedoLastUndo(ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages)
{
    return TakeBack(files, history, messages, Direction::Redo);
}

// A few small files (the manifests bounded, the oldest entries removed on the history's own
// thread) and no checker: quick enough for the window's thread.
void UndoLastSaveCommand(ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages,
    const std::function<void(std::string_view message)>& log)
{
    Report(UndoLastSave(files, history, messages), messages, log);
}

void RedoLastUndoCommand(ConfigFiles& files, SettingsHistory& history, MessageBoxes& messages,
    const std::function<void(std::string_view message)>& log)
{
    Report(RedoLastUndo(files, history, messages), messages, log);
}

} // namespace larkspan
