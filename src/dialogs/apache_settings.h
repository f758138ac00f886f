#pragma once

#include "config_files.h"
#include "messages.h"

#include <string>

namespace larkspan {

/// The texts of the Apache settings dialog's boxes.
struct ApacheFields
{
    std::string listen;
    std::string root;
    std::string sname;
    std::string admin;
    std::string index;
    bool operator==(const ApacheFields&) const = default;
};

/// Loading and saving of the Apache settings: Larkspan.ini [Apache] is the record, httpd.conf
/// only receives rewritten directive lines.
class ApacheSettings final
{
public:
    ApacheSettings(ConfigFiles& files, MessageBoxes& messages);

    /// Reads Larkspan.ini afresh; the result is also the reference for the next Save.
    ApacheFields Load();
    /// Checks the entries, writes what changed and tells the user. Returns whether the dialog
    /// may close (false after a failed check or a failed write).
    bool Save(const ApacheFields& fields);

private:
    ConfigFiles& m_files;
    MessageBoxes& m_messages;
    std::string m_configPath;
    ApacheFields m_loaded;
};

} // namespace larkspan
