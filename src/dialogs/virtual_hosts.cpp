#include "virtual_hosts.h"

#include "text_lines.h"

namespace larkspan {

VirtualHosts::VirtualHosts(ConfigFiles& files, MessageBoxes& messages)
    : m_files(files)
    , m_messages(messages)
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

std::string VirtualHosts::LinesWithCrLf(std::string_view content)
{
    std::string text;
    text.reserve(content.size() + content.size() / 16);
    std::size_t start = 0;
    while (start < content.size()) {
        const auto end = content.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            text.append(content.substr(start)).append("\r\n");
            break;
        }
        text.append(content.substr(start, end - start)).append("\r\n");
        start = end + (content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n' ? 2 : 1);
    }
    return text;
}

std::string VirtualHosts::Load()
{
    m_path = m_files.AppDir() + "\\Apache2\\conf\\vhosts.conf";
    std::string content;
    m_lineEnd = kPlatformLineEnd;
    if (auto status = m_files.ReadFile(m_path, content); !status.ok()) {
        // A missing file is simply not written yet; anything else must not be replaced by an
        // empty box the user never saw the content of.
        m_readable = !m_files.Exists(m_path);
        if (!m_readable)
            m_messages.Inform("无法读取站点配置文件：\n" + status.message());
        return {};
    }
    m_readable = true;
    m_lineEnd = LineEndConvention(content);
    return LinesWithCrLf(content);
}

bool VirtualHosts::Save(const std::string& text)
{
    if (!m_readable) {
        m_messages.Inform("站点配置文件没有读出，为免覆盖其内容，没有保存：\n" + m_path);
        return false;
    }
    const auto first = text.find_first_not_of(' ');
    const std::string trimmed = first == std::string::npos
        ? std::string()
        : text.substr(first, text.find_last_not_of(' ') - first + 1);
    // The box separates lines with CR LF; the file keeps its own convention.
    std::string content;
    content.reserve(trimmed.size());
    for (std::size_t start = 0;;) {
        const auto end = trimmed.find("\r\n", start);
        content.append(trimmed, start, end == std::string::npos ? std::string::npos : end - start);
        if (end == std::string::npos)
            break;
        content.append(m_lineEnd);
        start = end + 2;
    }
    if (auto status = m_files.WriteTextFile(m_path, content); !status.ok()) {
        m_messages.Inform("站点信息没有保存：\n" + status.message());
        return false;
    }
    m_messages.Inform("站点信息已保存，重起Apache生效。");
    return true;
}

} // namespace larkspan
