#pragma once

#include "file_batch.h"
#include "status.h"

#include <string>
#include <string_view>
#include <vector>

namespace larkspan {

/// One file of a recorded save and what it held before the save.
struct HistoryFile
{
    std::string path; ///< as the save named it
    bool existed = false;
    std::string bytes; ///< loaded by SettingsHistory::Load only
};

/// One save of the panel, as the history keeps it.
struct HistoryEntry
{
    std::string name; ///< its folder's name; the number at its end orders the entries
    unsigned long long sequence = 0;
    std::string time; ///< local time of the save, "2026-12-07 09:49:01"
    std::string dialog; ///< what saved ("Apache设置")
    std::string undoes; ///< for an undo, the name of the entry it undid; empty for a save
    std::vector<HistoryFile> files;
    std::string problem; ///< why the entry cannot be read; empty when it can
};

/// The history of saves in a folder of the bundle: one folder per save holding the previous bytes
/// of every file the save replaced and a small manifest. An entry appears whole or not at all;
/// the newest `keep` entries are kept.
class SettingsHistory final
{
public:
    /// `appDir` as ConfigFiles gives it; paths under it are recorded relative to it, so a moved
    /// bundle undoes its own files. The history lives in AppDir/history.
    explicit SettingsHistory(std::string appDir, std::size_t keep = 20);

    /// The native path of the history folder.
    const std::string& folder() const { return m_folder; }

    /// Records what every file the batch would change holds now. `dialog` names what saves;
    /// `undoes` names the entry an undo undoes (empty for a save). Fails, naming the folder and
    /// the reason, when the entry cannot be written completely; nothing is left behind then.
    Status Record(
        const FileBatch& batch, std::string_view dialog, std::string_view undoes, std::string& name);
    /// Takes back an entry whose save did not happen.
    Status Discard(std::string_view name);
    /// Removes the oldest entries beyond the number kept.
    Status Trim();
    /// The entries, oldest first, without the files' bytes; a missing history is empty.
    Status List(std::vector<HistoryEntry>& entries) const;
    /// One entry with the files' bytes.
    Status Load(std::string_view name, HistoryEntry& entry) const;

private:
    Status ReadEntry(std::string_view name, bool withBytes, HistoryEntry& entry) const;

    std::string m_appDir;
    std::string m_folder;
    std::size_t m_keep;
};

} // namespace larkspan
