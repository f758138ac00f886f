#include "app/error_files.h"

#include "config/bundle_paths.h"
#include "config/config_files.h"
#include "config/folders.h"
#include "config/ini.h"
#include "config/native_path.h"

#include <algorithm>

namespace larkspan {

namespace {

constexpr std::size_t kMaxErrorFiles = 4;
constexpr std::string_view kMySqlSection = "mysqld";
constexpr std::string_view kErrorExtension = ".err";

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
            configured += kErrorExtension;
        return {NativePath(ResolveIniPath(configured, dataFolder))};
    }
    std::vector<std::string> names;
    if (!ListFiles(NativePath(dataFolder), names).ok())
        return {};
    std::vector<std::string> found;
    for (const std::string& name : names) {
        if (name.size() > kErrorExtension.size() && name.ends_with(kErrorExtension))
            found.push_back(NativePath(dataFolder + "\\" + name));
    }
    std::sort(found.begin(), found.end());
    if (found.size() > kMaxErrorFiles)
        found.resize(kMaxErrorFiles);
    return found;
}

} // namespace

std::vector<std::string> ServerErrorFiles(ConfigFiles& files, ServiceKind kind)
{
    std::vector<std::string> paths = kind == ServiceKind::Apache
        ? std::vector<std::string> {NativePath(InBundle(files.AppDir(), paths::kApacheErrorLog))}
        : MySqlErrorFiles(files);
    paths.push_back(NativePath(InBundle(files.AppDir(), paths::kServicesLog)));
    return paths;
}

} // namespace larkspan
