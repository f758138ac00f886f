#include "dialogs/virtual_hosts.h"

#include "config/ascii_text.h"
#include "config/bundle_paths.h"
#include "config/text_lines.h"
#include "dialogs/shown_text.h"
#include "texts/catalogue.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

namespace larkspan {

namespace {

constexpr std::string_view kBoxLineEnd = "\r\n";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Characters a text editor widget turns into line breaks (U+2029, and the noncharacters U+FDD0 and
// U+FDD1 that Qt's text document uses as frame marks): a line holding one could not come back from
// the box as shown, so it is shown with U+FFFD there and kept as bytes like undecodable text.
constexpr std::string_view kBreakingCharacters[] = {"\xE2\x80\xA9", "\xEF\xB7\x90", "\xEF\xB7\x91"};

bool ReplaceBreakingCharacters(std::string& text)
{
    bool replaced = false;
    for (const std::string_view breaking : kBreakingCharacters) {
        for (auto found = text.find(breaking); found != std::string::npos;
             found = text.find(breaking, found)) {
            text.replace(found, breaking.size(), kReplacement);
            replaced = true;
        }
    }
    return replaced;
}

} // namespace

VirtualHosts::VirtualHosts(
    ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage, CheckedSave* checked)
    : m_files(files)
    , m_messages(messages)
    , m_codePage(codePage)
    , m_checked(checked)
{ }

std::string VirtualHosts::ExampleBlock()
{
    return "<VirtualHost *:80>\r\n"
           "    ServerAdmin webmaster@example.com\r\n"
           "    DocumentRoot \"D:/www\"\r\n"
           "    ServerName www.example.com\r\n"
           "    ServerAlias example.com\r\n"
           "</VirtualHost>";
}

std::string VirtualHosts::Explanation()
{
    return "说明：\r\nServerAdmin 信箱\r\nDocumentRoot 站点目录\r\nServerName 域名\r\nServerAlias "
           "域名别名\r\n"
           "多站点请重复示例内容";
}

std::string VirtualHosts::Load()
{
    m_path = InBundle(m_files.AppDir(), paths::kVhostsConf);
    m_lines.clear();
    m_shown.clear();
    m_original.clear();
    m_lineEnd = kPlatformLineEnd;
    std::string content;
    if (Status status = m_files.ReadFile(m_path, content, m_missing); !status.ok()) {
        // A missing file is simply not written yet; anything else must not be replaced by an
        // empty box the user never saw the content of.
        m_readable = m_missing;
        if (!m_readable)
            m_messages.Inform(catalogue::HostsUnreadable(status.message()));
        return {};
    }
    m_readable = true;
    m_lineEnd = LineEndConvention(content);
    ForEachLine(content, [&](const TextLine& line) {
        ShownText shown = ShowText(m_codePage, content.substr(line.begin, line.textEnd - line.begin));
        const bool broken = ReplaceBreakingCharacters(shown.text);
        m_shown.append(shown.text).append(kBoxLineEnd);
        m_lines.push_back({std::move(shown.bytes), content.substr(line.textEnd, line.end - line.textEnd),
            std::move(shown.text), shown.exact && !broken});
    });
    m_original = std::move(content);
    return m_shown;
}

bool VirtualHosts::Compose(const std::vector<std::string>& lines, bool lastTerminated, std::string& content)
{
    // Lines are matched with what was loaded: the unchanged run at the start and at the end, and
    // in between each loaded line that could not be shown exactly, wherever its text still
    // stands. Those keep their bytes; every other line is encoded from its text.
    const std::size_t common = std::min(lines.size(), m_lines.size());
    std::size_t head = 0;
    while (head < common && lines[head] == m_lines[head].shown)
        ++head;
    std::size_t tail = 0;
    while (tail < common - head && lines[lines.size() - 1 - tail] == m_lines[m_lines.size() - 1 - tail].shown)
        ++tail;

    std::vector<const Line*> source(lines.size(), nullptr);
    for (std::size_t i = 0; i < head; ++i)
        source[i] = &m_lines[i];
    for (std::size_t i = 0; i < tail; ++i)
        source[lines.size() - 1 - i] = &m_lines[m_lines.size() - 1 - i];
    std::unordered_map<std::string_view, std::deque<std::size_t>> changedLines;
    for (std::size_t i = head; i < lines.size() - tail; ++i)
        changedLines[lines[i]].push_back(i);
    bool lost = false;
    for (std::size_t old = head; old < m_lines.size() - tail; ++old) {
        if (m_lines[old].exact)
            continue;
        const auto found = changedLines.find(m_lines[old].shown);
        if (found == changedLines.end() || found->second.empty()) {
            lost = true;
            continue;
        }
        source[found->second.front()] = &m_lines[old];
        found->second.pop_front();
    }

    content.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view lineEnd = m_lineEnd;
        if (source[i]) {
            content.append(source[i]->bytes);
            if (!source[i]->lineEnd.empty())
                lineEnd = source[i]->lineEnd;
        } else {
            const std::optional<std::string> bytes = m_codePage.Encode(lines[i]);
            if (!bytes) {
                m_messages.Inform(catalogue::HostsLineNotInCodePage(i + 1));
                return false;
            }
            content.append(*bytes);
        }
        if (i + 1 < lines.size() || lastTerminated)
            content.append(lineEnd);
    }
    return !lost || m_messages.Confirm(catalogue::ConfirmReplacingUndecodableLines(NativePath(m_path)));
}

bool VirtualHosts::Save(const std::string& text)
{
    if (!m_readable) {
        m_messages.Inform(catalogue::HostsNotSavedUnread(NativePath(m_path)));
        return false;
    }
    if (text == m_shown && !m_missing)
        return true;

    const std::string trimmed(Trim(text, " "));
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < trimmed.size();) {
        const auto end = trimmed.find(kBoxLineEnd, start);
        lines.push_back(trimmed.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? trimmed.size() : end + kBoxLineEnd.size();
    }
    std::string content;
    if (!Compose(lines, trimmed.ends_with(kBoxLineEnd), content))
        return false;
    if (content == m_original && !m_missing)
        return true;
    // The last line ends like the file's other lines, as every whole-file write of the panel leaves it.
    if (!content.empty() && content.back() != '\n' && content.back() != '\r')
        content += m_lineEnd;
    FileBatch batch(m_files);
    if (Status status = batch.Restore(m_path, std::move(content)); !status.ok()) {
        m_messages.Inform(catalogue::HostsNotSaved(status.message()));
        return false;
    }
    return SubmitSave(std::move(batch), m_messages, m_checked,
        {"站点管理", std::string(catalogue::kHostsSaved),
            [](std::string_view reason) { return catalogue::HostsNotSaved(reason); }});
}

} // namespace larkspan
