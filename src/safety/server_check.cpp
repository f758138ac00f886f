#include "safety/server_check.h"

#include "config/ascii_text.h"
#include "config/bundle_paths.h"
#include "config/directive_engine.h"
#include "config/folders.h"
#include "config/mysql_options.h"
#include "config/native_path.h"
#include "config/text_lines.h"
#include "safety/verdict_text.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

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
    {CheckedServer::MySQL, "MySQL", paths::kMySqlServerProgram},
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
    {ServerFile::MyIni, CheckedServer::MySQL, paths::kMyIni},
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

// The report with each verdict's lines as a message box shows them.
CheckReport Shown(CheckReport report)
{
    for (ServerVerdict& verdict : report.verdicts)
        verdict.lines = ShownVerdictLines(verdict.lines, ServerName(verdict.server));
    return report;
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
    case CheckedServer::MySQL:
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

ServerChecker::ServerChecker(CapturingRunner& runner, std::chrono::milliseconds timeLimit)
    : m_runner(runner)
    , m_timeLimit(timeLimit)
{ }

CheckReport ServerChecker::Check(const CheckRequest& request, std::stop_token stop)
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
        return Shown(std::move(report));

    PrivateFolder folder("larkspan-check-");
    for (const CheckedServer server : servers) {
        if (stop.stop_requested())
            break;
        if (!folder.status().ok()) {
            report.verdicts.push_back(Verdict(server, ServerVerdict::Kind::NotChecked,
                catalogue::CheckFolderFailed(folder.status().message())));
            continue;
        }
        switch (server) {
        case CheckedServer::Apache:
            report.verdicts.push_back(CheckApache(request, folder.path(), stop));
            break;
        case CheckedServer::Php:
            report.verdicts.push_back(
                CheckPhp(request, *Find(request, ServerFile::PhpIni), folder.path(), stop));
            break;
        case CheckedServer::MySQL:
            report.verdicts.push_back(
                CheckMySql(request, *Find(request, ServerFile::MyIni), folder.path(), stop));
            break;
        }
    }
    return Shown(std::move(report));
}

ServerChecker::CheckerRun ServerChecker::RunChecker(const Command& command,
    const std::vector<std::pair<std::string, std::string>>& candidates, std::stop_token stop)
{
    CheckerRun checked {NativePath(command.program), m_runner.Run(command, m_timeLimit, stop)};
    // The user knows the live files, not our private copies of them.
    for (const auto& [candidate, live] : candidates) {
        ReplaceAll(checked.run.standardOutput, candidate, live);
        ReplaceAll(checked.run.standardError, candidate, live);
    }
    return checked;
}

ServerVerdict ServerChecker::CheckApache(
    const CheckRequest& request, const std::string& folder, std::stop_token stop)
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
        = RunChecker(CheckerCommand(kServer, request.appDir, candidateConf), candidates, stop);
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
    const CheckRequest& request, const CandidateFile& file, const std::string& folder, std::stop_token stop)
{
    constexpr CheckedServer kServer = CheckedServer::Php;
    const std::string candidate = folder + "/" + BaseName(file.livePath);
    if (auto unwritten = WriteCandidate(kServer, candidate, file.bytes, file.livePath))
        return *unwritten;

    const auto [program, run]
        = RunChecker(CheckerCommand(kServer, request.appDir, candidate), {{candidate, file.livePath}}, stop);
    if (auto unfinished = UnfinishedRun(kServer, run, program, m_timeLimit))
        return *unfinished;
    if (run.exitCode != 0 || !Trim(run.standardError, " \t\r\n").empty())
        return Refusal(kServer, run, program);

    std::map<std::string_view, std::string_view> values;
    ForEachLine(run.standardOutput, [&](const TextLine& line) {
        const std::string_view text
            = std::string_view(run.standardOutput).substr(line.begin, line.textEnd - line.begin);
        if (const std::size_t equals = text.find('='); equals != std::string_view::npos)
            values.emplace(text.substr(0, equals), Trim(text.substr(equals + 1)));
    });
    // A program that ends well without its answers has not read the file the way PHP does.
    std::string missing;
    for (const std::string_view key : kPhpSizes) {
        if (!values.contains(key))
            missing.append(missing.empty() ? "" : ", ").append(key);
    }
    if (!missing.empty())
        return Verdict(
            kServer, ServerVerdict::Kind::NotChecked, catalogue::CheckerGaveNoValues(program, missing));

    // PHP takes a negative size without a word, though no upload or form can be that size.
    std::string negative;
    for (const std::string_view key : kPhpSizes) {
        const std::string_view value = values[key];
        if (value.size() > 1 && value[0] == '-' && std::isdigit(static_cast<unsigned char>(value[1])))
            negative += (negative.empty() ? "" : "\n") + catalogue::PhpNegativeSize(key, value);
    }
    if (!negative.empty())
        return Verdict(kServer, ServerVerdict::Kind::Refused, negative);
    return Verdict(kServer, ServerVerdict::Kind::Accepted, {});
}

ServerVerdict ServerChecker::CheckMySql(
    const CheckRequest& request, const CandidateFile& file, const std::string& folder, std::stop_token stop)
{
    constexpr CheckedServer kServer = CheckedServer::MySQL;
    const std::string candidate = folder + "/" + BaseName(file.livePath);
    if (auto unwritten = WriteCandidate(kServer, candidate, file.bytes, file.livePath))
        return *unwritten;

    auto [program, run]
        = RunChecker(CheckerCommand(kServer, request.appDir, candidate), {{candidate, file.livePath}}, stop);
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
    const std::map<std::string, std::string> used = MySqlListedValues(run.standardOutput);
    const std::map<std::string, std::string> unchanged = MySqlOptions(file.before);
    std::string changed;
    std::string unanswered;
    for (const auto& [name, value] : MySqlOptions(file.bytes)) {
        if (const auto old = unchanged.find(name); old != unchanged.end() && old->second == value)
            continue;
        const std::optional<MySqlWholeNumber> wanted = ReadMySqlWholeNumber(value, true);
        if (wanted && used.empty())
            unanswered.append(unanswered.empty() ? "" : ", ").append(name);
        const auto listed = used.find(name);
        if (listed == used.end() || !wanted)
            continue;
        const std::optional<MySqlWholeNumber> actual = ReadMySqlWholeNumber(listed->second, false);
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
    // Without its table of values the server has said nothing about the numbers of this save.
    if (!unanswered.empty())
        return Verdict(
            kServer, ServerVerdict::Kind::NotChecked, catalogue::CheckerGaveNoValues(program, unanswered));
    return Verdict(kServer, ServerVerdict::Kind::Accepted, {});
}

} // namespace larkspan
