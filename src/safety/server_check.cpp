#include "safety/server_check.h"

#include "config/ascii_text.h"
#include "config/bundle_paths.h"
#include "config/folders.h"
#include "config/ini_engine.h"
#include "config/native_path.h"
#include "config/text_lines.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <map>
#include <optional>
#include <system_error>

namespace larkspan {

namespace {

constexpr std::size_t kShownLines = 6;

// Paths relative to AppDir.
struct Checker
{
    CheckedServer server;
    std::string_view name;
    std::string_view program;
};
constexpr Checker kCheckers[] = {
    {CheckedServer::Apache, "Apache", paths::kApacheProgram},
    {CheckedServer::Php, "PHP", paths::kPhpProgram},
    {CheckedServer::MySql, "MySQL", paths::kMySqlServerProgram},
};
struct CheckedFile
{
    ServerFile file;
    CheckedServer server;
    std::string_view path;
};
constexpr CheckedFile kCheckedFiles[] = {
    {ServerFile::HttpdConf, CheckedServer::Apache, paths::kHttpdConf},
    {ServerFile::VhostsConf, CheckedServer::Apache, paths::kVhostsConf},
    {ServerFile::PhpIni, CheckedServer::Php, paths::kPhpIni},
    {ServerFile::MyIni, CheckedServer::MySql, paths::kMyIni},
};
// The sizes PHP takes negative without a word; its checker prints them.
constexpr std::string_view kPhpSizes[] = {"upload_max_filesize", "post_max_size"};

const Checker& CheckerOf(CheckedServer server)
{
    return *std::find_if(std::begin(kCheckers), std::end(kCheckers),
        [server](const Checker& checker) { return checker.server == server; });
}

CheckedServer ServerOf(ServerFile file)
{
    return std::find_if(std::begin(kCheckedFiles), std::end(kCheckedFiles),
        [file](const CheckedFile& checked) { return checked.file == file; })
        ->server;
}

const CandidateFile* Find(const CheckRequest& request, ServerFile file)
{
    const auto found = std::find_if(request.files.begin(), request.files.end(),
        [file](const CandidateFile& candidate) { return candidate.file == file; });
    return found == request.files.end() ? nullptr : &*found;
}

std::string BaseName(std::string_view path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

void ReplaceAll(std::string& text, std::string_view what, std::string_view with)
{
    if (what.empty())
        return;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// The first lines of a checker's output that say something, each as the checker wrote it.
std::string FirstLines(std::string_view output, const std::function<bool(std::string_view)>& wanted = {})
{
    std::string lines;
    std::size_t count = 0;
    ForEachLine(output, [&](const TextLine& line) {
        const std::string_view text = output.substr(line.begin, line.textEnd - line.begin);
        if (count >= kShownLines || Trim(text).empty() || (wanted && !wanted(text)))
            return;
        lines.append(lines.empty() ? "" : "\n").append(text);
        ++count;
    });
    return lines;
}

/// A directive line's name and its first argument (quotes removed), or nullopt for a line that
/// is blank or a comment.
struct DirectiveLine
{
    std::string_view name;
    std::string_view argument;
    std::size_t argumentBegin = 0; ///< within the line, quotes included
    std::size_t argumentEnd = 0;
};

std::optional<DirectiveLine> ParseDirective(std::string_view line)
{
    const std::size_t nameBegin = line.find_first_not_of(kBlanks);
    if (nameBegin == std::string_view::npos || line[nameBegin] == '#')
        return std::nullopt;
    const std::size_t nameEnd = std::min(line.find_first_of(kBlanks, nameBegin), line.size());
    DirectiveLine parsed;
    parsed.name = line.substr(nameBegin, nameEnd - nameBegin);
    const std::size_t argumentBegin = line.find_first_not_of(kBlanks, nameEnd);
    if (argumentBegin == std::string_view::npos)
        return parsed;
    std::size_t argumentEnd = 0;
    if (line[argumentBegin] == '"') {
        const std::size_t close = line.find('"', argumentBegin + 1);
        argumentEnd = close == std::string_view::npos ? line.size() : close + 1;
        parsed.argument = line.substr(argumentBegin + 1, std::min(close, line.size()) - argumentBegin - 1);
    } else {
        argumentEnd = std::min(line.find_first_of(kBlanks, argumentBegin), line.size());
        parsed.argument = line.substr(argumentBegin, argumentEnd - argumentBegin);
    }
    parsed.argumentBegin = argumentBegin;
    parsed.argumentEnd = argumentEnd;
    return parsed;
}

// A path's components with "." and ".." resolved and either separator, as text.
std::string LexicallyNormal(std::string_view path)
{
    std::vector<std::string_view> parts;
    const bool rooted = !path.empty() && (path.front() == '/' || path.front() == '\\');
    while (!path.empty()) {
        const std::size_t end = std::min(path.find_first_of("/\\"), path.size());
        const std::string_view part = path.substr(0, end);
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    std::string normal = rooted ? "/" : "";
    for (const std::string_view part : parts)
        normal.append(normal.empty() || normal.back() == '/' ? "" : "/").append(part);
    return normal;
}

bool IsAbsolute(std::string_view path)
{
    return path.starts_with('/') || path.starts_with('\\')
        || (path.size() > 1 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])));
}

/// A whole number as a server option file gives it: a sign, digits and an optional multiplier.
struct WholeNumber
{
    bool negative = false;
    unsigned long long magnitude = 0;
    bool overflow = false;
    bool operator==(const WholeNumber&) const = default;
};

std::optional<WholeNumber> ParseWholeNumber(std::string_view text, bool withMultiplier)
{
    WholeNumber number;
    if (text.starts_with('-')) {
        number.negative = true;
        text.remove_prefix(1);
    }
    const std::size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0 || text.empty())
        return std::nullopt;
    for (const char c : text.substr(0, digits)) {
        const unsigned long long digit = static_cast<unsigned long long>(c - '0');
        if (number.magnitude > (~0ULL - digit) / 10)
            number.overflow = true;
        number.magnitude = number.magnitude * 10 + digit;
    }
    if (digits != std::string_view::npos) {
        constexpr std::string_view kMultipliers = "KMGTPE";
        const std::size_t power = text.size() == digits + 1 && withMultiplier
            ? kMultipliers.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[digits]))))
            : std::string_view::npos;
        if (power == std::string_view::npos)
            return std::nullopt;
        for (std::size_t i = 0; i <= power; ++i) {
            if (number.magnitude > (~0ULL >> 10))
                number.overflow = true;
            number.magnitude <<= 10;
        }
    }
    if (number.negative && number.magnitude == 0)
        number.negative = false;
    return number;
}

// The whole-number options of a MySQL option file as the server reads them: its own groups,
// the last value of an option winning, names with '-' for '_'.
std::map<std::string, std::string> ServerOptions(std::string_view content)
{
    static constexpr std::string_view kServerGroups[]
        = {"mysqld", "server", "mariadb", "mariadbd", "client-server", "galera"};
    std::map<std::string, std::string> options;
    bool serverGroup = false;
    ForEachLine(content, [&](const TextLine& line) {
        const std::string_view text = Trim(content.substr(line.begin, line.textEnd - line.begin));
        if (text.empty() || text.front() == '#' || text.front() == ';')
            return;
        if (text.front() == '[') {
            const std::string_view group = Trim(text.substr(1, text.find(']') - 1));
            serverGroup = std::any_of(std::begin(kServerGroups), std::end(kServerGroups),
                [group](std::string_view known) { return EqualNoCase(group, known); });
            return;
        }
        const std::size_t equals = text.find('=');
        if (!serverGroup || equals == std::string_view::npos)
            return;
        std::string name = MySqlOptionName(Trim(text.substr(0, equals)));
        if (name.starts_with("loose-"))
            name.erase(0, 6);
        std::string_view value = Trim(text.substr(equals + 1));
        if (const std::size_t comment = value.find(" #"); comment != std::string_view::npos)
            value = Trim(value.substr(0, comment));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
            && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        options[name] = std::string(value);
    });
    return options;
}

// The "name value" table that --help --verbose ends with.
std::map<std::string, std::string> ListedValues(std::string_view listing)
{
    std::map<std::string, std::string> values;
    bool inTable = false;
    ForEachLine(listing, [&](const TextLine& line) {
        const std::string_view text = listing.substr(line.begin, line.textEnd - line.begin);
        if (!inTable) {
            inTable = text.starts_with("-----") && text.find(' ') != std::string_view::npos;
            return;
        }
        const std::size_t gap = text.find(' ');
        if (gap == std::string_view::npos || gap == 0)
            return;
        values[std::string(text.substr(0, gap))] = std::string(Trim(text.substr(gap)));
    });
    return values;
}

ServerVerdict Verdict(CheckedServer server, ServerVerdict::Kind kind, std::string lines)
{
    return {server, kind, std::move(lines)};
}

/// The verdict when the checker did not run to an exit, or nullopt when it did.
std::optional<ServerVerdict> UnfinishedRun(
    CheckedServer server, const CapturedRun& run, const std::string& program, std::chrono::milliseconds limit)
{
    switch (run.outcome) {
    case CapturedRun::Outcome::Exited:
        return std::nullopt;
    case CapturedRun::Outcome::NotStarted:
        return Verdict(server, ServerVerdict::Kind::NotChecked, run.standardError);
    case CapturedRun::Outcome::TimedOut:
        return Verdict(server, ServerVerdict::Kind::NotChecked,
            catalogue::ProgramTimedOut(
                program, std::chrono::duration_cast<std::chrono::seconds>(limit).count()));
    case CapturedRun::Outcome::Crashed:
        break;
    }
    std::string lines = catalogue::ProgramCrashed(program);
    if (const std::string said = FirstLines(run.standardError); !said.empty())
        lines += "\n" + said;
    return Verdict(server, ServerVerdict::Kind::Refused, lines);
}

/// A refusal with the checker's first lines, or its exit code when it said nothing.
ServerVerdict Refusal(CheckedServer server, const CapturedRun& run, const std::string& program,
    const std::function<bool(std::string_view)>& wanted = {})
{
    std::string lines = FirstLines(run.standardError, wanted);
    if (lines.empty())
        lines = FirstLines(run.standardError);
    if (lines.empty())
        lines = FirstLines(run.standardOutput);
    if (lines.empty())
        lines = catalogue::ProgramExitCode(program, run.exitCode);
    return Verdict(server, ServerVerdict::Kind::Refused, lines);
}

/// Removes the checkers' private folder however the check ends.
class PrivateFolder final
{
public:
    PrivateFolder() { m_status = MakePrivateFolder(TemporaryFolderRoot(), "larkspan-check-", m_path); }
    ~PrivateFolder()
    {
        if (m_status.ok())
            (void)RemoveTree(m_path);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const Status& status() const { return m_status; }
    const std::string& path() const { return m_path; }

private:
    Status m_status = Status::Success();
    std::string m_path;
};

// Writes a candidate with its live file's permission bits (MySQL ignores a world-writable option
// file, and the check must see that as the server will); the verdict when it cannot.
std::optional<ServerVerdict> WriteCandidate(
    CheckedServer server, const std::string& path, std::string_view bytes, const std::string& livePath)
{
    if (Status written = WriteNewFile(path, bytes, PermissionBits(livePath).value_or(0644), false);
        !written.ok())
        return ServerVerdict {
            server, ServerVerdict::Kind::NotChecked, catalogue::CheckFolderFailed(written.message())};
    return std::nullopt;
}

} // namespace

std::optional<CheckedServer> ServerOfFile(std::string_view appDir, std::string_view path)
{
    const std::string native = NativePath(path);
    for (const CheckedFile& checked : kCheckedFiles) {
        if (native == NativePath(InBundle(appDir, checked.path)))
            return checked.server;
    }
    return std::nullopt;
}

std::string_view ServerName(CheckedServer server)
{
    return CheckerOf(server).name;
}

Command CheckerCommand(CheckedServer server, std::string_view appDir, const std::string& file)
{
    std::vector<std::string> arguments;
    switch (server) {
    case CheckedServer::Apache:
        arguments = {
            "-t", "-D", "DUMP_INCLUDES", "-d", NativePath(InBundle(appDir, paths::kApacheRoot)), "-f", file};
        break;
    case CheckedServer::Php: {
        // Start-up errors go to stderr whatever the file says about showing and logging them;
        // deprecations do not stop PHP and do not count.
        std::string script = "foreach (array(";
        for (const std::string_view key : kPhpSizes)
            script.append("'").append(key).append("', ");
        script += ") as $k) echo $k, '=', ini_get($k), \"\\n\";";
        arguments = {"-c", file, "-d", "display_startup_errors=1", "-d", "display_errors=stderr", "-d",
            "log_errors=0", "-d", "error_reporting=E_ALL & ~E_DEPRECATED & ~E_USER_DEPRECATED", "-r", script};
        break;
    }
    case CheckedServer::MySql:
        arguments = {"--defaults-file=" + file, "--help", "--verbose"};
        break;
    }
    Command command {InBundle(appDir, CheckerOf(server).program), {}};
    for (std::string& argument : arguments)
        command.arguments.push_back(Argument::literal(std::move(argument)));
    return command;
}

bool CheckReport::refused() const
{
    return std::any_of(verdicts.begin(), verdicts.end(),
        [](const ServerVerdict& verdict) { return verdict.kind == ServerVerdict::Kind::Refused; });
}

std::string CheckReport::RefusalMessage() const
{
    std::string message;
    for (const ServerVerdict& verdict : verdicts) {
        if (verdict.kind == ServerVerdict::Kind::Refused)
            message += (message.empty() ? "" : "\n\n")
                + catalogue::CheckRefused(ServerName(verdict.server), verdict.lines);
    }
    return message;
}

std::string CheckReport::NotCheckedNote() const
{
    std::string note;
    for (const ServerVerdict& verdict : verdicts) {
        if (verdict.kind == ServerVerdict::Kind::NotChecked)
            note += "\n\n" + catalogue::NotChecked(ServerName(verdict.server), verdict.lines);
    }
    return note;
}

CheckRequest PrepareCheck(ConfigFiles& files, const FileBatch& batch)
{
    CheckRequest request;
    request.appDir = files.AppDir();
    request.apacheRoot = NativePath(InBundle(request.appDir, paths::kApacheRoot));
    std::map<std::string, const CheckedFile*> checked;
    for (const CheckedFile& file : kCheckedFiles)
        checked[NativePath(InBundle(request.appDir, file.path))] = &file;
    for (const FileBatch::Change& change : batch.Changes()) {
        const auto found = checked.find(NativePath(change.path));
        if (change.after && found != checked.end())
            request.files.push_back({found->second->file, found->first, std::string(*change.after), true,
                std::string(change.before)});
    }
    // Apache reads vhosts.conf only through httpd.conf: a changed one is checked with the live one.
    if (Find(request, ServerFile::VhostsConf) && !Find(request, ServerFile::HttpdConf)) {
        const std::string path = InBundle(request.appDir, paths::kHttpdConf);
        CandidateFile httpdConf {ServerFile::HttpdConf, NativePath(path), {}, false, {}};
        bool missing = false;
        if (Status read = files.ReadFile(path, httpdConf.bytes, missing); read.ok()) {
            httpdConf.before = httpdConf.bytes;
            request.files.push_back(std::move(httpdConf));
        } else {
            request.unchecked.push_back(
                {CheckedServer::Apache, ServerVerdict::Kind::NotChecked, read.message()});
        }
    }
    return request;
}

std::string RedirectInclude(std::string_view httpdConf, std::string_view serverRoot,
    std::string_view liveVhosts, std::string_view candidateVhosts, bool& redirected)
{
    redirected = false;
    std::string root(serverRoot);
    const std::string target(liveVhosts);
    std::string result;
    result.reserve(httpdConf.size() + candidateVhosts.size());
    ForEachLine(httpdConf, [&](const TextLine& line) {
        const std::string_view text = httpdConf.substr(line.begin, line.textEnd - line.begin);
        const std::string_view ending = httpdConf.substr(line.textEnd, line.end - line.textEnd);
        const std::optional<DirectiveLine> directive = ParseDirective(text);
        if (directive && EqualNoCase(directive->name, "ServerRoot") && !directive->argument.empty())
            root = std::string(directive->argument);
        if (directive
            && (EqualNoCase(directive->name, "Include") || EqualNoCase(directive->name, "IncludeOptional"))
            && !directive->argument.empty()) {
            const std::string named = IsAbsolute(directive->argument)
                ? std::string(directive->argument)
                : root + "/" + std::string(directive->argument);
            if (LexicallyNormal(named) == LexicallyNormal(target) || SameFile(named, target)) {
                result.append(text.substr(0, directive->argumentBegin))
                    .append("\"")
                    .append(candidateVhosts)
                    .append("\"")
                    .append(text.substr(directive->argumentEnd))
                    .append(ending);
                redirected = true;
                return;
            }
        }
        result.append(text).append(ending);
    });
    return result;
}

ServerChecker::ServerChecker(CapturingRunner& runner, std::chrono::milliseconds timeLimit)
    : m_runner(runner)
    , m_timeLimit(timeLimit)
{ }

CheckReport ServerChecker::Check(const CheckRequest& request)
{
    CheckReport report {request.unchecked};
    std::vector<CheckedServer> servers;
    for (const Checker& checker : kCheckers) {
        const bool changed = std::any_of(request.files.begin(), request.files.end(),
            [&](const CandidateFile& file) { return file.changed && ServerOf(file.file) == checker.server; });
        const bool unchecked = std::any_of(request.unchecked.begin(), request.unchecked.end(),
            [&](const ServerVerdict& verdict) { return verdict.server == checker.server; });
        if (changed && !unchecked)
            servers.push_back(checker.server);
    }
    if (servers.empty())
        return report;

    PrivateFolder folder;
    for (const CheckedServer server : servers) {
        if (!folder.status().ok()) {
            report.verdicts.push_back(Verdict(server, ServerVerdict::Kind::NotChecked,
                catalogue::CheckFolderFailed(folder.status().message())));
            continue;
        }
        switch (server) {
        case CheckedServer::Apache:
            report.verdicts.push_back(CheckApache(request, folder.path()));
            break;
        case CheckedServer::Php:
            report.verdicts.push_back(CheckPhp(request, *Find(request, ServerFile::PhpIni), folder.path()));
            break;
        case CheckedServer::MySql:
            report.verdicts.push_back(CheckMySql(request, *Find(request, ServerFile::MyIni), folder.path()));
            break;
        }
    }
    return report;
}

ServerChecker::CheckerRun ServerChecker::RunChecker(
    const Command& command, const std::vector<std::pair<std::string, std::string>>& candidates)
{
    CheckerRun checked {NativePath(command.program), m_runner.Run(command, m_timeLimit, {})};
    // The user knows the live files, not our private copies of them.
    for (const auto& [candidate, live] : candidates) {
        ReplaceAll(checked.run.standardOutput, candidate, live);
        ReplaceAll(checked.run.standardError, candidate, live);
    }
    return checked;
}

ServerVerdict ServerChecker::CheckApache(const CheckRequest& request, const std::string& folder)
{
    constexpr CheckedServer kServer = CheckedServer::Apache;
    // PrepareCheck gives httpd.conf whenever vhosts.conf changed.
    const CandidateFile& conf = *Find(request, ServerFile::HttpdConf);
    const CandidateFile* hosts = Find(request, ServerFile::VhostsConf);
    const std::string candidateConf = folder + "/" + BaseName(conf.livePath);
    std::vector<std::pair<std::string, std::string>> candidates {{candidateConf, conf.livePath}};
    bool redirected = false;
    std::string confBytes = conf.bytes;
    if (hosts != nullptr) {
        const std::string candidateHosts = folder + "/" + BaseName(hosts->livePath);
        if (auto unwritten = WriteCandidate(kServer, candidateHosts, hosts->bytes, hosts->livePath))
            return *unwritten;
        confBytes
            = RedirectInclude(conf.bytes, request.apacheRoot, hosts->livePath, candidateHosts, redirected);
        candidates.emplace_back(candidateHosts, hosts->livePath);
    }
    if (auto unwritten = WriteCandidate(kServer, candidateConf, confBytes, conf.livePath))
        return *unwritten;

    const auto [program, run]
        = RunChecker(CheckerCommand(kServer, request.appDir, candidateConf), candidates);
    if (auto unfinished = UnfinishedRun(kServer, run, program, m_timeLimit))
        return *unfinished;
    if (run.exitCode != 0)
        return Refusal(kServer, run, program);
    // The candidate vhosts.conf must have been among the files Apache read; the listing names it
    // by its live path now.
    if (hosts != nullptr && (!redirected || run.standardOutput.find(hosts->livePath) == std::string::npos))
        return Verdict(kServer, ServerVerdict::Kind::NotChecked,
            catalogue::HostsNotIncluded(conf.livePath, hosts->livePath));
    return Verdict(kServer, ServerVerdict::Kind::Accepted, {});
}

ServerVerdict ServerChecker::CheckPhp(
    const CheckRequest& request, const CandidateFile& file, const std::string& folder)
{
    constexpr CheckedServer kServer = CheckedServer::Php;
    const std::string candidate = folder + "/" + BaseName(file.livePath);
    if (auto unwritten = WriteCandidate(kServer, candidate, file.bytes, file.livePath))
        return *unwritten;

    const auto [program, run]
        = RunChecker(CheckerCommand(kServer, request.appDir, candidate), {{candidate, file.livePath}});
    if (auto unfinished = UnfinishedRun(kServer, run, program, m_timeLimit))
        return *unfinished;
    if (run.exitCode != 0 || !Trim(run.standardError, " \t\r\n").empty())
        return Refusal(kServer, run, program);

    // PHP takes a negative size without a word, though no upload or form can be that size.
    std::string negative;
    ForEachLine(run.standardOutput, [&](const TextLine& line) {
        const std::string_view text
            = std::string_view(run.standardOutput).substr(line.begin, line.textEnd - line.begin);
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos)
            return;
        const std::string_view key = text.substr(0, equals);
        const std::string_view value = Trim(text.substr(equals + 1));
        if (std::find(std::begin(kPhpSizes), std::end(kPhpSizes), key) != std::end(kPhpSizes)
            && value.size() > 1 && value[0] == '-' && std::isdigit(static_cast<unsigned char>(value[1])))
            negative += (negative.empty() ? "" : "\n") + catalogue::PhpNegativeSize(key, value);
    });
    if (!negative.empty())
        return Verdict(kServer, ServerVerdict::Kind::Refused, negative);
    return Verdict(kServer, ServerVerdict::Kind::Accepted, {});
}

ServerVerdict ServerChecker::CheckMySql(
    const CheckRequest& request, const CandidateFile& file, const std::string& folder)
{
    constexpr CheckedServer kServer = CheckedServer::MySql;
    const std::string candidate = folder + "/" + BaseName(file.livePath);
    if (auto unwritten = WriteCandidate(kServer, candidate, file.bytes, file.livePath))
        return *unwritten;

    auto [program, run]
        = RunChecker(CheckerCommand(kServer, request.appDir, candidate), {{candidate, file.livePath}});
    if (auto unfinished = UnfinishedRun(kServer, run, program, m_timeLimit))
        return *unfinished;
    // The server's own lines start after its time stamp, at the bracketed level.
    const auto ownLines = [](std::string text) {
        std::string lines;
        ForEachLine(text, [&](const TextLine& line) {
            std::string_view said = std::string_view(text).substr(line.begin, line.textEnd - line.begin);
            if (const std::size_t level = said.find(" ["); level != std::string_view::npos)
                said.remove_prefix(level + 1);
            lines.append(said).append("\n");
        });
        return lines;
    };
    run.standardError = ownLines(run.standardError);
    if (run.exitCode != 0)
        return Refusal(
            kServer, run, program, [](std::string_view line) { return line.starts_with("[ERROR]"); });

    // A value of this save that the server clamps or replaces by its default is refused, naming
    // the one it uses. Values the save leaves as they were are not its business.
    const std::map<std::string, std::string> used = ListedValues(run.standardOutput);
    const std::map<std::string, std::string> unchanged = ServerOptions(file.before);
    std::string changed;
    for (const auto& [name, value] : ServerOptions(file.bytes)) {
        if (const auto old = unchanged.find(name); old != unchanged.end() && old->second == value)
            continue;
        const auto listed = used.find(name);
        const std::optional<WholeNumber> wanted = ParseWholeNumber(value, true);
        if (listed == used.end() || !wanted)
            continue;
        const std::optional<WholeNumber> actual = ParseWholeNumber(listed->second, false);
        if (!actual || (*wanted == *actual && !wanted->overflow))
            continue;
        changed += (changed.empty() ? "" : "\n") + catalogue::MySqlWouldUse(name, value, listed->second);
        // The server's own warning about it, when it gives one ("option 'port': unsigned value
        // 70000 adjusted to 65535"); its messages name options with '_'.
        std::string quoted = "'" + name + "'";
        std::replace(quoted.begin(), quoted.end(), '-', '_');
        if (const std::string warning = FirstLines(run.standardError,
                [&](std::string_view line) { return line.find(quoted) != std::string_view::npos; });
            !warning.empty())
            changed += "\n" + warning;
    }
    if (!changed.empty())
        return Verdict(kServer, ServerVerdict::Kind::Refused, changed);
    return Verdict(kServer, ServerVerdict::Kind::Accepted, {});
}

BackgroundCheck::BackgroundCheck(ServerChecker& checker, CheckRequest request,
    std::function<void(CheckReport)> done, std::function<void()> alongside)
    : m_thread(
        [&checker, request = std::move(request), done = std::move(done), alongside = std::move(alongside)] {
            std::thread beside;
            if (alongside) {
                try {
                    beside = std::thread(alongside);
                } catch (const std::system_error&) {
                    alongside(); // no thread to spare: one after the other
                }
            }
            CheckReport report = checker.Check(request);
            if (beside.joinable())
                beside.join();
            done(std::move(report));
        })
{ }

BackgroundCheck::~BackgroundCheck()
{
    m_thread.join();
}

} // namespace larkspan
