#pragma once

#include "app/service_kind.h"

#include <string>
#include <vector>

namespace larkspan {

class ConfigFiles;

/// Where the server `kind` writes its error output, as native paths: Apache's error.log, or
/// MariaDB's error file as MariaDB finds it (log-error of my.ini, else the ".err" files of its data
/// folder); last the services log, which holds what the servers print before their own logs are open.
std::vector<std::string> ServerErrorFiles(ConfigFiles& files, ServiceKind kind);

} // namespace larkspan
