#pragma once

#include "app/launch_commands.h"
#include "app/server_diagnostics.h"
#include "app/service_control.h"
#include "app/service_kind.h"
#include "app/status_rules.h"
#include "app/tray_rules.h"

#include <QSystemTrayIcon>
#include <QWidget>
#include <array>
#include <functional>
#include <string_view>

class QLabel;
class QListWidget;
class QMenu;
class QTimer;

namespace larkspan {

class ConfigFiles;
class DialogHost;
class InstanceGuard;
class Launcher;
class MessageBoxes;
class ProcessList;
class SettingsHistory;
class TcpListeners;
class TextCodePage;

/// What the main window needs from outside; main.cpp passes the real ones, tests pass fakes.
struct Form1Deps
{
    ConfigFiles& files;
    ProcessList& processes;
    Launcher& launcher;
    MessageBoxes& messages;
    DialogHost& dialogs;
    InstanceGuard& instance;
    TcpListeners& listeners;
    const TextCodePage& codePage;
    SettingsHistory& history;
};

/// The window's ties to the desktop and the clock. Empty members take the real behaviour.
struct Form1Hooks
{
    /// Whether the desktop has a notification area to hide into.
    std::function<bool()> notificationAreaAvailable;
    /// Whether that answer can change while the program runs (a notification area whose host
    /// restarts, or one that comes later); the window follows it only then.
    std::function<bool()> notificationAreaCanChange;
    /// Ends the process at once, without running any close handling.
    std::function<void()> endProgramNow;
    /// Ends the application's event loop once the window has closed for good.
    std::function<void()> quitApplication;
    /// Seconds on a monotonic clock (the restart pause).
    std::function<double()> now;
};

/// The main window: status panel, event log, service buttons, the popup menus and the
/// notification icon. Every control carries its designed name as objectName.
class Form1 final : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(Form1Deps deps, QWidget* parent = nullptr);
    Form1(Form1Deps deps, Form1Hooks hooks, QWidget* parent = nullptr);
    ~Form1() override;

    /// Start-up. Returns false when another instance runs: the program must end.
    bool Form_Load();
    void Timer1_Timer();
    /// Returns true to cancel the close.
    bool Form_QueryUnload(CloseReason reason);

    void ShowServiceState(ServiceKind kind, ServiceState state);
    void AppendLogLine(std::string_view message);
    /// A log line that may be too wide for the list: cut to its width, whole in the tool tip with
    /// the file it came from.
    void AppendLongLogLine(std::string_view message, std::string_view source);
    ServiceState serviceState(ServiceKind kind) const { return m_monitor.Announced(kind); }

    /// A mouse event on the notification icon, translated to the shell's mouse message.
    static int MouseMessageFor(QSystemTrayIcon::ActivationReason reason);
    void TrayIcon_Activated(QSystemTrayIcon::ActivationReason reason);
    QSystemTrayIcon& trayIcon() { return *m_trayIcon; }
    /// Follows the notification area as it goes and comes back (checked every few seconds where
    /// it can change): a hidden window is shown minimised when the area goes, and the icon is
    /// added again when it returns.
    void CheckNotificationArea();

    // Service control: the first control of each command holds it, its twins call it.
    void starta_Click() { m_serviceControl.Start(ServiceKind::Apache); }
    void astart_Click() { starta_Click(); }
    void astart2_Click() { starta_Click(); }
    void stopa_Click() { m_serviceControl.Stop(ServiceKind::Apache); }
    void astop_Click() { stopa_Click(); }
    void astop2_Click() { stopa_Click(); }
    void restarta_Click() { m_serviceControl.Restart(ServiceKind::Apache); }
    void restaraCom_Click() { restarta_Click(); }
    void restarta2_Click() { restarta_Click(); }
    void startm_Click() { m_serviceControl.Start(ServiceKind::MySQL); }
    void mstart_Click() { startm_Click(); }
    void mstart2_Click() { startm_Click(); }
    void stopm_Click() { m_serviceControl.Stop(ServiceKind::MySQL); }
    void mstop_Click() { stopm_Click(); }
    void mstop2_Click() { stopm_Click(); }
    void restartm_Click() { m_serviceControl.Restart(ServiceKind::MySQL); }
    void restartmCom_Click() { restartm_Click(); }
    void restartm2_Click() { restartm_Click(); }

    // Files, folders, pages and dialogs.
    void phpini_Click() { m_launchCommands.phpini(); }
    void phpini2_Click() { phpini_Click(); }
    void httpdconf_Click() { m_launchCommands.httpdconf(); }
    void httpdconf2_Click() { httpdconf_Click(); }
    void mysqlini_Click() { m_launchCommands.mysqlini(); }
    void mysqlini2_Click() { mysqlini_Click(); }
    void phpmyadmininc_Click() { m_launchCommands.phpmyadmininc(); }
    void phpmyadmininc2_Click() { phpmyadmininc_Click(); }
    void wwwroot_Click() { m_launchCommands.wwwroot(); }
    void wwwroot2_Click() { wwwroot_Click(); }
    void mysqldata_Click() { m_launchCommands.mysqldata(); }
    void mysqldata2_Click() { mysqldata_Click(); }
    void apachelog_Click() { m_launchCommands.apachelog(); }
    void mysqlconsole_Click() { m_launchCommands.mysqlconsole(); }
    void mysqlconsole2_Click() { mysqlconsole_Click(); }
    void servicecontrol_Click() { m_launchCommands.servicecontrol(); }
    void servicecontrol2_Click() { servicecontrol_Click(); }
    void homepage_Click() { m_launchCommands.homepage(); }
    void homepage2_Click() { homepage_Click(); }
    void phpmyadmin_Click() { m_launchCommands.phpmyadmin(); }
    void phpmyadmin2_Click() { phpmyadmin_Click(); }
    void phpinfo_Click() { m_launchCommands.phpinfo(); }
    void phpmanual_Click() { m_launchCommands.phpmanual(); }
    void phpmanual2_Click() { phpmanual_Click(); }
    void jsmanual_Click() { m_launchCommands.jsmanual(); }
    void jsmanual2_Click() { jsmanual_Click(); }
    void cssmanual_Click() { m_launchCommands.cssmanual(); }
    void cssmanual2_Click() { cssmanual_Click(); }
    void faqs_Click() { m_launchCommands.faqs(); }
    void faqs2_Click() { faqs_Click(); }
    void update_Click() { m_launchCommands.update(); }
    void update2_Click() { update_Click(); }
    void apcheset_Click() { m_launchCommands.apcheset(); }
    void apcheset2_Click() { apcheset_Click(); }
    void phpset_Click() { m_launchCommands.phpset(); }
    void phpset2_Click() { phpset_Click(); }
    void mysqlset_Click() { m_launchCommands.mysqlset(); }
    void mysqlset2_Click() { mysqlset_Click(); }
    void zhanCom_Click() { m_launchCommands.zhanCom(); }
    void zhan1_Click() { zhanCom_Click(); }
    void zhan2_Click() { zhanCom_Click(); }
    void about_Click() { m_launchCommands.about(); }
    void about2_Click() { about_Click(); }
    // The undo of the last save.
    void undoset_Click();
    void undoset2_Click() { undoset_Click(); }
    void redoset_Click();
    void redoset2_Click() { redoset_Click(); }
    void Command1_Click();

    // Window visibility and the end of the program.
    void hideme_Click();
    void showme_Click();
    void quit_Click();
    void quit3_Click() { quit_Click(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct ServiceRow
    {
        QLabel* statusLabel = nullptr;
        QWidget* startButton = nullptr;
        QWidget* stopButton = nullptr;
        std::array<QAction*, 2> startItems {};
        std::array<QAction*, 2> stopItems {};
    };

    void CreateControls();
    void ConnectHandlers();
    ServiceRow FindServiceRow(ServiceKind kind) const;
    bool NotificationAreaAvailable() const;
    void BringForward();
    void HideOrMinimise();
    void SessionEnding();
    void RemoveTrayIcon();
    QMenu* Menu(const char* name) const;

    Form1Deps m_deps;
    Form1Hooks m_hooks;
    QListWidget* m_list = nullptr;
    QTimer* m_timer = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    QTimer* m_trayWatch = nullptr;
    bool m_notificationArea = false; ///< whether there was one at the last check
    bool m_iconWanted = false; ///< from start-up until the icon is removed for good
    std::array<ServiceRow, 2> m_rows {};
    ServerDiagnostics m_diagnostics;
    StatusMonitor m_monitor;
    ServiceControl m_serviceControl;
    LaunchCommands m_launchCommands;
    bool m_sessionEnding = false;
};

} // namespace larkspan
