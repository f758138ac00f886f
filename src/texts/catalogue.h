#pragma once

#include <string>
#include <string_view>

/// Every text of the panel's own that reaches a message box, in one place. The panel speaks
/// Chinese; a reason from the operating system follows as the system words it.
namespace larkspan::catalogue {

// Start-up.
extern const std::string_view kAlreadyRunning;
std::string NoInstanceLock(std::string_view reason);
extern const std::string_view kFolderIsSymlink;
extern const std::string_view kNotADirectory;
extern const std::string_view kLockNotRegularFile;
extern const std::string_view kOwnedByAnother;
std::string NoDisplay(std::string_view reason);

// The settings dialogs' checks and outcomes.
extern const std::string_view kSiteDirectoryMissing;
extern const std::string_view kApachePortNotANumber;
extern const std::string_view kApachePortNotWhole;
extern const std::string_view kApacheSaved;
extern const std::string_view kMaxTimeNotANumber;
extern const std::string_view kMaxTimeNotWhole;
extern const std::string_view kUploadNotANumber;
extern const std::string_view kUploadNotWhole;
extern const std::string_view kMySqlPortNotANumber;
extern const std::string_view kMySqlPortNotWhole;
extern const std::string_view kConnectionsNotANumber;
extern const std::string_view kConnectionsNotWhole;
extern const std::string_view kMySqlSaved;
extern const std::string_view kPickSiteDirectory;

std::string SaveFailed(std::string_view reason);
std::string FieldHoldsLineBreak(std::string_view field);
std::string FieldHoldsQuote(std::string_view field, std::string_view directive);
std::string FieldNotInCodePage(std::string_view field);
std::string ConfirmReplacingUndecodable(std::string_view field);
std::string SiteDirectoryHoldsBackslash(std::string_view path);
std::string SettingsFileUnreadable(std::string_view reason);

// What a file cannot hold, after "path: ".
extern const std::string_view kNotText;
std::string ValueHoldsLineBreak(std::string_view name);
std::string NameHoldsLineBreak(std::string_view name);
extern const std::string_view kSectionNameEmpty;
std::string SectionNameHoldsBracket(std::string_view section);
extern const std::string_view kKeyNameEmpty;
std::string KeyNameHolds(std::string_view key, char what);
extern const std::string_view kDirectiveNameEmpty;
std::string DirectiveNameHoldsBlank(std::string_view directive);
extern const std::string_view kNotRegularFile;
extern const std::string_view kTooLarge;
extern const std::string_view kIsLink;
std::string LargerThan(std::size_t bytes);

// A save of several files that failed part-way and could not be undone.
std::string FilesDisagree(
    std::string_view undoFailures, std::string_view newFiles, std::string_view oldFiles);

// The servers' own checks of a save's files, before anything is written.
std::string CheckRefused(std::string_view server, std::string_view lines);
std::string NotChecked(std::string_view server, std::string_view reason);
std::string CheckFolderFailed(std::string_view reason);
std::string HostsNotIncluded(std::string_view httpdConf, std::string_view vhosts);
std::string MySqlWouldUse(std::string_view option, std::string_view value, std::string_view used);
std::string PhpNegativeSize(std::string_view key, std::string_view value);
/// After the part of a checker's words a message shows; `file`, when not empty, holds them all.
std::string NotAllShown(std::string_view file);
std::string CheckerGaveNoValues(std::string_view program, std::string_view names);

// The history of saves and the undo.
std::string HistoryFailed(std::string_view folder, std::string_view reason);
std::string HistoryDamaged(std::string_view manifest);
std::string HistoryIsLink(std::string_view folder);
extern const std::string_view kNameHoldsControl;
std::string ChangedDuringCheck(std::string_view path);
extern const std::string_view kNothingToUndo;
std::string Undone(std::string_view dialog, std::string_view time, std::string_view servers);
std::string UndoFailed(std::string_view reason);
/// `changed`: files that no longer hold what the save wrote; `unknown`: files of a save recorded
/// by an older version, which did not keep what it wrote. Either may be empty, not both.
std::string ConfirmUndoDiscarding(
    std::string_view dialog, std::string_view time, std::string_view changed, std::string_view unknown);
std::string NotWrittenBySaves(std::string_view entry, std::string_view file);
extern const std::string_view kNothingToRedo;
std::string Redone(std::string_view dialog, std::string_view time, std::string_view servers);
std::string RedoFailed(std::string_view reason);
std::string ConfirmRedoDiscarding(
    std::string_view dialog, std::string_view time, std::string_view changed, std::string_view unknown);
// Event-log messages; the log appends the time after their four blanks.
std::string LogSaved(std::string_view dialog);
std::string LogUndone(std::string_view dialog);
std::string LogRedone(std::string_view dialog);

// The server diagnostics in the event log: headlines of an explanation, then the server's lines.
std::string NotStartedInTime(std::string_view server, int seconds);
std::string GoneAfterStart(std::string_view server);
std::string UnexpectedStop(std::string_view server);
extern const std::string_view kNothingNew;
std::string PortTakenByUnseen(unsigned port);
/// `owners` joined by kListSeparator; `more`: other owners left unnamed.
std::string PortTakenBy(unsigned port, std::string_view owners, bool more);
/// Between the items of a list within a sentence.
extern const std::string_view kListSeparator;
std::string ErrorFileUnreadable(std::string_view reason);
std::string OutputSkipped(std::string_view file, std::string_view skipped, std::string_view read);
/// A size in bytes as the panel writes it: "512 字节", "64 KB", "2.0 GB".
std::string ByteSize(unsigned long long bytes);

// The virtual-host editor.
extern const std::string_view kHostsSaved;
std::string HostsUnreadable(std::string_view reason);
std::string HostsNotSavedUnread(std::string_view path);
std::string HostsNotSaved(std::string_view reason);
std::string HostsLineNotInCodePage(std::size_t line);
std::string ConfirmReplacingUndecodableLines(std::string_view path);

// The root-password change.
extern const std::string_view kConfirmPasswordChange;
extern const std::string_view kPasswordChanged;
extern const std::string_view kPasswordNotChanged;
std::string ProgramTimedOut(std::string_view program, long long seconds);
std::string ProgramCrashed(std::string_view program);
std::string ProgramExitCode(std::string_view program, int code);
std::string ConsoleNotStarted(std::string_view reason);

// phpMyAdmin's configuration file after a password change.
std::string ConfirmPhpMyAdminPassword(std::string_view path);
std::string PasswordChangedWithPhpMyAdmin(std::string_view path);
std::string PasswordChangedPhpMyAdminAlready(std::string_view path);
std::string PasswordChangedPhpMyAdminNot(std::string_view why);
std::string PhpMyAdminNotChanged(std::string_view path, std::string_view reason);
std::string PhpMyAdminConfigMissing(std::string_view localConfig, std::string_view defaultConfig);
std::string PhpMyAdminNotLocated(std::string_view reason);
extern const std::string_view kSiteDirectoryEmpty;
extern const std::string_view kPasswordNotInCodePage;
// Why a phpMyAdmin configuration is left alone.
extern const std::string_view kPhpNoRootEntry;
std::string PhpSeveralRootEntries(std::string_view servers);
extern const std::string_view kPhpAuthNotStated;
std::string PhpAuthKeepsNoPassword(std::string_view authType);
extern const std::string_view kPhpNoPasswordLine;
std::string PhpPasswordNotString(std::size_t line);
std::string PhpUnreadable(std::size_t line, std::string_view what);
// What PhpUnreadable names.
extern const std::string_view kPhpShortOpenTag;
extern const std::string_view kPhpAttribute;
extern const std::string_view kPhpUnterminatedComment;
extern const std::string_view kPhpUnterminatedString;
extern const std::string_view kPhpInterpolation;
extern const std::string_view kPhpBacktick;
extern const std::string_view kPhpHeredoc;
extern const std::string_view kPhpVariableVariable;
extern const std::string_view kPhpInclude;
extern const std::string_view kPhpExtract;
extern const std::string_view kPhpGlobals;
extern const std::string_view kPhpReference;
extern const std::string_view kPhpUnbalanced;
extern const std::string_view kPhpFlow;
extern const std::string_view kPhpServersStatement;
extern const std::string_view kPhpServerIndex;
extern const std::string_view kPhpUserNotString;
extern const std::string_view kPhpAuthNotString;

// Launching programs.
std::string StandInMissing(std::string_view program, std::string_view folder);
extern const std::string_view kNoProgram;
std::string SiteDirectoryNotSet(std::string_view page);

// The desktop shortcuts.
std::string DesktopFolderProblem(std::string_view folder, std::string_view reason);

} // namespace larkspan::catalogue
