#include "safety/settings_history.h"

#include "config/bundle_paths.h"
#include "config/folders.h"
#include "config/native_path.h"
#include "config/text_file.h"
#include "config/text_lines.h"
#include "platform/log_time.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <ctime>

namespace larkspan {

namespace {

constexpr std::string_view kManifest = "manifest.txt";
constexpr std::string_view kManifestHeading = "LarkspanAdmin settings history 1";
constexpr std::string_view kInAppDir = "appdir";
constexpr std::string_view kAbsolute = "absolute";
constexpr int kSequenceDigits = 6;

std::string TimeText(const std::tm& time, const char* format)
{
    char buffer[64] = {};
    return std::string(buffer, std::strftime(buffer, sizeof buffer, format, &time));
}

// Manifest values stay on one line whatever bytes a path holds.
std::string Escape(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        if (c == '%' || c == '\n' || c == '\r' || c == '\0') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::optional<std::string> Unescape(std::string_view text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            plain += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const auto hex = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            return -1;
        };
        const int high = hex(text[i + 1]);
        const int low = hex(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        plain += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return plain;
}

// The sequence number at the end of an entry's name ("20261207-094901-000017"), or nullopt for
// a name that is no entry's (a temporary folder, something the user put there).
std::optional<unsigned long long> SequenceOf(std::string_view name)
{
    const std::size_t dash = name.rfind('-');
    if (name.empty() || name.front() == '.' || dash == std::string_view::npos || dash + 1 == name.size())
        return std::nullopt;
    unsigned long long sequence = 0;
    for (const char c : name.substr(dash + 1)) {
        if (c < '0' || c > '9' || sequence > 1'000'000'000'000ULL)
            return std::nullopt;
        sequence = sequence * 10 + static_cast<unsigned long long>(c - '0');
    }
    return sequence;
}

std::string Padded(unsigned long long number)
{
    std::string text = std::to_string(number);
    if (text.size() < kSequenceDigits)
        text.insert(0, kSequenceDigits - text.size(), '0');
    return text;
}

} // namespace

SettingsHistory::SettingsHistory(std::string appDir, std::size_t keep)
    : m_appDir(std::move(appDir))
    , m_folder(NativePath(InBundle(m_appDir, paths::kHistory)))
    , m_keep(std::max<std::size_t>(keep, 1))
{ }

std::vector<HistoryFile> FilesBeforeSave(const FileBatch& batch)
{
    std::vector<HistoryFile> files;
    for (const FileBatch::Change& change : batch.Changes())
        files.push_back({std::string(change.path), change.existed, std::string(change.before)});
    return files;
}

StagedEntry::~StagedEntry()
{
    Discard();
}

void StagedEntry::Discard()
{
    if (m_history && !m_folder.empty())
        m_history->Unstage(*this);
}

Status SettingsHistory::Record(
    const FileBatch& batch, std::string_view dialog, std::string_view undoes, std::string& name)
{
    StagedEntry staged;
    if (Status built = Stage(FilesBeforeSave(batch), dialog, undoes, staged); !built.ok())
        return built;
    return Publish(staged, name);
}

Status SettingsHistory::Stage(const std::vector<HistoryFile>& files, std::string_view dialog,
    std::string_view undoes, StagedEntry& staged)
{
    staged.Discard();
    const auto failed = [this](const Status& status) {
        return Status::Failure(catalogue::HistoryFailed(m_folder, status.message()));
    };
    if (Status made = MakeFolders(m_folder); !made.ok())
        return failed(made);
    RemoveLeftovers();

    std::string building;
    {
        // Claimed as it appears, so that another thread's RemoveLeftovers never takes it.
        const std::lock_guard lock(m_claimsMutex);
        std::string made;
        if (Status status = MakePrivateFolder(m_folder, ".new-", made); !status.ok())
            return failed(status);
        // Claims are compared as RemoveLeftovers spells them, whatever separator the system used.
        building = m_folder + "/" + made.substr(made.find_last_of("/\\") + 1);
        m_claims.insert(building);
    }
    staged.m_history = this;
    staged.m_folder = building;
    const auto abandon = [&](const Status& status) {
        staged.Discard();
        return failed(status);
    };
    const std::tm now = LocalTimeNow();
    const std::string time = TimeText(now, "%Y-%m-%d %H:%M:%S");
    std::string manifest
        = std::string(kManifestHeading) + "\ntime " + time + "\ndialog " + Escape(dialog) + "\n";
    if (!undoes.empty())
        manifest += "undoes " + Escape(undoes) + "\n";
    std::size_t number = 0;
    for (const HistoryFile& file : files) {
        const std::string stored = std::to_string(++number);
        const bool inAppDir = file.path.size() > m_appDir.size() && file.path.starts_with(m_appDir)
            && (file.path[m_appDir.size()] == '\\' || file.path[m_appDir.size()] == '/');
        manifest += "file " + stored + (file.existed ? " present " : " missing ")
            + std::string(inAppDir ? kInAppDir : kAbsolute) + " "
            + Escape(inAppDir ? file.path.substr(m_appDir.size()) : file.path) + "\n";
        if (!file.existed)
            continue;
        if (Status written = WriteNewFile(building + "/" + stored, file.bytes, 0600, true); !written.ok())
            return abandon(written);
    }
    if (Status written = WriteNewFile(building + "/" + std::string(kManifest), manifest, 0600, true);
        !written.ok())
        return abandon(written);
    if (Status synced = SyncFolder(building); !synced.ok())
        return abandon(synced);
    staged.m_stamp = TimeText(now, "%Y%m%d-%H%M%S");
    return Status::Success();
}

Status SettingsHistory::Publish(StagedEntry& staged, std::string& name)
{
    const auto failed = [this](const Status& status) {
        return Status::Failure(catalogue::HistoryFailed(m_folder, status.message()));
    };
    std::vector<std::string> names;
    if (Status listed = ListFolders(m_folder, names); !listed.ok())
        return failed(listed);
    unsigned long long last = 0;
    for (const std::string& entry : names)
        last = std::max(last, SequenceOf(entry).value_or(0));
    const std::string entry = staged.m_stamp + "-" + Padded(last + 1);
    if (Status renamed = RenameFolder(staged.m_folder, m_folder + "/" + entry); !renamed.ok())
        return failed(renamed);
    Release(staged.m_folder);
    staged.m_folder.clear();
    // The entry is complete; only its durability across a crash depends on this.
    (void)SyncFolder(m_folder);
    name = entry;
    return Status::Success();
}

Status SettingsHistory::Discard(std::string_view name)
{
    // Renamed away first, so that a removal cut short never leaves a half entry among the others.
    const std::string doomed = m_folder + "/.old-" + std::string(name);
    const bool claimed = Claim(doomed);
    Status status = RenameFolder(m_folder + "/" + std::string(name), doomed);
    if (status.ok()) {
        (void)SyncFolder(m_folder);
        status = RemoveTree(doomed);
    }
    if (claimed)
        Release(doomed);
    return status;
}

Status SettingsHistory::Trim()
{
    std::vector<std::string> names;
    if (Status listed = ListFolders(m_folder, names); !listed.ok())
        return listed;
    std::vector<std::pair<unsigned long long, std::string>> entries;
    for (std::string& name : names) {
        if (const auto sequence = SequenceOf(name))
            entries.emplace_back(*sequence, std::move(name));
    }
    if (entries.size() <= m_keep)
        return Status::Success();
    std::sort(entries.begin(), entries.end());
    for (std::size_t i = 0; i + m_keep < entries.size(); ++i) {
        if (Status removed = Discard(entries[i].second); !removed.ok())
            return removed;
    }
    return Status::Success();
}

void SettingsHistory::RemoveLeftovers()
{
    std::vector<std::string> doomed;
    bool renamedAway = false;
    {
        const std::lock_guard lock(m_claimsMutex);
        std::vector<std::string> names;
        if (!ListFolders(m_folder, names).ok())
            return;
        for (const std::string& name : names) {
            const bool old = name.starts_with(".old-");
            if (!old && !name.starts_with(".new-"))
                continue;
            if (std::string path = m_folder + "/" + name; m_claims.insert(path).second) {
                doomed.push_back(std::move(path));
                renamedAway = renamedAway || old;
            }
        }
    }
    // A removal cut short may have renamed its entry away without that rename reaching the disk;
    // removing the files first could leave half an entry among the others after a crash.
    if (renamedAway)
        (void)SyncFolder(m_folder);
    for (const std::string& path : doomed) {
        (void)RemoveTree(path);
        Release(path);
    }
}

bool SettingsHistory::Claim(const std::string& name)
{
    const std::lock_guard lock(m_claimsMutex);
    return m_claims.insert(name).second;
}

void SettingsHistory::Release(const std::string& name)
{
    const std::lock_guard lock(m_claimsMutex);
    m_claims.erase(name);
}

void SettingsHistory::Unstage(StagedEntry& staged)
{
    (void)RemoveTree(staged.m_folder);
    Release(staged.m_folder);
    staged.m_folder.clear();
}

Status SettingsHistory::List(std::vector<HistoryEntry>& entries) const
{
    entries.clear();
    std::vector<std::string> names;
    if (!PermissionBits(m_folder))
        return Status::Success(); // no save recorded yet
    if (Status listed = ListFolders(m_folder, names); !listed.ok())
        return listed;
    for (const std::string& name : names) {
        if (!SequenceOf(name))
            continue;
        HistoryEntry entry;
        if (Status read = ReadEntry(name, false, entry); !read.ok())
            entry.problem = read.message();
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
        [](const HistoryEntry& a, const HistoryEntry& b) { return a.sequence < b.sequence; });
    return Status::Success();
}

Status SettingsHistory::Load(std::string_view name, HistoryEntry& entry) const
{
    return ReadEntry(name, true, entry);
}

Status SettingsHistory::ReadEntry(std::string_view name, bool withBytes, HistoryEntry& entry) const
{
    const std::string folder = m_folder + "/" + std::string(name);
    entry = HistoryEntry {};
    entry.name = name;
    entry.sequence = SequenceOf(name).value_or(0);
    std::string manifest;
    if (Status read = ReadWholeFile(folder + "/" + std::string(kManifest), manifest); !read.ok())
        return read;
    const auto damaged
        = [&] { return Status::Failure(catalogue::HistoryDamaged(folder + "/" + std::string(kManifest))); };
    bool headed = false;
    bool whole = true;
    std::vector<std::string> stored;
    ForEachLine(manifest, [&](const TextLine& line) {
        const std::string_view text
            = std::string_view(manifest).substr(line.begin, line.textEnd - line.begin);
        if (!headed) {
            headed = text == kManifestHeading;
            whole = headed;
            return;
        }
        const std::size_t blank = text.find(' ');
        const std::string_view key = text.substr(0, blank);
        const std::string_view value
            = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
        const std::optional<std::string> plain = Unescape(value);
        if (key == "time")
            entry.time = value;
        else if (key == "dialog" && plain)
            entry.dialog = *plain;
        else if (key == "undoes" && plain)
            entry.undoes = *plain;
        else if (key == "file") {
            // file NUMBER present|missing appdir|absolute PATH
            std::string_view rest = value;
            std::string_view words[3];
            for (std::string_view& word : words) {
                const std::size_t end = rest.find(' ');
                if (end == std::string_view::npos) {
                    whole = false;
                    return;
                }
                word = rest.substr(0, end);
                rest.remove_prefix(end + 1);
            }
            const std::optional<std::string> path = Unescape(rest);
            if (!path || (words[1] != "present" && words[1] != "missing")
                || (words[2] != kInAppDir && words[2] != kAbsolute)
                || words[0].find_first_of("./\\") != std::string_view::npos) {
                whole = false;
                return;
            }
            entry.files.push_back(
                {words[2] == kInAppDir ? m_appDir + *path : *path, words[1] == "present", {}});
            stored.emplace_back(words[0]);
        }
    });
    if (!whole || !headed)
        return damaged();
    if (withBytes) {
        for (std::size_t i = 0; i < entry.files.size(); ++i) {
            if (!entry.files[i].existed)
                continue;
            if (Status read = ReadWholeFile(folder + "/" + stored[i], entry.files[i].bytes); !read.ok())
                return read;
        }
    }
    return Status::Success();
}

} // namespace larkspan
