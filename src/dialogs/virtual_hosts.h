#pragma once

#include "config_files.h"
#include "messages.h"

#include <string>
#include <string_view>

namespace larkspan {

/// The virtual-host editor's file handling: vhosts.conf is loaded as free text, each line followed
/// by CR LF, and saved back whole.
class VirtualHosts final
{
public:
    VirtualHosts(ConfigFiles& files, MessageBoxes& messages);

    /// The fixed example block and explanation shown beside the editor.
    static std::string ExampleBlock();
    static std::string Explanation();
    /// Every line of `content` (ending at CR LF, CR or LF) followed by CR LF.
    static std::string LinesWithCrLf(std::string_view content);

    /// Reads vhosts.conf afresh. A missing file gives the empty text; an unreadable one is
    /// reported, gives the empty text and blocks saving until the next Load.
    std::string Load();
    /// Writes `text` without its leading and trailing blanks. Returns whether the dialog may close.
    bool Save(const std::string& text);

private:
    ConfigFiles& m_files;
    MessageBoxes& m_messages;
    std::string m_path;
    std::string m_lineEnd;
    bool m_readable = false;
};

} // namespace larkspan
