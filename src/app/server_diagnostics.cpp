#include "app/server_diagnostics.h"

#include "app/error_files.h"
#include "app/error_lines.h"
#include "config/ascii_text.h"
#include "config/bundle_paths.h"
#include "config/config_files.h"
#include "config/file_tail.h"
#include "config/native_path.h"
#include "config/outside_text.h"
#include "config/settings_keys.h"
#include "config/text_lines.h"
#include "platform/tcp_listeners.h"
#include "platform/text_code_page.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace larkspan {

namespace {

// A failure is explained in at most this many lines; the rest stays in the files.
constexpr std::size_t kMaxLines = 5;
// Per file and explanation: a huge append costs no more than this, read from its end.
constexpr std::size_t kReadLimit = 64 * 1024;
// A stop command that has not stopped the server by then no longer explains its stop.
constexpr double kStopRequestSeconds = 90.0;
constexpr std::size_t kMaxNamedOwners = 3;

// The event log's lines end in four blanks, before the time it adds.
constexpr std::string_view kSeparator = "    ";

// How long a start may take before the panel explains it: MySQL recovers its tables first.
int StartBoundSeconds(ServiceKind kind)
{
    return kind == ServiceKind::Apache ? 10 : 30;
}

std::string_view NameOf(ServiceKind kind)
{
    return kind == ServiceKind::Apache ? "Apache" : "MySQL";
}

constexpr std::string_view kMySqlSection = "mysqld";
constexpr std::string_view kMySqlDefaultPort = "3306";

std::string ServerPortText(ConfigFiles& files, ServiceKind kind)
{
    if (kind == ServiceKind::Apache)
        return files.IniRead(keys::kApacheListen.section, keys::kApacheListen.key, "", kSettingsFile);
    return files.IniRead(kMySqlSection, "port", kMySqlDefaultPort, InBundle(files.AppDir(), paths::kMyIni));
}

// Where the first whole line of the end of a file begins: after the first line end, or after the
// last NUL before it (a hole or a stretch the file system filled with zeros, which no line
// crosses). Without either, all of it is the end of one long line, shown as it is.
std::size_t FirstWholeLine(std::string_view bytes)
{
    const std::size_t lineEnd = bytes.find_first_of("\r\n");
    if (const std::size_t hole = bytes.substr(0, lineEnd).rfind('\0'); hole != std::string_view::npos)
        return hole + 1;
    return lineEnd == std::string_view::npos ? 0 : lineEnd + 1;
}

std::string_view FileName(std::string_view path)
{
    return path.substr(path.find_last_of("/\\") + 1);
}

} // namespace

std::optional<std::uint16_t> ListenPort(std::string_view listen)
{
    std::string_view port = Trim(listen);
    if (port.starts_with('[')) {
        const std::size_t close = port.find("]:");
        if (close == std::string_view::npos)
            return std::nullopt;
        port.remove_prefix(close + 2);
    } else if (const std::size_t colon = port.rfind(':'); colon != std::string_view::npos) {
        port.remove_prefix(colon + 1);
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value == 0
        || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

ServerDiagnostics::ServerDiagnostics(
    ConfigFiles& files, TcpListeners& listeners, const TextCodePage& codePage, View view)
    : m_files(files)
    , m_listeners(listeners)
    , m_codePage(codePage)
    , m_view(std::move(view))
{
    for (const ServiceKind kind : kAllServiceKinds)
        FindSources(kind);
}

void ServerDiagnostics::FindSources(ServiceKind kind)
{
    std::vector<std::string> paths = ServerErrorFiles(m_files, kind);
    Watch& watch = m_watches[Index(kind)];
    std::vector<Source> sources;
    for (std::string& path : paths) {
        const auto known = std::find_if(watch.sources.begin(), watch.sources.end(),
            [&path](const Source& source) { return source.path == path; });
        sources.push_back({std::move(path), known == watch.sources.end() ? 0 : known->offset});
    }
    watch.sources = std::move(sources);
}

void ServerDiagnostics::MarkEnds(Watch& watch)
{
    for (Source& source : watch.sources)
        source.offset = RegularFileSize(source.path).value_or(0);
}

std::string ServerDiagnostics::PortMessage(ServiceKind kind)
{
    const std::optional<std::uint16_t> port = ListenPort(ServerPortText(m_files, kind));
    if (!port)
        return {};
    std::vector<TcpListener> owners = m_listeners.ListenersOn(*port);
    // The server itself (a start while it runs) is no conflict.
    std::erase_if(
        owners, [kind](const TcpListener& owner) { return owner.imageName == Info(kind).processName; });
    if (owners.empty())
        return {};

    std::string named;
    std::size_t count = 0;
    bool more = false;
    for (const TcpListener& owner : owners) {
        if (owner.processId == 0)
            continue;
        if (count == kMaxNamedOwners) {
            more = true;
            break;
        }
        if (count++ != 0)
            named += catalogue::kListSeparator;
        // Any program may choose its name: one that reverses, colours or splits the line is cleaned.
        std::string name = CleanLine(owner.imageName);
        CutAtCharacter(name, kShownLineBytes);
        named += name + " (PID " + std::to_string(owner.processId) + ")";
    }
    if (named.empty())
        return catalogue::PortTakenByUnseen(*port) + std::string(kSeparator);
    return catalogue::PortTakenBy(*port, named, more) + std::string(kSeparator);
}

void ServerDiagnostics::BeforeStart(ServiceKind kind)
{
    Watch& watch = m_watches[Index(kind)];
    FindSources(kind);
    MarkEnds(watch);
    watch.portMessage = PortMessage(kind);
}

void ServerDiagnostics::StartLaunched(ServiceKind kind)
{
    Watch& watch = m_watches[Index(kind)];
    if (!watch.portMessage.empty())
        m_view.appendLogLine(std::exchange(watch.portMessage, {}), {});
    watch.startDeadline = m_view.now() + StartBoundSeconds(kind);
    watch.seenSinceStart = false;
}

void ServerDiagnostics::StopLaunched(ServiceKind kind)
{
    Watch& watch = m_watches[Index(kind)];
    watch.startDeadline.reset();
    watch.stopRequestedUntil = m_view.now() + kStopRequestSeconds;
}

void ServerDiagnostics::Observed(ServiceKind kind, ServiceState state)
{
    Watch& watch = m_watches[Index(kind)];
    const ServiceState before = std::exchange(watch.seen, state);
    if (!watch.startDeadline && !watch.stopRequestedUntil) {
        if (state == Running)
            MarkEnds(watch);
        else if (before == Running)
            Explain(kind, catalogue::UnexpectedStop(NameOf(kind)));
        return;
    }

    const double now = m_view.now();
    if (watch.stopRequestedUntil) {
        if (state == Stopped) {
            // The stop the panel asked for. Running until now was the old server, not the start's.
            watch.stopRequestedUntil.reset();
            watch.seenSinceStart = false;
        } else if (now >= *watch.stopRequestedUntil) {
            watch.stopRequestedUntil.reset();
        }
    }
    if (!watch.startDeadline) {
        if (state == Running)
            MarkEnds(watch);
        return;
    }
    if (state == Running) {
        watch.seenSinceStart = true;
        if (now >= *watch.startDeadline) {
            watch.startDeadline.reset();
            MarkEnds(watch);
        }
        return;
    }
    if (watch.seenSinceStart || now >= *watch.startDeadline) {
        watch.startDeadline.reset();
        Explain(kind,
            watch.seenSinceStart ? catalogue::GoneAfterStart(NameOf(kind))
                                 : catalogue::NotStartedInTime(NameOf(kind), StartBoundSeconds(kind)));
    }
}

void ServerDiagnostics::Explain(ServiceKind kind, std::string_view headline)
{
    struct Found
    {
        std::size_t order;
        std::string text;
        const std::string* source;
    };
    struct Skipped
    {
        std::uint64_t bytes;
        const std::string* source;
    };
    // A few lines of each sort are enough: errors and warnings before progress notes.
    std::vector<Found> problems;
    std::vector<Found> notes;
    std::vector<Skipped> skipped;
    std::vector<std::string> failures;
    std::set<std::string> seen;
    std::size_t order = 0;
    for (Source& source : m_watches[Index(kind)].sources) {
        FileTail tail;
        bool missing = false;
        if (const Status status = ReadFileTail(source.path, source.offset, kReadLimit, tail, missing);
            !status.ok()) {
            if (!missing)
                failures.push_back(status.message());
            continue;
        }
        source.offset = tail.end;
        std::string_view bytes = tail.bytes;
        if (tail.skipped != 0) {
            skipped.push_back({tail.skipped, &source.path});
            bytes.remove_prefix(FirstWholeLine(bytes));
        }
        std::vector<Found> fileProblems;
        std::vector<Found> fileNotes;
        ForEachLine(bytes, [&](const TextLine& line) {
            bool complete = true;
            std::string text = CondensedErrorLine(
                m_codePage.Decode(bytes.substr(line.begin, line.textEnd - line.begin), complete));
            // The services log repeats the tail of MariaDB's error file after a failed start.
            if (text.empty() || !seen.insert(text).second)
                return;
            (IsInformational(text) ? fileNotes : fileProblems)
                .push_back({order++, std::move(text), &source.path});
        });
        // Of a file read from its end only the newest lines say why the server ended; otherwise
        // the first lines since the last look.
        const auto keep = [&](std::vector<Found>& lines, std::vector<Found>& into) {
            const std::size_t room = kMaxLines - std::min(into.size(), kMaxLines);
            const auto first = tail.skipped != 0 && lines.size() > room
                ? lines.end() - static_cast<std::ptrdiff_t>(room)
                : lines.begin();
            std::move(first, first + static_cast<std::ptrdiff_t>(std::min(room, lines.size())),
                std::back_inserter(into));
        };
        keep(fileProblems, problems);
        keep(fileNotes, notes);
    }

    if (problems.size() < kMaxLines)
        notes.resize(std::min(notes.size(), kMaxLines - problems.size()));
    else
        notes.clear();
    std::vector<Found> shown = std::move(problems);
    std::move(notes.begin(), notes.end(), std::back_inserter(shown));
    std::sort(shown.begin(), shown.end(), [](const Found& a, const Found& b) { return a.order < b.order; });

    const std::string separator(kSeparator);
    if (shown.empty() && skipped.empty() && failures.empty()) {
        m_view.appendLogLine(std::string(headline) + std::string(catalogue::kNothingNew) + separator, {});
        return;
    }
    // The list is narrow: the server's lines go without the headline, so more of them shows.
    m_view.appendLogLine(std::string(headline) + separator, {});
    for (const Skipped& skip : skipped)
        m_view.appendLogLine(catalogue::OutputSkipped(FileName(*skip.source), catalogue::ByteSize(skip.bytes),
                                 catalogue::ByteSize(kReadLimit))
                + separator,
            *skip.source);
    for (const Found& found : shown)
        m_view.appendLogLine(found.text + separator, *found.source);
    for (const std::string& failure : failures)
        m_view.appendLogLine(catalogue::ErrorFileUnreadable(CleanLine(failure)) + separator, {});
}

} // namespace larkspan
