#pragma once

#include "config/config_files.h"
#include "config/file_batch.h"
#include "platform/capturing_runner.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace larkspan {

/// The servers whose files a save can touch, each with the bundle's own checker.
enum class CheckedServer { Apache, Php, MySql };
/// The files those servers read.
enum class ServerFile { HttpdConf, VhostsConf, PhpIni, MyIni };

/// The server whose checker reads the file `path` of the bundle at `appDir`, or nullopt for
/// another file (Larkspan.ini, the phpinfo page).
std::optional<CheckedServer> ServerOfFile(std::string_view appDir, std::string_view path);
/// The server's name as the panel shows it ("Apache", "PHP", "MySQL").
std::string_view ServerName(CheckedServer server);

/// What the checker of one server said about the files of a save.
struct ServerVerdict
{
    enum class Kind { Accepted, Refused, NotChecked };
    CheckedServer server = CheckedServer::Apache;
    Kind kind = Kind::Accepted;
    /// Refused: the checker's first lines (or what it would change); NotChecked: why not.
    std::string lines;
};

/// The verdicts of one check, one per server whose files the save touches.
struct CheckReport
{
    std::vector<ServerVerdict> verdicts;

    bool refused() const;
    /// The refusals under a heading, for the message box; empty when nothing was refused.
    std::string RefusalMessage() const;
    /// What to add to the success message for the servers that were not checked; empty when
    /// every touched server was checked.
    std::string NotCheckedNote() const;
};

/// The command line of `server`'s checker reading `file` (httpd.conf with the bundle's Apache2
/// folder as ServerRoot, php.ini, my.ini) as a check does.
Command CheckerCommand(CheckedServer server, std::string_view appDir, const std::string& file);

/// A file as a checker is to read it.
struct CandidateFile
{
    ServerFile file = ServerFile::HttpdConf;
    std::string livePath; ///< native
    std::string bytes;
    bool changed = true; ///< false: the live content, needed beside a changed file
    std::string before; ///< what the live file holds
};

/// Everything one check needs, copied out of a batch so that it can run on another thread.
struct CheckRequest
{
    std::string appDir;
    std::string apacheRoot; ///< native, Apache's ServerRoot
    std::vector<CandidateFile> files;
    std::vector<ServerVerdict> unchecked; ///< servers whose check cannot run, and why
};

/// The server files among the changes of `batch` with their new bytes, and the live files the
/// checkers must read with them (httpd.conf beside a changed vhosts.conf). A live file that
/// cannot be read leaves that server unchecked, with the reason.
CheckRequest PrepareCheck(ConfigFiles& files, const FileBatch& batch);

/// `httpdConf` with every Include line that names the file `liveVhosts` (relative to the
/// ServerRoot in effect, `serverRoot` at first) naming `candidateVhosts` instead. Every other byte
/// stays, so the checker's line numbers are those of the real file. `redirected` tells whether a
/// line did.
std::string RedirectInclude(std::string_view httpdConf, std::string_view serverRoot,
    std::string_view liveVhosts, std::string_view candidateVhosts, bool& redirected);

/// Runs the bundle's own checkers on the candidate files: Apache in its configuration-test mode,
/// PHP starting up on the candidate php.ini, the MySQL server listing the values it would use.
/// The candidates are written to a private temporary folder, never beside the live files, and
/// removed afterwards.
class ServerChecker final
{
public:
    explicit ServerChecker(
        CapturingRunner& runner, std::chrono::milliseconds timeLimit = std::chrono::seconds(20));

    /// Blocking, a checker's time at most per server: call it from a worker thread.
    CheckReport Check(const CheckRequest& request);

private:
    struct CheckerRun
    {
        std::string program; ///< native, for messages
        CapturedRun run; ///< private paths in its output replaced by the live ones
    };
    /// Runs a checker's `command`; `candidates` pairs each private copy with its live file.
    CheckerRun RunChecker(
        const Command& command, const std::vector<std::pair<std::string, std::string>>& candidates);
    ServerVerdict CheckApache(const CheckRequest& request, const std::string& folder);
    ServerVerdict CheckPhp(const CheckRequest& request, const CandidateFile& file, const std::string& folder);
    ServerVerdict CheckMySql(
        const CheckRequest& request, const CandidateFile& file, const std::string& folder);

    CapturingRunner& m_runner;
    std::chrono::milliseconds m_timeLimit;
};

/// One check on a thread of its own. `alongside`, when given, runs on a further thread meanwhile.
/// `done` is called once both have ended, on the check's thread, with the report: the caller hands
/// it to its own thread (for a window, by posting it to the event loop). The destructor waits for
/// the check to end.
class BackgroundCheck final
{
public:
    BackgroundCheck(ServerChecker& checker, CheckRequest request, std::function<void(CheckReport)> done,
        std::function<void()> alongside = {});
    ~BackgroundCheck();
    BackgroundCheck(const BackgroundCheck&) = delete;
    BackgroundCheck& operator=(const BackgroundCheck&) = delete;

private:
    std::thread m_thread;
};

} // namespace larkspan
