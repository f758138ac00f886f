#include "config/file_batch.h"

#include "config/directive_engine.h"
#include "config/ini.h"
#include "config/ini_engine.h"
#include "config/text_lines.h"
#include "texts/catalogue.h"

#include <algorithm>

namespace larkspan {

namespace {

std::string JoinPaths(const std::vector<std::string>& paths)
{
    std::string joined;
    for (const auto& path : paths)
        joined += (joined.empty() ? "" : "、") + path;
    return joined;
}

} // namespace

FileBatch::FileBatch(ConfigFiles& files)
    : m_files(files)
{ }

Status FileBatch::Open(std::string_view path, bool mustExist, File*& file, bool anyBytes)
{
    for (File& known : m_list) {
        if (known.path == path) {
            file = &known;
            return Status::Success();
        }
    }
    File opened;
    opened.path = path;
    bool missing = false;
    if (Status read = m_files.ReadFile(path, opened.original, missing); !read.ok()) {
        if (!missing || mustExist)
            return read;
        opened.original.clear();
    }
    opened.existed = !missing;
    // Editing a file that holds no text (a binary, a UTF-16 file) would only damage it further.
    if (!anyBytes && HoldsBinaryBytes(opened.original))
        return Status::Failure(NativePath(path) + ": " + std::string(catalogue::kNotText));
    opened.content = opened.original;
    m_list.push_back(std::move(opened));
    file = &m_list.back();
    return Status::Success();
}

Status FileBatch::SetIniKey(
    std::string_view file, std::string_view section, std::string_view key, std::string_view value)
{
    const std::string path = ResolveIniPath(file, m_files.AppDir());
    if (const std::optional<std::string> problem = IniWriteProblem(section, key, value))
        return Status::Failure(NativePath(path) + ": " + *problem);
    File* opened = nullptr;
    if (Status status = Open(path, false, opened); !status.ok())
        return status;
    opened->content = IniUpdate(opened->content, section, key, value);
    return Status::Success();
}

Status FileBatch::RewriteDirective(std::string_view file, std::string_view directive, std::string_view value)
{
    if (const std::optional<std::string> problem = DirectiveProblem(directive, value))
        return Status::Failure(NativePath(file) + ": " + *problem);
    File* opened = nullptr;
    if (Status status = Open(file, true, opened); !status.ok())
        return status;
    opened->content = RewriteDirectiveText(opened->content, directive, value);
    TerminateLastLine(opened->content);
    return Status::Success();
}

Status FileBatch::Edit(
    std::string_view file, const std::function<std::string(std::string_view content)>& edit)
{
    File* opened = nullptr;
    if (Status status = Open(file, false, opened); !status.ok())
        return status;
    opened->content = edit(opened->content);
    return Status::Success();
}

Status FileBatch::Restore(std::string_view file, std::optional<std::string> bytes)
{
    File* opened = nullptr;
    if (Status status = Open(file, false, opened, true); !status.ok())
        return status;
    opened->present = bytes.has_value();
    opened->createEmpty = opened->present;
    opened->content = bytes ? std::move(*bytes) : std::string();
    return Status::Success();
}

std::vector<FileBatch::Change> FileBatch::Changes() const
{
    std::vector<Change> changes;
    for (const File& file : m_list) {
        if (!file.changed())
            continue;
        Change change {file.path, file.existed, file.original, std::nullopt};
        if (file.present)
            change.after = file.content;
        changes.push_back(change);
    }
    return changes;
}

bool FileBatch::Changed() const
{
    for (const File& file : m_list) {
        if (file.changed())
            return true;
    }
    return false;
}

Status FileBatch::Commit()
{
    std::vector<const File*> replaced;
    for (const File& file : m_list) {
        if (!file.changed())
            continue;
        Status status
            = file.present ? m_files.ReplaceFile(file.path, file.content) : m_files.RemoveFile(file.path);
        if (status.ok()) {
            replaced.push_back(&file);
            continue;
        }

        std::string undoFailures;
        std::vector<std::string> newFiles;
        for (auto it = replaced.rbegin(); it != replaced.rend(); ++it) {
            const File& done = **it;
            Status undo = done.existed ? m_files.ReplaceFile(done.path, done.original)
                                       : m_files.RemoveFile(done.path);
            if (!undo.ok()) {
                undoFailures += (undoFailures.empty() ? "" : "\n") + undo.message();
                newFiles.push_back(NativePath(done.path));
            }
        }
        if (undoFailures.empty())
            return status;
        m_partlyCommitted = true;
        std::vector<std::string> oldFiles;
        for (const File& other : m_list) {
            const std::string shown = NativePath(other.path);
            if (other.changed() && std::find(newFiles.begin(), newFiles.end(), shown) == newFiles.end())
                oldFiles.push_back(shown);
        }
        return Status::Failure(status.message()
            + catalogue::FilesDisagree(undoFailures, JoinPaths(newFiles), JoinPaths(oldFiles)));
    }
    return Status::Success();
}

} // namespace larkspan
