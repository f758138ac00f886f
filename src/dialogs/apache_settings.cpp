#include "dialogs/apache_settings.h"

#include "config/bundle_paths.h"
#include "config/settings_keys.h"
#include "dialogs/setting_rows.h"
#include "texts/catalogue.h"

namespace larkspan {

namespace {

constexpr std::string_view kSiteDirectoryField = "网站目录";

} // namespace

std::optional<std::string> QuotedArgumentProblem(
    std::string_view field, std::string_view directive, std::string_view value)
{
    // Inside quotes Apache ends the argument at the next quote and reads \" and \\ as escapes.
    if (value.find('"') != std::string_view::npos || value.ends_with('\\')
        || value.find("\\\\") != std::string_view::npos)
        return catalogue::FieldHoldsQuote(field, directive);
    return std::nullopt;
}

ApacheSettings::ApacheSettings(
    ConfigFiles& files, MessageBoxes& messages, const TextCodePage& codePage, CheckedSave* checked)
    : SettingsDialogLogic(
        files, messages, codePage, checked, paths::kHttpdConf, "Apache设置", catalogue::kApacheSaved)
{ }

ApacheFields ApacheSettings::Load()
{
    const Record read = LoadRecord();
    m_loaded.admin = read(keys::kApacheServerAdmin);
    m_loaded.listen = read(keys::kApacheListen);
    m_loaded.sname = read(keys::kApacheServerName);
    m_loaded.root = read(keys::kApacheDocumentRoot);
    m_loaded.index = read(keys::kApacheDirectoryIndex);
    return {m_loaded.listen.text, m_loaded.root.text, m_loaded.sname.text, m_loaded.admin.text,
        m_loaded.index.text};
}

bool ApacheSettings::Save(const ApacheFields& fields)
{
    // The directory Apache will use: the bytes it will read, relative to its ServerRoot, exactly as
    // written. A pattern is never a directory to Apache.
    const std::optional<std::string> root = BytesFor(m_codePage, m_loaded.root, fields.root);
    if (!root) {
        m_messages.Inform(catalogue::FieldNotInCodePage(kSiteDirectoryField));
        return false;
    }
    const ServerDirectory directory = root->find_first_of("*?") != std::string::npos
        ? ServerDirectory::Missing
        : m_files.CheckServerDirectory(*root, InBundle(m_files.AppDir(), paths::kApacheRoot));
    if (directory == ServerDirectory::ForeignSeparator) {
        m_messages.Inform(catalogue::SiteDirectoryHoldsBackslash(fields.root));
        return false;
    }
    if (directory != ServerDirectory::Exists) {
        m_messages.Inform(std::string(catalogue::kSiteDirectoryMissing));
        return false;
    }
    if (!CheckNumber(fields.listen, catalogue::kApachePortNotANumber, catalogue::kApachePortNotWhole))
        return false;

    const auto directive = [this](std::string_view name, bool quoted) {
        return [this, name, quoted](FileBatch& batch, const std::string& value) {
            return batch.RewriteDirective(serverFile(), name, quoted ? "\"" + value + "\"" : value);
        };
    };
    const std::vector<SettingRow> rows {
        {"端口", keys::kApacheListen, m_loaded.listen, fields.listen, {directive("Listen", false)}},
        {"站长信箱", keys::kApacheServerAdmin, m_loaded.admin, fields.admin,
            {directive("ServerAdmin", false)}},
        {"网站名称", keys::kApacheServerName, m_loaded.sname, fields.sname, {directive("ServerName", false)}},
        {kSiteDirectoryField, keys::kApacheDocumentRoot, m_loaded.root, fields.root,
            {directive("DocumentRoot", true)},
            [](std::string_view value) {
                return QuotedArgumentProblem(kSiteDirectoryField, "DocumentRoot", value);
            }},
        {"默认首页", keys::kApacheDirectoryIndex, m_loaded.index, fields.index,
            {directive("DirectoryIndex", false)}},
    };
    return SaveRows(rows);
}

} // namespace larkspan
