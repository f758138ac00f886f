#pragma once

#include "config/file_batch.h"
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
    using Post = std::function<void(std::function<void()> task)>;
    /// Called on the window's thread when a save has ended: whether it was written.
    using Finished = std::function<void(bool saved)>;

    CheckedSave(
        ConfigFiles& files, MessageBoxes& messages, SafeSaveServices& services, Post post, Finished finished);
    /// Waits for checks still running; their outcomes are dropped.
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
    struct Running
    {
        std::unique_ptr<StagedRecord> record; ///< first: dropped after the thread is joined
        std::unique_ptr<BackgroundCheck> check;
    };
    void Finish(unsigned long long id, const CheckReport& report);
    /// `record`: the entry staged during the check; null for a save without one.
    void Complete(FileBatch& batch, const SaveTexts& texts, const CheckReport& report, StagedRecord* record);

    ConfigFiles& m_files;
    MessageBoxes& m_messages;
    SafeSaveServices& m_services;
    Post m_post;
    Finished m_finished;
    std::optional<Pending> m_pending;
    std::map<unsigned long long, Running> m_checks;
    unsigned long long m_nextId = 1;
    /// Tasks posted by a check look here first: a task that outlives this object does nothing.
    std::shared_ptr<CheckedSave*> m_self;
};

/// Ends a dialog's save: through `checked` when the dialog has one (then the dialog waits for
/// its Finished), otherwise written at once with the messages of `texts`. Returns whether the
/// dialog may close now.
bool SubmitSave(FileBatch batch, MessageBoxes& messages, CheckedSave* checked, SaveTexts texts);

} // namespace larkspan
