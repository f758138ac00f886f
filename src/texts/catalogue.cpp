#include "texts/catalogue.h"

namespace larkspan::catalogue {

// Start-up.
const std::string_view kAlreadyRunning = "您已经运行这个应用程序了！";
std::string NoInstanceLock(std::string_view reason)
{
    return "无法建立单实例锁，不能确认本程序是否已经在运行：\n" + std::string(reason);
}

const std::string_view kFolderIsSymlink = "是符号链接，不是目录";
const std::string_view kNotADirectory = "不是目录";
const std::string_view kLockNotRegularFile = "不是普通文件";
const std::string_view kOwnedByAnother = "属于另一个用户";
std::string NoDisplay(std::string_view reason)
{
    return "LarkspanAdmin 无法打开窗口：没有可用的图形显示。请在图形桌面中启动，或把环境变量 DISPLAY"
           "（Wayland 下为 WAYLAND_DISPLAY）设为一个可用的显示。\n"
        + std::string(reason);
}

// The settings dialogs' checks and outcomes.
const std::string_view kSiteDirectoryMissing = "网站的目录不存在！";
const std::string_view kApachePortNotANumber = "Apache端口请填数字！";
const std::string_view kApachePortNotWhole = "Apache端口请填正整数！";
const std::string_view kApacheSaved = "设置成功，重起Apache生效。";
const std::string_view kMaxTimeNotANumber = "最长时间请填数字！";
const std::string_view kMaxTimeNotWhole = "最长时间请填正整数！";
const std::string_view kUploadNotANumber = "上传文件的大小请填数字！";
const std::string_view kUploadNotWhole = "上传文件的大小请填正整数！";
const std::string_view kMySqlPortNotANumber = "MySQL端口请填数字！";
const std::string_view kMySqlPortNotWhole = "MySQL端口请填正整数！";
const std::string_view kConnectionsNotANumber = "MySQL最大连接数请填数字！";
const std::string_view kConnectionsNotWhole = "MySQL最大连接数请填正整数！";
const std::string_view kMySqlSaved = "设置成功，重起MSQL生效。";
const std::string_view kPickSiteDirectory = "请选择网站的目录";

std::string SaveFailed(std::string_view reason)
{
    return "设置保存失败：\n" + std::string(reason);
}

std::string FieldHoldsLineBreak(std::string_view field)
{
    return "“" + std::string(field) + "”不能含有换行符或NUL字符：配置文件的一行放不下它。";
}

std::string FieldHoldsQuote(std::string_view field, std::string_view directive)
{
    return "“" + std::string(field)
        + "”不能含有双引号（\"），也不能以反斜杠（\\）结尾或含有两个相连的反斜杠：httpd.conf 中用引号括起的 "
        + std::string(directive) + " 无法原样表示它。";
}

std::string FieldNotInCodePage(std::string_view field)
{
    return "“" + std::string(field) + "”含有系统代码页无法表示的字符，无法写入配置文件。";
}

std::string ConfirmReplacingUndecodable(std::string_view field)
{
    return "“" + std::string(field)
        + "”原来的内容含有无法按系统代码页显示的字节，保存后这些字节将被替换。\n确定要保存吗？";
}

std::string SiteDirectoryHoldsBackslash(std::string_view path)
{
    return "网站的目录不存在！\n" + std::string(path)
        + "：本系统的路径以 / 分隔，反斜杠（\\）只是文件名中的普通字符。";
}

std::string SettingsFileUnreadable(std::string_view reason)
{
    return "无法读取设置文件：\n" + std::string(reason);
}

// What a file cannot hold, after "path: ".
const std::string_view kNotText = "不是文本格式的配置文件（含有NUL或其他控制字符）";
std::string ValueHoldsLineBreak(std::string_view name)
{
    return std::string(name) + " 的值含有换行符或NUL字符";
}

std::string NameHoldsLineBreak(std::string_view name)
{
    return "名称“" + std::string(name) + "”含有换行符或NUL字符";
}

const std::string_view kSectionNameEmpty = "节的名称为空";
std::string SectionNameHoldsBracket(std::string_view section)
{
    return "节的名称 [" + std::string(section) + "] 含有“]”";
}

const std::string_view kKeyNameEmpty = "键的名称为空";
std::string KeyNameHolds(std::string_view key, char what)
{
    return "键的名称“" + std::string(key) + "”含有“" + std::string(1, what) + "”";
}

const std::string_view kDirectiveNameEmpty = "指令的名称为空";
std::string DirectiveNameHoldsBlank(std::string_view directive)
{
    return "指令的名称“" + std::string(directive) + "”含有空白、换行符或NUL字符";
}

const std::string_view kNotRegularFile = "不是普通文件（是 FIFO、设备或套接字）";
const std::string_view kTooLarge = "文件超过 8 MB，太大，没有读取";
const std::string_view kIsLink = "是一个链接，为安全起见没有跟随它";
std::string LargerThan(std::size_t bytes)
{
    return "文件超过 " + std::to_string(bytes) + " 字节，太大，没有读取";
}

// A save of several files that failed part-way and could not be undone.
std::string FilesDisagree(std::string_view undoFailures, std::string_view newFiles, std::string_view oldFiles)
{
    return "\n\n另外，下列文件无法恢复原样：\n" + std::string(undoFailures)
        + "\n因此这些文件现在互不一致：\n已是新的设置：" + std::string(newFiles) + "\n仍是原来的设置："
        + std::string(oldFiles);
}

// The servers' own checks of a save's files, before anything is written.
std::string CheckRefused(std::string_view server, std::string_view lines)
{
    return std::string(server) + " 不接受新的设置，没有写入任何文件。检查程序的结果：\n" + std::string(lines);
}

std::string NotChecked(std::string_view server, std::string_view reason)
{
    return "注意：" + std::string(server) + " 的新设置没有经过检查（" + std::string(reason) + "）。";
}

std::string CheckFolderFailed(std::string_view reason)
{
    return "无法建立检查用的临时文件夹：" + std::string(reason);
}

std::string HostsNotIncluded(std::string_view httpdConf, std::string_view vhosts)
{
    return std::string(httpdConf) + " 没有读入 " + std::string(vhosts);
}

std::string MySqlWouldUse(std::string_view option, std::string_view value, std::string_view used)
{
    return std::string(option) + "=" + std::string(value) + "：MySQL 不会使用这个值，而会改用 "
        + std::string(used);
}

std::string PhpNegativeSize(std::string_view key, std::string_view value)
{
    return std::string(key) + " = " + std::string(value) + "：大小不能是负数";
}

std::string NotAllShown(std::string_view file)
{
    if (file.empty())
        return "……（太长，没有全部显示）";
    return "……（太长，没有全部显示；完整的内容保存在 " + std::string(file) + "）";
}

std::string CheckerGaveNoValues(std::string_view program, std::string_view names)
{
    return std::string(program) + ": 正常结束，却没有给出 " + std::string(names) + " 的值";
}

// The history of saves and the undo.
std::string HistoryFailed(std::string_view folder, std::string_view reason)
{
    return "无法在设置历史文件夹 " + std::string(folder) + " 中备份原来的文件，没有保存：\n"
        + std::string(reason);
}

std::string HistoryDamaged(std::string_view manifest)
{
    return std::string(manifest) + ": 不是完整的设置历史记录";
}

std::string HistoryIsLink(std::string_view folder)
{
    return "设置历史文件夹 " + std::string(folder)
        + " 是一个链接。为免在别处写入或删除文件，不使用它：请删除这个链接（或把它换成普通文件夹），再试一次"
          "。";
}

const std::string_view kNameHoldsControl = "路径中有控制字符，无法记入设置历史";

std::string ChangedDuringCheck(std::string_view path)
{
    return std::string(path)
        + ": 在检查新设置期间被其他程序修改过；为免覆盖这些修改，没有保存。请重新打开对话框再试。";
}

const std::string_view kNothingToUndo = "没有可以撤销的设置。";
std::string Undone(std::string_view dialog, std::string_view time, std::string_view servers)
{
    std::string text
        = "已撤销上次设置：" + std::string(dialog) + "（" + std::string(time) + " 保存），文件已恢复原样。";
    if (!servers.empty())
        text += "\n重起" + std::string(servers) + "生效。";
    return text;
}

std::string UndoFailed(std::string_view reason)
{
    return "撤销上次设置失败：\n" + std::string(reason);
}

namespace {

// The question before an undo or a redo that would discard changes made after what it takes back.
std::string ConfirmDiscarding(std::string_view heading, std::string_view since, std::string_view action,
    std::string_view changed, std::string_view unknown)
{
    std::string text = std::string(heading) + "\n";
    if (!changed.empty())
        text += std::string(changed) + " 在" + std::string(since) + "之后又被修改过，" + std::string(action)
            + "将丢弃这些修改。";
    if (!unknown.empty())
        text += (changed.empty() ? "" : "\n")
            + std::string("这条记录由较早的版本写下，没有记下写入的内容，无法判断 ") + std::string(unknown)
            + " 在" + std::string(since) + "之后是否又被修改过；如果修改过，" + std::string(action)
            + "将丢弃这些修改。";
    return text + "继续吗？";
}

} // namespace

std::string ConfirmUndoDiscarding(
    std::string_view dialog, std::string_view time, std::string_view changed, std::string_view unknown)
{
    return ConfirmDiscarding("撤销上次设置：" + std::string(dialog) + "（" + std::string(time) + " 保存）",
               "保存", "撤销", changed, unknown)
        + "\n（撤销之后，“恢复上次撤销”可以找回被丢弃的内容。）";
}

std::string NotWrittenBySaves(std::string_view entry, std::string_view file)
{
    return "设置历史记录 " + std::string(entry) + " 要改动 " + std::string(file)
        + "，而保存设置从不写入这个文件；为安全起见，没有改动任何文件。";
}

const std::string_view kNothingToRedo = "没有可以恢复的撤销。";

std::string Redone(std::string_view dialog, std::string_view time, std::string_view servers)
{
    std::string text = "已恢复上次撤销的设置：" + std::string(dialog) + "（" + std::string(time)
        + " 撤销），文件已恢复为撤销之前的内容。";
    if (!servers.empty())
        text += "\n重起" + std::string(servers) + "生效。";
    return text;
}

std::string RedoFailed(std::string_view reason)
{
    return "恢复上次撤销失败：\n" + std::string(reason);
}

std::string ConfirmRedoDiscarding(
    std::string_view dialog, std::string_view time, std::string_view changed, std::string_view unknown)
{
    return ConfirmDiscarding("恢复上次撤销：" + std::string(dialog) + "（" + std::string(time) + " 撤销）",
        "撤销", "恢复", changed, unknown);
}

// Event-log messages; the log appends the time after their four blanks.
std::string LogSaved(std::string_view dialog)
{
    return std::string(dialog) + "已保存...    ";
}

std::string LogUndone(std::string_view dialog)
{
    return "已撤销上次设置（" + std::string(dialog) + "）...    ";
}

std::string LogRedone(std::string_view dialog)
{
    return "已恢复上次撤销的设置（" + std::string(dialog) + "）...    ";
}

// The server diagnostics in the event log. A server may still come up after its bound, so the
// headlines say what was seen, not "failed".
std::string NotStartedInTime(std::string_view server, int seconds)
{
    return std::string(server) + "在" + std::to_string(seconds) + "秒内没有启动：";
}

std::string GoneAfterStart(std::string_view server)
{
    return std::string(server) + "启动后又停止：";
}

std::string UnexpectedStop(std::string_view server)
{
    return std::string(server) + "意外停止：";
}

const std::string_view kNothingNew = "错误输出中没有新的内容";
std::string PortTakenByUnseen(unsigned port)
{
    return "端口 " + std::to_string(port) + " 已被一个无权查看的程序占用";
}

std::string PortTakenBy(unsigned port, std::string_view owners, bool more)
{
    return "端口 " + std::to_string(port) + " 已被 " + std::string(owners) + (more ? " 等程序占用" : " 占用");
}

const std::string_view kListSeparator = "、";
std::string ErrorFileUnreadable(std::string_view reason)
{
    return "无法读取 " + std::string(reason);
}

std::string OutputSkipped(std::string_view file, std::string_view skipped, std::string_view read)
{
    return std::string(file) + " 新增的内容太多，跳过了较早的 " + std::string(skipped) + "，只读取了最后的 "
        + std::string(read);
}

std::string ByteSize(unsigned long long bytes)
{
    constexpr unsigned long long kKilo = 1024;
    if (bytes < kKilo)
        return std::to_string(bytes) + " 字节";
    if (bytes < kKilo * kKilo)
        return std::to_string(bytes / kKilo) + " KB";
    const bool giga = bytes >= kKilo * kKilo * kKilo;
    const unsigned long long unit = giga ? kKilo * kKilo * kKilo : kKilo * kKilo;
    const unsigned long long tenths = (bytes + unit / 20) / (unit / 10);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + (giga ? " GB" : " MB");
}

// The virtual-host editor.
const std::string_view kHostsSaved = "站点信息已保存，重起Apache生效。";
std::string HostsUnreadable(std::string_view reason)
{
    return "无法读取站点配置文件：\n" + std::string(reason);
}

std::string HostsNotSavedUnread(std::string_view path)
{
    return "站点配置文件没有读出，为免覆盖其内容，没有保存：\n" + std::string(path);
}

std::string HostsNotSaved(std::string_view reason)
{
    return "站点信息没有保存：\n" + std::string(reason);
}

std::string HostsLineNotInCodePage(std::size_t line)
{
    return "站点信息第 " + std::to_string(line) + " 行含有系统代码页无法表示的字符，没有保存。";
}

std::string ConfirmReplacingUndecodableLines(std::string_view path)
{
    return std::string(path)
        + "\n被修改的部分含有无法按系统代码页显示的字节，保存后这些字节将被替换。\n确定要保存吗？";
}

// The root-password change.
const std::string_view kConfirmPasswordChange = "你确定要修改密码？？";
const std::string_view kPasswordChanged = "MySQL密码已经修改！\r\n\r\n"
                                          "接下来，请输入新密码，测试一下密码是否修改成功。\r\n\r\n"
                                          "请修改phpMyAdmin配置文件,否则phpMyAdmin无法连接MySQL";
const std::string_view kPasswordNotChanged = "MySQL密码没有修改！\n\n";
std::string ProgramTimedOut(std::string_view program, long long seconds)
{
    return std::string(program) + ": 在 " + std::to_string(seconds) + " 秒内没有结束，已被终止。";
}

std::string ProgramCrashed(std::string_view program)
{
    return std::string(program) + ": 异常退出。";
}

std::string ProgramExitCode(std::string_view program, int code)
{
    return std::string(program) + ": 退出码 " + std::to_string(code);
}

std::string ConsoleNotStarted(std::string_view reason)
{
    return "无法打开MySQL控制台：\n" + std::string(reason);
}

// phpMyAdmin's configuration file after a password change.
namespace {
const std::string_view kPasswordChangedLead = "MySQL密码已经修改！\r\n\r\n"
                                              "接下来，请输入新密码，测试一下密码是否修改成功。";
} // namespace

std::string ConfirmPhpMyAdminPassword(std::string_view path)
{
    return "是否同时修改phpMyAdmin配置文件中的密码？\n\n" + std::string(path);
}

std::string PasswordChangedWithPhpMyAdmin(std::string_view path)
{
    return std::string(kPasswordChangedLead) + "\r\n\r\n已同时修改phpMyAdmin配置文件中的密码：\r\n"
        + std::string(path);
}

std::string PasswordChangedPhpMyAdminAlready(std::string_view path)
{
    return std::string(kPasswordChangedLead) + "\r\n\r\nphpMyAdmin配置文件中已是新密码，没有改动：\r\n"
        + std::string(path);
}

std::string PasswordChangedPhpMyAdminNot(std::string_view why)
{
    return std::string(kPasswordChanged) + "\r\n\r\n" + std::string(why);
}

std::string PhpMyAdminNotChanged(std::string_view path, std::string_view reason)
{
    return "phpMyAdmin配置文件没有修改：" + std::string(path) + "\r\n" + std::string(reason);
}

std::string PhpMyAdminConfigMissing(std::string_view localConfig, std::string_view defaultConfig)
{
    return "没有找到phpMyAdmin配置文件（" + std::string(localConfig) + "，" + std::string(defaultConfig)
        + "），没有修改。";
}

std::string PhpMyAdminNotLocated(std::string_view reason)
{
    return "无法确定phpMyAdmin配置文件的位置，没有修改：\r\n" + std::string(reason);
}

const std::string_view kSiteDirectoryEmpty = "Larkspan.ini 中没有设置网站目录（DocumentRoot）。";
const std::string_view kPasswordNotInCodePage = "新密码含有系统代码页无法表示的字符。";

const std::string_view kPhpNoRootEntry
    = "文件中没有用户为 root 的服务器设置（$cfg['Servers'][$i]['user'] = 'root';）。";
std::string PhpSeveralRootEntries(std::string_view servers)
{
    return "文件中有多个用户为 root 的服务器设置（第 " + std::string(servers)
        + " 个服务器），无法确定应修改哪一个。";
}

const std::string_view kPhpAuthNotStated = "root 的服务器设置没有写明认证方式（auth_type），phpMyAdmin "
                                           "默认使用 cookie 认证，登录时询问密码，不从配置文件读取密码。";
std::string PhpAuthKeepsNoPassword(std::string_view authType)
{
    return "root 的服务器设置使用 " + std::string(authType)
        + " 认证方式，phpMyAdmin 不从配置文件读取密码（只有 config 认证方式才读取）。";
}

const std::string_view kPhpNoPasswordLine
    = "root 的服务器设置中没有密码行（$cfg['Servers'][$i]['password'] = '…';）。";
std::string PhpPasswordNotString(std::size_t line)
{
    return "第 " + std::to_string(line) + " 行：root 的密码不是一个简单的字符串，无法自动修改。";
}

std::string PhpUnreadable(std::size_t line, std::string_view what)
{
    return "第 " + std::to_string(line) + " 行" + std::string(what)
        + "，无法确定地读出服务器设置；为免改错，没有修改。";
}

const std::string_view kPhpShortOpenTag = "使用了短标记 <?";
const std::string_view kPhpAttribute = "使用了属性 #[…]";
const std::string_view kPhpUnterminatedComment = "的注释没有结束";
const std::string_view kPhpUnterminatedString = "的字符串没有结束";
const std::string_view kPhpInterpolation = "的字符串中嵌入了表达式";
const std::string_view kPhpBacktick = "使用了反引号命令";
const std::string_view kPhpHeredoc = "使用了 heredoc 字符串";
const std::string_view kPhpVariableVariable = "使用了可变变量";
const std::string_view kPhpInclude = "引入了其他文件或代码（include、require、eval）";
const std::string_view kPhpExtract = "使用了 extract 或 parse_str";
const std::string_view kPhpGlobals = "使用了 global 或 $GLOBALS";
const std::string_view kPhpReference = "使用了引用（&）";
const std::string_view kPhpUnbalanced = "的括号不配对";
const std::string_view kPhpFlow = "设置服务器时使用了 goto 或 endif 等写法";
const std::string_view kPhpServersStatement = "以无法识别的方式设置服务器";
const std::string_view kPhpServerIndex = "的服务器序号无法确定";
const std::string_view kPhpUserNotString = "的用户名不是一个简单的字符串";
const std::string_view kPhpAuthNotString = "的认证方式不是一个简单的字符串";

// Launching programs.
std::string StandInMissing(std::string_view program, std::string_view folder)
{
    return std::string(program) + ": 在 " + std::string(folder) + " 中找不到这个程序";
}

const std::string_view kNoProgram = "（没有指定程序）";
std::string SiteDirectoryNotSet(std::string_view page)
{
    return std::string(page)
        + ": 没有设置网站目录（Larkspan.ini 中 [Apache] 的 DocumentRoot），无法写入这个页面";
}

// The desktop shortcuts.
std::string DesktopFolderProblem(std::string_view folder, std::string_view reason)
{
    return "桌面文件夹 " + std::string(folder) + ": " + std::string(reason);
}

} // namespace larkspan::catalogue
