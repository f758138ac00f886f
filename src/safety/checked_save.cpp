#include "safety/checked_save.h"

#include "config/native_path.h"
#include "safety/history_commit.h"
#include "texts/catalogue.h"

#include <system_error>
#include <thread>

namespace larkspan {

namespace {

// A file some other program (an editor opened from the menu, a second dialog) replaced while its
// check ran: committing the batch composed from the old bytes would silently drop that edit.
std::optional<std::string> ChangedSinceComposed(ConfigFiles& files, const FileBatch& batch)
{
    for (const FileBatch::Change& change : batch.Changes()) {
        std::string now;
        bool missing = false;
        const Status read = files.ReadFile(change.path, now, missing);
        const bool same = change.existed ? read.ok() && now == change.before : !read.ok() && missing;
        if (!same)
            return NativePath(change.path);
    }
    return std::nullopt;
}

} // namespace

CheckedSave::CheckedSave(
    ConfigFiles& files, MessageBoxes& messages, SafeSaveServices& services, Post post, Finished finished)
    : m_files(files)
    , m_messages(messages)
    , m_services(services)
    , m_finished(std::move(finished))
    , m_checks(std::move(post))
{ }

CheckedSave::~CheckedSave() = default;

void CheckedSave::Start(FileBatch batch, SaveTexts texts)
{
    m_pending.reset();
    CheckRequest request = PrepareCheck(m_files, batch);
    if (request.files.empty() && request.unchecked.empty()) {
        Complete(batch, texts, CheckReport {}, nullptr);
        return;
    }
    const unsigned long long id = m_nextId++;
    auto record = std::make_unique<StagedRecord>();
    // The entry's files and fsyncs take their time beside the checker's, not after it.
    auto stage
        = [&history = m_services.history, record = record.get(), files = FilesBeforeSave(batch),
              dialog = texts.dialog] { record->status = history.Stage(files, dialog, {}, record->entry); };
    auto check = [&checker = m_services.checker, request = std::move(request), stage](std::stop_token stop) {
        std::jthread beside;
        try {
            beside = std::jthread(stage);
        } catch (const std::system_error&) {
            stage(); // no thread to spare: one after the other
        }
        return checker.Check(request, stop);
    };
    const Status started
        = m_checks.Start(std::move(check), [this, id](const CheckReport& report) { Finish(id, report); });
    if (!started.ok()) {
        m_messages.Inform(texts.failed(started.message()));
        m_finished(false);
        return;
    }
    m_records[id] = std::move(record);
    m_pending = Pending {id, std::make_unique<FileBatch>(std::move(batch)), std::move(texts)};
}

void CheckedSave::Finish(unsigned long long id, const CheckReport& report)
{
    const auto found = m_records.find(id);
    if (found == m_records.end())
        return;
    const std::unique_ptr<StagedRecord> record = std::move(found->second);
    m_records.erase(found);
    if (!m_pending || m_pending->id != id)
        return; // an abandoned save: its staged entry goes with `record`
    Pending pending = std::move(*m_pending);
    m_pending.reset();
    Complete(*pending.batch, pending.texts, report, record.get());
}

void CheckedSave::Complete(
    FileBatch& batch, const SaveTexts& texts, const CheckReport& report, StagedRecord* record)
{
    const auto refuse = [&](const std::string& message) {
        if (record)
            record->entry.Discard();
        m_messages.Inform(message);
        m_finished(false);
    };
    if (report.refused())
        return refuse(report.RefusalMessage());
    if (const std::optional<std::string> changed = ChangedSinceComposed(m_files, batch))
        return refuse(texts.failed(catalogue::ChangedDuringCheck(*changed)));
    // The staged entry holds the bytes the batch was composed from, which the files still hold.
    Status committed = !record ? CommitWithHistory(batch, m_services.history, texts.dialog)
        : record->status.ok()  ? CommitStaged(batch, m_services.history, record->entry)
                               : record->status;
    if (!committed.ok())
        return refuse(texts.failed(committed.message()));
    if (m_services.log)
        m_services.log(catalogue::LogSaved(texts.dialog));
    m_messages.Inform(texts.saved + report.NotCheckedNote());
    m_finished(true);
}

bool SubmitSave(FileBatch batch, MessageBoxes& messages, CheckedSave* checked, SaveTexts texts)
{
    if (checked) {
        checked->Start(std::move(batch), std::move(texts));
        return false;
    }
    if (Status committed = batch.Commit(); !committed.ok()) {
        messages.Inform(texts.failed(committed.message()));
        return false;
    }
    messages.Inform(texts.saved);
    return true;
}

} // namespace larkspan
