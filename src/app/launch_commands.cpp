#include "app/launch_commands.h"

#include "config/bundle_paths.h"
#include "config/maker_site.h"
#include "config/native_path.h"
#include "config/settings_keys.h"
#include "config/text_lines.h"
#include "safety/history_commit.h"
#include "texts/catalogue.h"

namespace larkspan {

namespace {

constexpr const char* kEditor = "notepad.exe";
// The file browser also hands web addresses to the web browser.
constexpr const char* kBrowser = "explorer.exe";

// The long open tag: with short_open_tag Off (PHP's shipped php.ini files, or the PHP settings
// dialog) a bare "<?" page would be sent out as text instead of running.
constexpr std::string_view kPhpInfoPage = "<?php   phpinfo();   ?>";

std::string MakerPage(std::string_view path)
{
    return std::string(kMakerSiteBase) + std::string(path);
}

} // namespace

std::string LocalBaseUrl(std::string_view listen)
{
    if (listen == "80")
        return "http://localhost";
    return "http://localhost:" + std::string(listen);
}

LaunchCommands::LaunchCommands(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages,
    DialogHost& dialogs, SettingsHistory& history)
    : m_files(files)
    , m_launcher(launcher)
    , m_messages(messages)
    , m_dialogs(dialogs)
    , m_history(history)
{ }

std::optional<std::string> LaunchCommands::ReadSetting(const SettingsKey& key)
{
    // An unreadable file must not pass for empty values: a page at the top of the file system,
    // an address without a port.
    if (Status readable = m_files.IniReadable(kSettingsFile); !readable.ok()) {
        m_messages.Inform(catalogue::SettingsFileUnreadable(readable.message()));
        return std::nullopt;
    }
    // Read afresh every time: a settings dialog may have changed the value since the last command.
    return m_files.IniRead(key.section, key.key, "", kSettingsFile);
}

void LaunchCommands::Launch(const Command& command, WindowStyle style)
{
    const Status status = m_launcher.LaunchProgram(command, style);
    if (!status.ok())
        m_messages.Inform(status.message());
}

void LaunchCommands::OpenAddress(std::string address)
{
    Launch(Command {kBrowser, {Argument::url(std::move(address))}}, WindowStyle::MinimizedFocus);
}

void LaunchCommands::phpini()
{
    Launch(Command {kEditor, {Argument::path(InBundle(m_files.AppDir(), paths::kPhpIni))}},
        WindowStyle::NormalFocus);
}

void LaunchCommands::httpdconf()
{
    Launch(Command {kEditor, {Argument::path(InBundle(m_files.AppDir(), paths::kHttpdConf))}},
        WindowStyle::NormalFocus);
}

void LaunchCommands::mysqlini()
{
    Launch(Command {kEditor, {Argument::path(InBundle(m_files.AppDir(), paths::kMyIni))}},
        WindowStyle::NormalFocus);
}

void LaunchCommands::phpmyadmininc()
{
    // phpMyAdmin lives inside the web root, not under AppDir.
    const std::optional<std::string> documentRoot = ReadSetting(keys::kApacheDocumentRoot);
    if (!documentRoot)
        return;
    Launch(Command {kEditor, {Argument::path(InBundle(*documentRoot, paths::kPhpMyAdminConfig))}},
        WindowStyle::NormalFocus);
}

void LaunchCommands::wwwroot()
{
    if (const std::optional<std::string> documentRoot = ReadSetting(keys::kApacheDocumentRoot))
        Launch(Command {kBrowser, {Argument::path(*documentRoot)}}, WindowStyle::NormalFocus);
}

void LaunchCommands::mysqldata()
{
    Launch(Command {kBrowser, {Argument::path(InBundle(m_files.AppDir(), paths::kMySqlData))}},
        WindowStyle::NormalFocus);
}

void LaunchCommands::apachelog()
{
    Launch(Command {kBrowser, {Argument::path(InBundle(m_files.AppDir(), paths::kApacheLogs))}},
        WindowStyle::NormalFocus);
}

void LaunchCommands::mysqlconsole()
{
    Launch(Command {InBundle(m_files.AppDir(), paths::kMySqlConsole),
               {Argument::literal("-uroot"), Argument::literal("-p")}},
        WindowStyle::NormalFocus);
}

void LaunchCommands::servicecontrol()
{
    Launch(
        Command {"cmd", {Argument::literal("/c"), Argument::literal("services.msc")}}, WindowStyle::Hidden);
}

void LaunchCommands::homepage()
{
    if (const std::optional<std::string> listen = ReadSetting(keys::kApacheListen))
        OpenAddress(LocalBaseUrl(*listen));
}

void LaunchCommands::phpmyadmin()
{
    if (const std::optional<std::string> listen = ReadSetting(keys::kApacheListen))
        OpenAddress(LocalBaseUrl(*listen) + UrlPath(paths::kPhpMyAdmin));
}

void LaunchCommands::phpinfo()
{
    const std::optional<std::string> listen = ReadSetting(keys::kApacheListen);
    const std::optional<std::string> documentRoot
        = listen ? ReadSetting(keys::kApacheDocumentRoot) : std::nullopt;
    if (!documentRoot)
        return;
    const std::string page = InBundle(*documentRoot, paths::kPhpInfoFile);
    // Without a site directory the page would land in the root of the file system.
    if (documentRoot->empty()) {
        m_messages.Inform(catalogue::SiteDirectoryNotSet(NativePath(page)));
        return;
    }
    // Not a server's file: recorded for the undo, with nothing for a checker to read.
    std::string text(kPhpInfoPage);
    TerminateLastLine(text);
    FileBatch batch(m_files);
    Status written = batch.Restore(page, std::move(text));
    if (written.ok())
        written = CommitWithHistory(batch, m_history, "phpinfo");
    if (!written.ok()) {
        m_messages.Inform(written.message());
        return;
    }
    OpenAddress(LocalBaseUrl(*listen) + UrlPath(paths::kPhpInfoFile));
}

void LaunchCommands::phpmanual()
{
    OpenAddress(MakerPage("/notebook/php/index.html"));
}
void LaunchCommands::jsmanual()
{
    OpenAddress(MakerPage("/notebook/js/javascript.html"));
}
void LaunchCommands::cssmanual()
{
    OpenAddress(MakerPage("/notebook/css/index.html"));
}
void LaunchCommands::faqs()
{
    OpenAddress(MakerPage("/html/Larkspan/index.html"));
}
void LaunchCommands::update()
{
    OpenAddress(MakerPage("/"));
}

void LaunchCommands::apcheset()
{
    m_dialogs.ShowApacheSettings();
}
void LaunchCommands::phpset()
{
    m_dialogs.ShowPhpSettings();
}
void LaunchCommands::mysqlset()
{
    m_dialogs.ShowMySqlSettings();
}
void LaunchCommands::zhanCom()
{
    m_dialogs.ShowSiteManagement();
}
void LaunchCommands::about()
{
    m_dialogs.ShowAbout();
}

} // namespace larkspan
