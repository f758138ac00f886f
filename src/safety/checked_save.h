#pragma once

#include "config/file_batch.h"
#include "platform/background_tasks.h"
#include "safety/server_check.h"
#include "safety/settings_history.h"
#include "ui/message_boxes.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace larkspan {

/// What every checked save of the panel shares: the bundle's checkers, the history of saves, and
/// the main window's event log.
struct SafeSaveServices
{
    ServerChecker& checker;
    SettingsHistory& history;
    /// Adds a line to the event log; the message ends in the log's four blanks.
    std::function<void(std::string_view message)> log;
};

/// What a save tells the user and records.
struct SaveTexts
{
    std::string dialog; ///< names the save in the history and the event log ("Apache设置")
    std::string saved; ///< the success message
    std::function<std::string(std::string_view reason)> failed; ///< the message of a failed write
};

/// The saves of one dialog, checked by the servers before anything is written. The check runs on
/// a thread of its own, and the save's history entry is written beside the history meanwhile; the
/// outcome is handled on the window's thread: a refusal is shown, the entry dropped and nothing
/// written; otherwise the entry joins the history and the files are replaced, the event log gets
/// its line and the success message is shown, with a note for each server not checked.
class CheckedSave final
{
public:
    /// Runs a task on the window's thread later (posted to its event loop). Called from the
    /// check's thread.
    using Post = BackgroundTasks::Post;
    /// Called on the window's thread when a save has ended: whether it was written.
    using Finished = std::function<void(bool saved)>;

    CheckedSave(
        ConfigFiles& files, MessageBoxes& messages, SafeSaveServices& services, Post post, Finished finished);
    /// Stops the checks still running (their checkers are killed) and waits for their threads;
    /// their outcomes are dropped and nothing is written.
    ~CheckedSave();
    CheckedSave(const CheckedSave&) = delete;
    CheckedSave& operator=(const CheckedSave&) = delete;

    /// Starts the save of `batch`. A batch without server files to check is saved at once.
    void Start(FileBatch batch, SaveTexts texts);
    /// Whether a save waits for its check.
    bool busy() const { return m_pending.has_value(); }
    /// Forgets the save under way (the dialog was closed): nothing is written or shown; its check
    /// runs to its end on its own thread.
    void Abandon() { m_pending.reset(); }

private:
    struct Pending
    {
        unsigned long long id;
        std::unique_ptr<FileBatch> batch;
        SaveTexts texts;
    };
    /// The history entry of a save, written while its check runs.
    struct StagedRecord
    {
        Status status = Status::Success();
        StagedEntry entry;
    };
    void Finish(unsigned long long id, const CheckReport& report);
    /// `record`: the entry staged during the check; null for a save without one.
    void Complete(FileBatch& batch, const SaveTexts& texts, const CheckReport& report, StagedRecord* record);

    ConfigFiles& m_files;
    MessageBoxes& m_messages;
    SafeSaveServices& m_services;
    Finished m_finished;
    std::optional<Pending> m_pending;
    /// The entries of the checks under way, by save; each goes when its check has reported.
    std::map<unsigned long long, std::unique_ptr<StagedRecord>> m_records;
    unsigned long long m_nextId = 1;
    /// Last, so that it goes first: the checks' threads end while everything they use is there.
    BackgroundTasks m_checks;
};

/// Ends a dialog's save: through `checked` when the dialog has one (then the dialog waits for
/// its Finished), otherwise written at once with the messages of `texts`. Returns whether the
/// dialog may close now.
bool SubmitSave(FileBatch batch, MessageBoxes& messages, CheckedSave* checked, SaveTexts texts);

} // namespace larkspan
