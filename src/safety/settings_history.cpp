#include "safety/settings_history.h"

#include "config/bundle_paths.h"
#include "config/folders.h"
#include "config/native_path.h"
#include "config/text_lines.h"
#include "platform/log_time.h"
#include "safety/content_digest.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <ctime>

namespace larkspan {

namespace {

constexpr std::string_view kManifest = "manifest.txt";
constexpr std::string_view kManifestHeading = "LarkspanAdmin settings history 1";
constexpr std::string_view kInAppDir = "appdir";
constexpr std::string_view kAbsolute = "absolute";
constexpr std::string_view kDigestKind = "sha256";
constexpr std::string_view kRemoved = "removed";
constexpr std::string_view kRemovalPrefix = ".old-";
constexpr std::string_view kStagingPrefix = ".new-";
constexpr int kSequenceDigits = 6;

// A save of the panel names a handful of files in a few hundred bytes. The bounds keep a damaged
// or planted manifest from costing more than a glance.
constexpr std::size_t kManifestLimit = 64 * 1024;
constexpr std::size_t kManifestLines = 256;
constexpr std::size_t kFilesLimit = 32;
// As large as any file the panel reads.
constexpr std::size_t kCopyLimit = 8u << 20;
// Entries the tidying renames away before one flush of the folder and their removal.
constexpr std::size_t kTidySlice = 64;

std::string TimeText(const std::tm& time, const char* format)
{
    char buffer[64] = {};
    return std::string(buffer, std::strftime(buffer, sizeof buffer, format, &time));
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool HoldsControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
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

// The plain text of a manifest value; nullopt for a broken escape or a control character, which
// no value the panel records holds.
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
            if (IsDigit(c))
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
    if (HoldsControl(plain))
        return std::nullopt;
    return plain;
}

// The sequence number of an entry's name exactly as Publish makes it, "20261207-094901-000017",
// or nullopt for any other name (a temporary folder, something the user put there).
std::optional<unsigned long long> SequenceOf(std::string_view name)
{
    constexpr std::size_t kNumberStart = 16;
    if (name.size() < kNumberStart + kSequenceDigits || name.size() > kNumberStart + 13 || name[8] != '-'
        || name[15] != '-')
        return std::nullopt;
    unsigned long long sequence = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i == 8 || i == 15)
            continue;
        if (!IsDigit(name[i]))
            return std::nullopt;
        if (i >= kNumberStart)
            sequence = sequence * 10 + static_cast<unsigned long long>(name[i] - '0');
    }
    return sequence;
}

// The files an entry's folder holds: its manifest and the numbered copies.
bool IsEntryFileName(std::string_view name)
{
    if (name == kManifest)
        return true;
    return !name.empty() && name.size() <= 6 && std::all_of(name.begin(), name.end(), IsDigit);
}

// A folder an entry's removal renamed, or an entry's staging folder: the form MakePrivateFolder
// gives after the prefix.
bool IsLeftoverName(std::string_view name)
{
    if (name.starts_with(kRemovalPrefix))
        return SequenceOf(name.substr(kRemovalPrefix.size())).has_value();
    if (!name.starts_with(kStagingPrefix))
        return false;
    const std::string_view rest = name.substr(kStagingPrefix.size());
    return !rest.empty() && rest.size() <= 64 && std::all_of(rest.begin(), rest.end(), [](char c) {
        return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
    });
}

std::string Padded(unsigned long long number)
{
    std::string text = std::to_string(number);
    if (text.size() < kSequenceDigits)
        text.insert(0, kSequenceDigits - text.size(), '0');
    return text;
}

// The words of `text` split at single blanks, the last one taking the rest; nullopt when fewer.
template <std::size_t count> std::optional<std::array<std::string_view, count>> Words(std::string_view text)
{
    std::array<std::string_view, count> words;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const std::size_t end = text.find(' ');
        if (end == std::string_view::npos)
            return std::nullopt;
        words[i] = text.substr(0, end);
        text.remove_prefix(end + 1);
    }
    words[count - 1] = text;
    return words;
}

} // namespace

SettingsHistory::SettingsHistory(std::string appDir, std::size_t keep)
    : m_appDir(std::move(appDir))
    , m_folder(NativePath(InBundle(m_appDir, paths::kHistory)))
    , m_keep(std::max<std::size_t>(keep, 1))
{ }

SettingsHistory::~SettingsHistory()
{
    m_tidier.request_stop();
    if (m_tidier.joinable())
        m_tidier.join();
}

std::vector<HistoryFile> FilesBeforeSave(const FileBatch& batch)
{
    std::vector<HistoryFile> files;
    for (const FileBatch::Change& change : batch.Changes()) {
        files.push_back({std::string(change.path), change.existed, std::string(change.before),
            change.after ? Sha256Hex(*change.after) : std::string()});
    }
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

Status SettingsHistory::RefuseLinkedFolder() const
{
    if (IsLink(m_folder))
        return Status::Failure(catalogue::HistoryIsLink(m_folder));
    return Status::Success();
}

Status SettingsHistory::Record(
    const FileBatch& batch, std::string_view dialog, TakesBack takesBack, std::string& name)
{
    StagedEntry staged;
    if (Status built = Stage(FilesBeforeSave(batch), dialog, takesBack, staged); !built.ok())
        return built;
    return Publish(staged, name);
}

Status SettingsHistory::Stage(
    const std::vector<HistoryFile>& files, std::string_view dialog, TakesBack takesBack, StagedEntry& staged)
{
    staged.Discard();
    const auto failed = [this](const Status& status) {
        return Status::Failure(catalogue::HistoryFailed(m_folder, status.message()));
    };
    if (Status linked = RefuseLinkedFolder(); !linked.ok())
        return linked;
    // Recorded only as an undo can read it back.
    for (const HistoryFile& file : files) {
        if (HoldsControl(file.path))
            return failed(
                Status::Failure(NativePath(file.path) + ": " + std::string(catalogue::kNameHoldsControl)));
    }
    if (Status made = MakeFolders(m_folder); !made.ok())
        return failed(made);

    std::string building;
    {
        // Claimed as it appears, so that the tidying never takes it.
        const std::lock_guard lock(m_claimsMutex);
        std::string made;
        if (Status status = MakePrivateFolder(m_folder, kStagingPrefix, made); !status.ok())
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
    if (!takesBack.undoes.empty())
        manifest += "undoes " + Escape(takesBack.undoes) + "\n";
    if (!takesBack.redoes.empty())
        manifest += "redoes " + Escape(takesBack.redoes) + "\n";
    std::size_t number = 0;
    for (const HistoryFile& file : files) {
        const std::string stored = std::to_string(++number);
        const bool inAppDir = file.path.size() > m_appDir.size() && file.path.starts_with(m_appDir)
            && (file.path[m_appDir.size()] == '\\' || file.path[m_appDir.size()] == '/');
        manifest += "file " + stored + (file.existed ? " present " : " missing ")
            + std::string(inAppDir ? kInAppDir : kAbsolute) + " "
            + Escape(inAppDir ? file.path.substr(m_appDir.size()) : file.path) + "\n";
        // What the save leaves in the file, so that an undo sees a later change by another hand.
        if (file.after) {
            manifest += "after " + stored + " "
                + (file.after->empty() ? std::string(kRemoved) : std::string(kDigestKind) + " " + *file.after)
                + "\n";
        }
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
    if (Status linked = RefuseLinkedFolder(); !linked.ok())
        return linked;
    const std::lock_guard lock(m_entriesMutex);
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
    if (!SequenceOf(name))
        return Status::Failure(catalogue::HistoryDamaged(m_folder + "/" + std::string(name)));
    // Renamed away first, so that a removal cut short never leaves a half entry among the others.
    const std::string doomed = m_folder + "/" + std::string(kRemovalPrefix) + std::string(name);
    const bool claimed = Claim(doomed);
    Status status = Status::Success();
    {
        const std::lock_guard lock(m_entriesMutex);
        status = RenameFolder(m_folder + "/" + std::string(name), doomed);
    }
    if (status.ok()) {
        (void)SyncFolder(m_folder);
        status = RemoveOwnFolder(doomed, IsEntryFileName);
    }
    if (claimed)
        Release(doomed);
    return status;
}

void SettingsHistory::TidyLater()
{
    {
        const std::lock_guard lock(m_tidyMutex);
        m_tidyWanted = true;
        if (!m_tidier.joinable())
            m_tidier = std::jthread([this](std::stop_token stop) { TidyLoop(stop); });
    }
    m_tidyChanged.notify_all();
}

void SettingsHistory::WaitUntilTidy()
{
    std::unique_lock lock(m_tidyMutex);
    m_tidyChanged.wait(lock, [this] { return !m_tidyWanted && !m_tidying; });
}

void SettingsHistory::TidyLoop(std::stop_token stop)
{
    std::unique_lock lock(m_tidyMutex);
    while (m_tidyChanged.wait(lock, stop, [this] { return m_tidyWanted; })) {
        m_tidyWanted = false;
        m_tidying = true;
        lock.unlock();
        (void)Tidy(stop);
        lock.lock();
        m_tidying = false;
        m_tidyChanged.notify_all();
    }
    // Stopped: nobody waits for what is left.
    m_tidyWanted = false;
    m_tidyChanged.notify_all();
}

Status SettingsHistory::Tidy(std::stop_token stop)
{
    if (Status linked = RefuseLinkedFolder(); !linked.ok())
        return linked;
    if (!PermissionBits(m_folder))
        return Status::Success(); // no save recorded yet
    RemoveLeftovers();
    // Entries are only ever added after the newest: what is beyond the number kept now stays so.
    std::vector<std::string> oldest;
    if (Status listed = OldestEntries(oldest); !listed.ok())
        return listed;
    std::vector<std::string> doomed;
    const auto removeDoomed = [&] {
        // Renamed away for good before their files go: after a crash, an entry is whole or gone.
        (void)SyncFolder(m_folder);
        for (const std::string& path : doomed) {
            (void)RemoveOwnFolder(path, IsEntryFileName);
            Release(path);
        }
        doomed.clear();
    };
    for (const std::string& name : oldest) {
        if (stop.stop_requested())
            break;
        if (std::optional<std::string> path = RenameAway(name))
            doomed.push_back(std::move(*path));
        if (doomed.size() >= kTidySlice)
            removeDoomed();
    }
    removeDoomed();
    return Status::Success();
}

Status SettingsHistory::OldestEntries(std::vector<std::string>& oldest) const
{
    std::vector<std::string> names;
    {
        const std::lock_guard lock(m_entriesMutex);
        if (Status listed = ListFolders(m_folder, names); !listed.ok())
            return listed;
    }
    std::vector<std::pair<unsigned long long, std::string>> entries;
    for (std::string& name : names) {
        if (const auto sequence = SequenceOf(name))
            entries.emplace_back(*sequence, std::move(name));
    }
    oldest.clear();
    if (entries.size() <= m_keep)
        return Status::Success();
    std::sort(entries.begin(), entries.end());
    entries.resize(entries.size() - m_keep);
    for (auto& [sequence, name] : entries)
        oldest.push_back(std::move(name));
    return Status::Success();
}

std::optional<std::string> SettingsHistory::RenameAway(const std::string& name)
{
    // Only what is an entry as a whole goes: a folder that merely looks like one stays.
    HistoryEntry entry;
    std::vector<std::string> stored;
    if (!ReadEntry(name, false, entry, &stored).ok() || !HoldsOnlyItsFiles(name, stored))
        return std::nullopt;
    const std::string path = m_folder + "/" + std::string(kRemovalPrefix) + name;
    if (!Claim(path))
        return std::nullopt;
    const std::lock_guard lock(m_entriesMutex);
    if (!RenameFolder(m_folder + "/" + name, path).ok()) {
        Release(path);
        return std::nullopt;
    }
    return path;
}

bool SettingsHistory::HoldsOnlyItsFiles(std::string_view name, const std::vector<std::string>& stored) const
{
    std::vector<std::string> held;
    if (!ListFolderEntries(m_folder + "/" + std::string(name), held).ok())
        return false;
    return std::all_of(held.begin(), held.end(), [&](const std::string& file) {
        return file == kManifest || std::find(stored.begin(), stored.end(), file) != stored.end();
    });
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
            if (!IsLeftoverName(name))
                continue;
            if (std::string path = m_folder + "/" + name; m_claims.insert(path).second) {
                renamedAway = renamedAway || name.starts_with(kRemovalPrefix);
                doomed.push_back(std::move(path));
            }
        }
    }
    // A removal cut short may have renamed its entry away without that rename reaching the disk;
    // removing the files first could leave half an entry among the others after a crash.
    if (renamedAway)
        (void)SyncFolder(m_folder);
    for (const std::string& path : doomed) {
        // A folder holding anything the history never writes is left as it is.
        std::vector<std::string> held;
        if (ListFolderEntries(path, held).ok() && std::all_of(held.begin(), held.end(), IsEntryFileName))
            (void)RemoveOwnFolder(path, IsEntryFileName);
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
    (void)RemoveOwnFolder(staged.m_folder, IsEntryFileName);
    Release(staged.m_folder);
    staged.m_folder.clear();
}

Status SettingsHistory::List(std::vector<HistoryEntry>& entries) const
{
    entries.clear();
    if (Status linked = RefuseLinkedFolder(); !linked.ok())
        return linked;
    if (!PermissionBits(m_folder))
        return Status::Success(); // no save recorded yet
    const std::lock_guard lock(m_entriesMutex);
    std::vector<std::string> names;
    if (Status listed = ListFolders(m_folder, names); !listed.ok())
        return listed;
    // Only the entries kept are read, however many older ones wait to be removed.
    std::vector<std::pair<unsigned long long, std::string>> newest;
    for (std::string& name : names) {
        if (const auto sequence = SequenceOf(name))
            newest.emplace_back(*sequence, std::move(name));
    }
    std::sort(newest.begin(), newest.end());
    if (newest.size() > m_keep)
        newest.erase(newest.begin(), newest.end() - static_cast<std::ptrdiff_t>(m_keep));
    for (const auto& [sequence, name] : newest) {
        HistoryEntry entry;
        if (Status read = ReadEntry(name, false, entry); !read.ok())
            entry.problem = read.message();
        entries.push_back(std::move(entry));
    }
    return Status::Success();
}

Status SettingsHistory::Load(std::string_view name, HistoryEntry& entry) const
{
    if (Status linked = RefuseLinkedFolder(); !linked.ok())
        return linked;
    const std::lock_guard lock(m_entriesMutex);
    return ReadEntry(name, true, entry);
}

Status SettingsHistory::ReadEntry(
    std::string_view name, bool withBytes, HistoryEntry& entry, std::vector<std::string>* storedCopies) const
{
    const std::string folder = m_folder + "/" + std::string(name);
    const std::string manifestPath = folder + "/" + std::string(kManifest);
    entry = HistoryEntry {};
    entry.name = name;
    const auto damaged = [&] { return Status::Failure(catalogue::HistoryDamaged(manifestPath)); };
    const std::optional<unsigned long long> sequence = SequenceOf(name);
    if (!sequence)
        return damaged();
    entry.sequence = *sequence;
    std::string manifest;
    if (Status read = ReadFileInFolder(folder, kManifest, kManifestLimit, manifest); !read.ok())
        return read;

    bool headed = false;
    std::vector<std::string> stored; // the copy of entry.files[i] is named stored[i]
    LineScanner lines(manifest);
    TextLine line;
    for (std::size_t count = 0; lines.Next(line); ++count) {
        const std::string_view text
            = std::string_view(manifest).substr(line.begin, line.textEnd - line.begin);
        if (count >= kManifestLines)
            return damaged();
        if (!headed) {
            if (text != kManifestHeading)
                return damaged();
            headed = true;
            continue;
        }
        const std::size_t blank = text.find(' ');
        const std::string_view key = text.substr(0, blank);
        const std::string_view value
            = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
        if (key == "time") {
            if (HoldsControl(value))
                return damaged();
            entry.time = value;
        } else if (key == "dialog") {
            const std::optional<std::string> plain = Unescape(value);
            if (!plain)
                return damaged();
            entry.dialog = *plain;
        } else if (key == "undoes" || key == "redoes") {
            const std::optional<std::string> plain = Unescape(value);
            if (!plain || !SequenceOf(*plain) || !entry.undoes.empty() || !entry.redoes.empty())
                return damaged();
            (key == "undoes" ? entry.undoes : entry.redoes) = *plain;
        } else if (key == "file") {
            // file NUMBER present|missing appdir|absolute PATH
            const auto words = Words<4>(value);
            const std::optional<std::string> path = words ? Unescape((*words)[3]) : std::nullopt;
            if (!path || path->empty() || ((*words)[1] != "present" && (*words)[1] != "missing")
                || ((*words)[2] != kInAppDir && (*words)[2] != kAbsolute) || !IsEntryFileName((*words)[0])
                || (*words)[0] == kManifest || entry.files.size() >= kFilesLimit
                || std::find(stored.begin(), stored.end(), (*words)[0]) != stored.end())
                return damaged();
            HistoryFile file {
                (*words)[2] == kInAppDir ? m_appDir + *path : *path, (*words)[1] == "present", {}, {}};
            if (std::any_of(entry.files.begin(), entry.files.end(),
                    [&](const HistoryFile& other) { return other.path == file.path; }))
                return damaged();
            entry.files.push_back(std::move(file));
            stored.emplace_back((*words)[0]);
        } else if (key == "after") {
            // after NUMBER sha256 DIGEST | after NUMBER removed, following its file line
            const auto words = Words<2>(value);
            const auto of = words ? std::find(stored.begin(), stored.end(), (*words)[0]) : stored.end();
            if (of == stored.end())
                return damaged();
            std::optional<std::string>& after
                = entry.files[static_cast<std::size_t>(of - stored.begin())].after;
            const std::string_view what = (*words)[1];
            const std::string_view digest
                = what.starts_with(kDigestKind) ? what.substr(kDigestKind.size()) : std::string_view();
            const bool removed = what == kRemoved;
            const bool digestWell = digest.size() == 65 && digest[0] == ' '
                && std::all_of(digest.begin() + 1, digest.end(),
                    [](char c) { return IsDigit(c) || (c >= 'a' && c <= 'f'); });
            if (after || (!removed && !digestWell))
                return damaged();
            after = removed ? std::string() : std::string(digest.substr(1));
        }
        // Other keys are from a newer version: what they add is not needed to undo.
    }
    if (!headed)
        return damaged();
    if (storedCopies) {
        storedCopies->clear();
        for (std::size_t i = 0; i < entry.files.size(); ++i) {
            if (entry.files[i].existed)
                storedCopies->push_back(stored[i]);
        }
    }
    if (withBytes) {
        for (std::size_t i = 0; i < entry.files.size(); ++i) {
            if (!entry.files[i].existed)
                continue;
            if (Status read = ReadFileInFolder(folder, stored[i], kCopyLimit, entry.files[i].bytes);
                !read.ok())
                return read;
        }
    }
    return Status::Success();
}

} // namespace larkspan
