#include "app/server_diagnostics.h"

#include "config/ascii_text.h"
#include "config/bundle_paths.h"
#include "config/config_files.h"
#include "config/file_tail.h"
#include "config/ini.h"
#include "config/native_path.h"
#include "config/settings_keys.h"
#include "config/text_lines.h"
#include "platform/tcp_listeners.h"
#include "platform/text_code_page.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>

namespace larkspan {

namespace {

// A failure is explained in at most this many lines; the rest stays in the files.
constexpr std::size_t kMaxLines = 5;
// Per file and explanation: a huge append costs no more than this.
constexpr std::size_t kReadLimit = 64 * 1024;
constexpr std::size_t kMaxLineBytes = 1000;
// A stop command that has not stopped the server by then no longer explains its stop.
constexpr double kStopRequestSeconds = 90.0;
constexpr std::size_t kMaxErrorFiles = 4;
constexpr std::size_t kMaxNamedOwners = 3;

constexpr std::string_view kSeparator = "    ";
constexpr std::string_view kNothingNew = "错误输出中没有新的内容";

// How long a start may take before the panel explains it: MySQL recovers its tables first.
int StartBoundSeconds(ServiceKind kind)
{
    return kind == ServiceKind::Apache ? 10 : 30;
}

std::string_view NameOf(ServiceKind kind)
{
    return kind == ServiceKind::Apache ? "Apache" : "MySQL";
}

// A server may still come up after its bound, so the headlines say what was seen, not "failed".
std::string NotStartedInTime(ServiceKind kind)
{
    return std::string(NameOf(kind)) + "在" + std::to_string(StartBoundSeconds(kind)) + "秒内没有启动：";
}
std::string GoneAfterStart(ServiceKind kind)
{
    return std::string(NameOf(kind)) + "启动后又停止：";
}
std::string UnexpectedStop(ServiceKind kind)
{
    return std::string(NameOf(kind)) + "意外停止：";
}

constexpr std::string_view kMySqlSection = "mysqld";
constexpr std::string_view kMySqlDefaultPort = "3306";

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t DigitRun(std::string_view text, std::size_t at, std::size_t least, std::size_t most)
{
    std::size_t length = 0;
    while (at + length < text.size() && length < most && IsDigit(text[at + length]))
        ++length;
    return length >= least ? length : 0;
}

std::size_t Blanks(std::string_view text, std::size_t at)
{
    std::size_t length = 0;
    while (at + length < text.size() && (text[at + length] == ' ' || text[at + length] == '\t'))
        ++length;
    return length;
}

// "9:28:46" or "09:28:46.123456" at `at`: its length, or 0.
std::size_t TimeOfDay(std::string_view text, std::size_t at)
{
    std::size_t end = at;
    for (const std::size_t width : {std::size_t {1}, std::size_t {2}, std::size_t {2}}) {
        if (end != at) {
            if (end >= text.size() || text[end] != ':')
                return 0;
            ++end;
        }
        const std::size_t digits = DigitRun(text, end, width, 2);
        if (digits == 0)
            return 0;
        end += digits;
    }
    if (end < text.size() && text[end] == '.' && DigitRun(text, end + 1, 1, 9) != 0)
        end += 1 + DigitRun(text, end + 1, 1, 9);
    return end - at;
}

// A leading date and time: "2024-01-06  9:28:46", "2024-01-06T09:28:46.123Z" or "240106 9:28:46".
std::size_t DateAndTime(std::string_view text)
{
    std::size_t at = 0;
    if (DigitRun(text, 0, 4, 4) && text.size() > 10 && text[4] == '-' && DigitRun(text, 5, 2, 2)
        && text[7] == '-' && DigitRun(text, 8, 2, 2) && !IsDigit(text[10]))
        at = 10;
    else if (DigitRun(text, 0, 6, 6) == 6 && text.size() > 6 && !IsDigit(text[6]))
        at = 6;
    else
        return 0;
    if (at < text.size() && text[at] == 'T')
        ++at;
    else if (const std::size_t blanks = Blanks(text, at); blanks != 0)
        at += blanks;
    else
        return 0;
    const std::size_t time = TimeOfDay(text, at);
    if (time == 0)
        return 0;
    at += time;
    if (at < text.size() && text[at] == 'Z')
        ++at;
    return at;
}

// Apache's "[Sat Jan 06 09:28:46.123456 2024] ": a first bracket that holds a time of day.
std::size_t BracketedTime(std::string_view text)
{
    if (text.empty() || text.front() != '[')
        return 0;
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos || close > 64)
        return 0;
    for (std::size_t at = 1; at < close; ++at) {
        if (TimeOfDay(text, at) >= 7 && (at == 1 || !IsDigit(text[at - 1])))
            return close + 1;
    }
    return 0;
}

bool StartsWithBracket(std::string_view text, std::string_view word)
{
    return text.size() > word.size() + 1 && text.front() == '[' && text.substr(1, word.size()) == word;
}

// Only control characters go; a tab becomes a blank.
std::string Printable(std::string_view text)
{
    std::string kept;
    kept.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t')
            kept += ' ';
        else if (byte >= 0x20 && byte != 0x7F)
            kept += c;
    }
    return kept;
}

void CutAtCharacter(std::string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return;
    std::size_t end = limit;
    // Never in the middle of a UTF-8 sequence.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    text += "…";
}

// Lines that only report progress: dropped first when there are more lines than room.
bool IsInformational(std::string_view line)
{
    if (line.empty() || line.front() != '[')
        return false;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos)
        return false;
    std::string level(line.substr(1, close - 1));
    std::transform(level.begin(), level.end(), level.begin(), AsciiLower);
    level = level.substr(level.rfind(':') == std::string::npos ? 0 : level.rfind(':') + 1);
    return level == "note" || level == "notice" || level == "info" || level == "debug"
        || level.starts_with("trace");
}

std::string ServerPortText(ConfigFiles& files, ServiceKind kind)
{
    if (kind == ServiceKind::Apache)
        return files.IniRead(keys::kApacheListen.section, keys::kApacheListen.key, "", kSettingsFile);
    return files.IniRead(kMySqlSection, "port", kMySqlDefaultPort, InBundle(files.AppDir(), paths::kMyIni));
}

// MariaDB's error file: log-error of my.ini (relative to the data folder, ".err" added to a name
// without extension), or else the "*.err" files of the data folder (its default, HOSTNAME.err).
std::vector<std::string> MySqlErrorFiles(ConfigFiles& files)
{
    const std::string dataFolder = InBundle(files.AppDir(), paths::kMySqlData);
    const std::string myIni = InBundle(files.AppDir(), paths::kMyIni);
    std::string configured = files.IniRead(kMySqlSection, "log-error", "", myIni);
    if (configured.empty())
        configured = files.IniRead(kMySqlSection, "log_error", "", myIni);
    if (!configured.empty()) {
        const std::size_t nameStart = configured.find_last_of("/\\") + 1;
        if (configured.find('.', nameStart) == std::string::npos)
            configured += ".err";
        return {NativePath(ResolveIniPath(configured, dataFolder))};
    }
    // Paths as UTF-8 both ways: a narrow path would be read in the ANSI code page on Windows.
    const std::string folder = NativePath(dataFolder);
    const std::filesystem::path folderPath(std::u8string(folder.begin(), folder.end()));
    std::vector<std::string> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folderPath, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (it->path().extension() == ".err" && it->is_regular_file(typeError)) {
            const std::u8string path = it->path().u8string();
            found.emplace_back(path.begin(), path.end());
        }
    }
    std::sort(found.begin(), found.end());
    if (found.size() > kMaxErrorFiles)
        found.resize(kMaxErrorFiles);
    return found;
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

std::string CondensedErrorLine(std::string_view line)
{
    std::size_t at = BracketedTime(line);
    if (at == 0) {
        at = DateAndTime(line);
        // MariaDB's thread number after its time: "2024-01-06  9:28:46 0 [ERROR] ...".
        if (at != 0) {
            const std::size_t blanks = Blanks(line, at);
            const std::size_t digits = DigitRun(line, at + blanks, 1, 20);
            if (blanks != 0 && digits != 0 && line.substr(at + blanks + digits).starts_with(" ["))
                at += blanks + digits;
        }
    }
    std::string_view rest = line.substr(at);
    rest.remove_prefix(Blanks(rest, 0));

    // Apache's "[core:emerg] [pid 4242:tid 7] AH00072: ...": the level stays, the process goes.
    std::string condensed;
    while (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos)
            break;
        if (!StartsWithBracket(rest, "pid "))
            condensed.append(rest.substr(0, close + 1)).append(" ");
        rest.remove_prefix(close + 1);
        rest.remove_prefix(Blanks(rest, 0));
    }
    condensed.append(rest);
    condensed = Printable(condensed);
    while (!condensed.empty() && condensed.back() == ' ')
        condensed.pop_back();
    CutAtCharacter(condensed, kMaxLineBytes);
    return condensed;
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
    const std::string& appDir = m_files.AppDir();
    std::vector<std::string> paths = kind == ServiceKind::Apache
        ? std::vector<std::string> {NativePath(InBundle(appDir, paths::kApacheErrorLog))}
        : MySqlErrorFiles(m_files);
    paths.push_back(NativePath(InBundle(appDir, paths::kServicesLog)));

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
            named += "、";
        named += owner.imageName + " (PID " + std::to_string(owner.processId) + ")";
    }
    const std::string portText = "端口 " + std::to_string(*port);
    if (named.empty())
        return portText + " 已被一个无权查看的程序占用" + std::string(kSeparator);
    return portText + " 已被 " + named + (more ? " 等程序占用" : " 占用") + std::string(kSeparator);
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
            Explain(kind, UnexpectedStop(kind));
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
        Explain(kind, watch.seenSinceStart ? GoneAfterStart(kind) : NotStartedInTime(kind));
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
    // The first lines of each sort are enough: errors and warnings before progress notes.
    std::vector<Found> problems;
    std::vector<Found> notes;
    std::vector<std::string> failures;
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
        const std::string_view bytes = tail.bytes;
        ForEachLine(bytes, [&](const TextLine& line) {
            bool complete = true;
            std::string text = CondensedErrorLine(
                m_codePage.Decode(bytes.substr(line.begin, line.textEnd - line.begin), complete));
            const auto same = [&text](const Found& found) { return found.text == text; };
            // The services log repeats the tail of MariaDB's error file after a failed start.
            if (text.empty() || std::any_of(problems.begin(), problems.end(), same)
                || std::any_of(notes.begin(), notes.end(), same))
                return;
            std::vector<Found>& sort = IsInformational(text) ? notes : problems;
            if (sort.size() < kMaxLines)
                sort.push_back({order++, std::move(text), &source.path});
        });
    }

    if (problems.size() < kMaxLines)
        notes.resize(std::min(notes.size(), kMaxLines - problems.size()));
    else
        notes.clear();
    std::vector<Found> shown = std::move(problems);
    std::move(notes.begin(), notes.end(), std::back_inserter(shown));
    std::sort(shown.begin(), shown.end(), [](const Found& a, const Found& b) { return a.order < b.order; });

    const std::string separator(kSeparator);
    if (shown.empty() && failures.empty()) {
        m_view.appendLogLine(std::string(headline) + std::string(kNothingNew) + separator, {});
        return;
    }
    // The list is narrow: the server's lines go without the headline, so more of them shows.
    m_view.appendLogLine(std::string(headline) + separator, {});
    for (const Found& found : shown)
        m_view.appendLogLine(found.text + separator, *found.source);
    for (const std::string& failure : failures)
        m_view.appendLogLine("无法读取 " + failure + separator, {});
}

} // namespace larkspan
