#pragma once

#include "config/file_batch.h"
#include "config/status.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace larkspan {

/// One file of a recorded save and what it held before the save.
struct HistoryFile
{
    std::string path; ///< as the save named it
    bool existed = false;
    std::string bytes; ///< what it held; from SettingsHistory::Load, or for SettingsHistory::Stage
    /// What the save left in it: the SHA-256 of its new bytes (Sha256Hex), empty when the save
    /// removed it; nullopt when the entry does not say (entries of older versions).
    std::optional<std::string> after;
};

/// What every file the batch would change holds now and will hold after it, to be recorded
/// before the batch commits.
std::vector<HistoryFile> FilesBeforeSave(const FileBatch& batch);

/// Which entry an undo or a redo takes back; both empty for a save.
struct TakesBack
{
    std::string_view undoes; ///< the save an undo undoes
    std::string_view redoes; ///< the undo a redo (恢复) takes back
};

class SettingsHistory;

/// An entry built completely beside the history but not yet among its entries. Dropped
/// unpublished, it is removed.
class StagedEntry final
{
public:
    StagedEntry() = default;
    ~StagedEntry();
    StagedEntry(const StagedEntry&) = delete;
    StagedEntry& operator=(const StagedEntry&) = delete;

    /// Removes the entry unless it was published.
    void Discard();

private:
    friend class SettingsHistory;
    SettingsHistory* m_history = nullptr;
    std::string m_folder; ///< native; empty when there is nothing to remove
    std::string m_stamp; ///< the time part of its name
};

/// One save of the panel, as the history keeps it.
struct HistoryEntry
{
    std::string name; ///< its folder's name; the number at its end orders the entries
    unsigned long long sequence = 0;
    std::string time; ///< local time of the save, "2026-12-07 09:49:01"
    std::string dialog; ///< what saved ("Apache设置")
    std::string undoes; ///< for an undo, the name of the entry it undid; empty otherwise
    std::string redoes; ///< for a redo, the name of the undo it took back; empty otherwise
    std::vector<HistoryFile> files;
    std::string problem; ///< why the entry cannot be read; empty when it can
};

/// The history of saves in a folder of the bundle: one folder per save, named
/// "<yyyymmdd>-<hhmmss>-<number>", holding the previous bytes of every file the save replaced
/// and a small manifest. An entry appears whole or not at all; the newest `keep` entries are
/// kept. Only folders of that name holding a valid manifest and nothing else are ever removed,
/// and a history folder that is a link is refused.
///
/// Stage may run on another thread than the other members, one stage per thread at a time. The
/// oldest entries are removed on a thread of the history's own (TidyLater).
class SettingsHistory final
{
public:
    /// `appDir` as ConfigFiles gives it; paths under it are recorded relative to it, so a moved
    /// bundle undoes its own files. The history lives in AppDir/history.
    explicit SettingsHistory(std::string appDir, std::size_t keep = 20);
    /// Stops tidying under way; what it leaves is removed by the next.
    ~SettingsHistory();
    SettingsHistory(const SettingsHistory&) = delete;
    SettingsHistory& operator=(const SettingsHistory&) = delete;

    /// The native path of the history folder.
    const std::string& folder() const { return m_folder; }

    /// Records what every file the batch would change holds now: Stage, then Publish.
    Status Record(const FileBatch& batch, std::string_view dialog, TakesBack takesBack, std::string& name);
    /// Writes the entry of `files` (their bytes before the save) completely and durably beside the
    /// entries, where List does not see it. `dialog` names what saves; `takesBack` what an undo or
    /// a redo takes back. Fails, naming the folder and the reason, when the entry cannot be written
    /// completely; nothing is left behind then.
    Status Stage(const std::vector<HistoryFile>& files, std::string_view dialog, TakesBack takesBack,
        StagedEntry& staged);
    /// Makes a staged entry the newest entry, durably; `name` is its name then. Fails, naming the
    /// folder and the reason; the staged entry stays unpublished then.
    Status Publish(StagedEntry& staged, std::string& name);
    /// Takes back an entry whose save did not happen.
    Status Discard(std::string_view name);
    /// Removes, on the history's own thread, the leftovers of saves and removals cut short and the
    /// oldest entries beyond the number kept. Returns at once: a save asks for it when it is done.
    void TidyLater();
    /// Waits until no tidying is asked for or under way.
    void WaitUntilTidy();
    /// Tidies on the calling thread until done or `stop` is requested.
    Status Tidy(std::stop_token stop = {});
    /// The newest entries, as many as are kept, oldest first, without the files' bytes; a missing
    /// history is empty.
    Status List(std::vector<HistoryEntry>& entries) const;
    /// One entry with the files' bytes.
    Status Load(std::string_view name, HistoryEntry& entry) const;

private:
    friend class StagedEntry;
    /// Fails, naming the folder, when the history folder is a link.
    Status RefuseLinkedFolder() const;
    /// Reads the entry `name`; `stored`, when given, receives the names of its files' copies.
    Status ReadEntry(std::string_view name, bool withBytes, HistoryEntry& entry,
        std::vector<std::string>* stored = nullptr) const;
    /// Whether the folder of the entry `name` holds its manifest and the copies `stored`, and
    /// nothing else.
    bool HoldsOnlyItsFiles(std::string_view name, const std::vector<std::string>& stored) const;
    /// Removes the leftovers of saves and removals cut short.
    void RemoveLeftovers();
    /// The names of the entries beyond the number kept, oldest first.
    Status OldestEntries(std::vector<std::string>& oldest) const;
    /// Renames the entry `name` away from among the others, claimed, when it is an entry as a
    /// whole; its new path, or nullopt when it stays.
    std::optional<std::string> RenameAway(const std::string& name);
    /// Claims `name` in the history folder against RemoveLeftovers of another thread; false when
    /// it is claimed already.
    bool Claim(const std::string& name);
    void Release(const std::string& name);
    void Unstage(StagedEntry& staged);
    void TidyLoop(std::stop_token stop);

    std::string m_appDir;
    std::string m_folder;
    std::size_t m_keep;
    std::mutex m_claimsMutex;
    std::set<std::string> m_claims; ///< names of folders being built or removed
    /// Held while the entries are listed, read, added or renamed away.
    mutable std::mutex m_entriesMutex;
    std::mutex m_tidyMutex;
    std::condition_variable_any m_tidyChanged;
    bool m_tidyWanted = false;
    bool m_tidying = false;
    std::jthread m_tidier; ///< last: stopped and joined before the members it uses go
};

} // namespace larkspan
