#pragma once

#include "app/service_kind.h"

#include <string>
#include <vector>

namespace larkspan {

class ConfigFiles;
class TextCodePage;

/// Where the server `kind` writes its error output, as native paths: Apache's error.log, or
/// MariaDB's error file as MariaDB finds it (log-error of my.ini, else the ".err" files of its data
/// folder); last the services log, which holds what the servers print before their own logs are open.
/// my.ini holds its paths in `fileCodePage` (MySQL reads them so); the file layer takes them in
/// `pathCodePage`.
std::vector<std::string> ServerErrorFiles(
    ConfigFiles& files, ServiceKind kind, const TextCodePage& fileCodePage, const TextCodePage& pathCodePage);

} // namespace larkspan
