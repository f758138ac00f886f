#pragma once

#include "config/config_files.h"
#include "config/file_batch.h"
#include "platform/capturing_runner.h"

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace larkspan {

/// The servers whose files a save can touch, each with the bundle's own checker.
enum class CheckedServer { Apache, Php, MySQL };
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

/// Runs the bundle's own checkers on the candidate files: Apache in its configuration-test mode,
/// PHP starting up on the candidate php.ini, the MySQL server listing the values it would use.
/// The candidates are written to a private temporary folder, never beside the live files, and
/// removed afterwards.
class ServerChecker final
{
public:
    explicit ServerChecker(
        CapturingRunner& runner, std::chrono::milliseconds timeLimit = std::chrono::seconds(20));

    /// Blocking, a checker's time at most per server: call it from a worker thread. A stop
    /// requested through `stop` ends the checker running within a tenth of a second and skips
    /// the others; the report then counts for nothing.
    CheckReport Check(const CheckRequest& request, std::stop_token stop = {});

private:
    struct CheckerRun
    {
        std::string program; ///< native, for messages
        CapturedRun run; ///< private paths in its output replaced by the live ones
    };
    /// Runs a checker's `command`; `candidates` pairs each private copy with its live file.
    CheckerRun RunChecker(const Command& command,
        const std::vector<std::pair<std::string, std::string>>& candidates, std::stop_token stop);
    ServerVerdict CheckApache(const CheckRequest& request, const std::string& folder, std::stop_token stop);
    ServerVerdict CheckPhp(const CheckRequest& request, const CandidateFile& file, const std::string& folder,
        std::stop_token stop);
    ServerVerdict CheckMySql(const CheckRequest& request, const CandidateFile& file,
        const std::string& folder, std::stop_token stop);

    CapturingRunner& m_runner;
    std::chrono::milliseconds m_timeLimit;
};

} // namespace larkspan
