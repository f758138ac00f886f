#pragma once

#include "launch_commands.h"
#include "server_diagnostics.h"
#include "service_control.h"
#include "service_kind.h"
#include "status_rules.h"
#include "tray_rules.h"

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
};

/// The window's ties to the desktop and the clock. Empty members take the real behaviour.
struct Form1Hooks
{
    /// Whether the desktop has a notification area to hide into.
    std::function<bool()> notificationAreaAvailable;
    /// Ends the process at once, without running any close handling.
    std::function<void()> endProgramNow;
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
    /// Follows the notification area as it goes and comes back (checked once a second): a hidden
    /// window is shown minimised when the area goes, and the icon is added again when it returns.
    void CheckNotificationArea();

    // Service control: the first control of each command holds it, its twins call it.
    void starta_Click();
    void astart_Click();
    void astart2_Click();
    void stopa_Click();
    void astop_Click();
    void astop2_Click();
    void restarta_Click();
    void restaraCom_Click();
    void restarta2_Click();
    void startm_Click();
    void mstart_Click();
    void mstart2_Click();
    void stopm_Click();
    void mstop_Click();
    void mstop2_Click();
    void restartm_Click();
    void restartmCom_Click();
    void restartm2_Click();

    // Files, folders, pages and dialogs.
    void phpini_Click();
    void phpini2_Click();
    void httpdconf_Click();
    void httpdconf2_Click();
    void mysqlini_Click();
    void mysqlini2_Click();
    void phpmyadmininc_Click();
    void phpmyadmininc2_Click();
    void wwwroot_Click();
    void wwwroot2_Click();
    void mysqldata_Click();
    void mysqldata2_Click();
    void apachelog_Click();
    void mysqlconsole_Click();
    void mysqlconsole2_Click();
    void servicecontrol_Click();
    void servicecontrol2_Click();
    void homepage_Click();
    void homepage2_Click();
    void phpmyadmin_Click();
    void phpmyadmin2_Click();
    void phpinfo_Click();
    void phpmanual_Click();
    void phpmanual2_Click();
    void jsmanual_Click();
    void jsmanual2_Click();
    void cssmanual_Click();
    void cssmanual2_Click();
    void faqs_Click();
    void faqs2_Click();
    void update_Click();
    void update2_Click();
    void apcheset_Click();
    void apcheset2_Click();
    void phpset_Click();
    void phpset2_Click();
    void mysqlset_Click();
    void mysqlset2_Click();
    void zhanCom_Click();
    void zhan1_Click();
    void zhan2_Click();
    void about_Click();
    void about2_Click();
    void Command1_Click();

    // Window visibility and the end of the program.
    void hideme_Click();
    void showme_Click();
    void quit_Click();
    void quit3_Click();

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
    void CreateMenus();
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
