#pragma once

#include "config/config_files.h"
#include "platform/text_code_page.h"
#include "safety/checked_save.h"
#include "ui/message_boxes.h"

#include <string>
#include <string_view>
#include <vector>

namespace larkspan {

/// The virtual-host editor's file handling: vhosts.conf is shown as free text, each line followed
/// by CR LF, and saved back whole. Lines the user did not change keep their bytes.
class VirtualHosts final
{
public:
    /// Without `checked`, a save is written at once; with it, Apache checks it first.
    VirtualHosts(ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage,
        CheckedSave* checked = nullptr);

    /// The fixed example block and explanation shown beside the editor.
    static std::string ExampleBlock();
    static std::string Explanation();

    /// Reads vhosts.conf afresh and returns its text for the box. A missing file gives the empty
    /// text; an unreadable one is reported, gives the empty text and blocks saving until the next
    /// Load.
    std::string Load();
    /// Writes `text` (lines separated by CR LF) without its leading and trailing blanks; nothing
    /// when it is what Load returned. Returns whether the dialog may close now.
    bool Save(const std::string& text);

private:
    struct Line
    {
        std::string bytes; ///< without the line end
        std::string lineEnd;
        std::string shown;
        bool exact = true;
    };
    /// The file's bytes for the box's lines, or nothing when the user declined or a line cannot
    /// be written.
    bool Compose(const std::vector<std::string>& lines, bool lastTerminated, std::string& content);

    ConfigFiles& m_files;
    MessageBoxes& m_messages;
    const TextCodePage& m_codePage;
    CheckedSave* m_checked;
    std::string m_path;
    std::string m_lineEnd;
    std::string m_original;
    std::vector<Line> m_lines;
    std::string m_shown;
    bool m_readable = false;
    bool m_missing = false;
};

} // namespace larkspan
