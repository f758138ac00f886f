#pragma once

#include <string>
#include <string_view>

namespace larkspan {

/// Where the bundle keeps the servers' files and programs, relative to AppDir and written the Windows
/// way; the file layer maps them (native_path.h). The only place these names are spelt.
namespace paths {
inline constexpr std::string_view kApacheRoot = "\\Apache2";
inline constexpr std::string_view kHttpdConf = "\\Apache2\\conf\\httpd.conf";
inline constexpr std::string_view kVhostsConf = "\\Apache2\\conf\\vhosts.conf";
inline constexpr std::string_view kApacheLogs = "\\Apache2\\logs";
inline constexpr std::string_view kApacheErrorLog = "\\Apache2\\logs\\error.log";
/// What the service commands print, the servers' messages from before their own logs are open
/// among it: the launcher sends hidden programs' output here.
inline constexpr std::string_view kServicesLog = "\\Apache2\\logs\\services.log";
inline constexpr std::string_view kApacheProgram = "\\Apache2\\bin\\httpd.exe";

inline constexpr std::string_view kPhpIni = "\\PHP5\\php.ini";
inline constexpr std::string_view kPhpProgram = "\\PHP5\\php.exe";

inline constexpr std::string_view kMyIni = "\\MySQL\\my.ini";
inline constexpr std::string_view kMySqlData = "\\MySQL\\data";
inline constexpr std::string_view kMySqlServerProgram = "\\MySQL\\bin\\mysqld-nt.exe";
inline constexpr std::string_view kMySqlAdmin = "\\MySQL\\bin\\mysqladmin";
/// Spelt in lower case as the console command always was; the file layer finds "MySQL".
inline constexpr std::string_view kMySqlConsole = "\\mysql\\bin\\mysql.exe";

/// Copies of the files a save replaced, for its undo.
inline constexpr std::string_view kHistory = "\\history";

/// The launcher's stand-ins of the Windows programs (net, notepad.exe, ...) on other systems.
inline constexpr std::string_view kStandIns = "\\bin";

// Relative to the web root (DocumentRoot of Larkspan.ini), not to AppDir.
inline constexpr std::string_view kPhpMyAdmin = "\\phpMyAdmin";
inline constexpr std::string_view kPhpMyAdminConfig = "\\phpMyAdmin\\libraries\\config.default.php";
/// The site's own phpMyAdmin settings, read over the defaults of kPhpMyAdminConfig when present.
inline constexpr std::string_view kPhpMyAdminLocalConfig = "\\phpMyAdmin\\config.inc.php";
inline constexpr std::string_view kPhpInfoFile = "\\phpinfo.php";

/// The last component of one of the paths above: a program's image name ("httpd.exe").
constexpr std::string_view FileName(std::string_view path)
{
    return path.substr(path.find_last_of('\\') + 1);
}
} // namespace paths

/// One of the paths relative to the web root as the local address's path ("/phpinfo.php").
inline std::string UrlPath(std::string_view path)
{
    std::string result(path);
    for (char& c : result)
        c = c == '\\' ? '/' : c;
    return result;
}

/// `folder` (AppDir, or the web root for the paths relative to it) followed by one of the paths above.
inline std::string InBundle(std::string_view folder, std::string_view path)
{
    std::string result(folder);
    result += path;
    return result;
}

} // namespace larkspan
