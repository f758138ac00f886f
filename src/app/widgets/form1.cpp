#include "app/widgets/form1.h"

#include "app/widgets/form1_layout.h"
#include "platform/instance_guard.h"
#include "platform/log_time.h"
#include "safety/undo.h"
#include "texts/catalogue.h"
#include "ui/message_boxes.h"
#include "ui/widgets/accessibility.h"
#include "ui/widgets/program_icon.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSessionManager>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace larkspan {

namespace {

// Often enough that a window hidden in a vanished notification area is soon back, seldom enough
// to cost nothing beside the monitor: asking the desktop can be a round trip to its bus.
constexpr int kNotificationAreaWatchMs = 5000;

// Where the answer never changes: Windows' taskbar (its answer is always yes, and Qt adds the
// icons again when Explorer restarts) and the platforms without a desktop.
bool PlatformNotificationAreaCanChange()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("windows") && platform != QLatin1String("offscreen")
        && platform != QLatin1String("minimal");
}

double SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Waits briefly for events instead of spinning, so a restart's pause costs no CPU.
void ProcessEventsOnce()
{
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(20);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

Form1Hooks WithDefaults(Form1Hooks hooks)
{
    if (!hooks.notificationAreaAvailable)
        hooks.notificationAreaAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    if (!hooks.notificationAreaCanChange)
        hooks.notificationAreaCanChange = PlatformNotificationAreaCanChange;
    if (!hooks.endProgramNow)
        hooks.endProgramNow = [] { std::exit(0); };
    if (!hooks.quitApplication)
        hooks.quitApplication = [] { QCoreApplication::exit(0); };
    if (!hooks.now)
        hooks.now = SteadySeconds;
    return hooks;
}

} // namespace

Form1::Form1(Form1Deps deps, QWidget* parent)
    : Form1(deps, Form1Hooks {}, parent)
{ }

Form1::Form1(Form1Deps deps, Form1Hooks hooks, QWidget* parent)
    : QWidget(parent)
    , m_deps(deps)
    , m_hooks(WithDefaults(std::move(hooks)))
    , m_diagnostics(deps.files, deps.listeners, deps.codePage,
          {[this](std::string_view message, std::string_view source) { AppendLongLogLine(message, source); },
              [this] { return m_hooks.now(); }})
    , m_monitor(deps.processes,
          {[this](ServiceKind kind, ServiceState state) { ShowServiceState(kind, state); },
              [this](std::string_view message) { AppendLogLine(message); },
              [this](ServiceKind kind, ServiceState state) { m_diagnostics.Observed(kind, state); }})
    , m_serviceControl(deps.launcher, deps.messages,
          {[this](std::string_view message) { AppendLogLine(message); }, ProcessEventsOnce,
              [this] { return m_hooks.now(); }, &m_diagnostics})
    , m_launchCommands(deps.files, deps.launcher, deps.messages, deps.dialogs, deps.history)
{
    setObjectName(QStringLiteral("Form1"));
    PresentAsWindow(staticMetaObject);
    setWindowIcon(ProgramIcon());

    CreateControls();
    BuildMenus(this, Form1Menus());
    ConnectHandlers();
    for (const ServiceKind kind : kAllServiceKinds)
        m_rows[ServiceIndex(kind)] = FindServiceRow(kind);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &Form1::Timer1_Timer);
    m_timer->start();

    m_trayIcon = new QSystemTrayIcon(ProgramIcon(), this);
    m_trayIcon->setToolTip(QString::fromUtf8(kApplicationTitle));
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &Form1::TrayIcon_Activated);

    m_trayWatch = new QTimer(this);
    m_trayWatch->setObjectName(QStringLiteral("NotificationAreaWatch"));
    m_trayWatch->setInterval(kNotificationAreaWatchMs);
    connect(m_trayWatch, &QTimer::timeout, this, &Form1::CheckNotificationArea);

    if (qGuiApp) {
        connect(qGuiApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { SessionEnding(); });
        connect(qGuiApp, &QCoreApplication::aboutToQuit, this, &Form1::RemoveTrayIcon);
    }
}

Form1::~Form1() = default;

void Form1::CreateControls()
{
    const auto controls
        = BuildForm(this, kApplicationTitle, kForm1WidthTwips, kForm1HeightTwips, Form1Controls());
    DescribeControls(controls, Form1Spoken());
    m_list = static_cast<QListWidget*>(controls.value(QStringLiteral("List1")));
    // Keeps appending and scrolling flat however long the log grows.
    m_list->setUniformItemSizes(true);
}

Form1::ServiceRow Form1::FindServiceRow(ServiceKind kind) const
{
    const ServiceControlNames& names = ControlNamesFor(kind);
    ServiceRow row;
    row.statusLabel = findChild<QLabel*>(ToQString(names.statusLabel));
    row.startButton = findChild<QPushButton*>(ToQString(names.startButton));
    row.stopButton = findChild<QPushButton*>(ToQString(names.stopButton));
    for (std::size_t i = 0; i < names.startItems.size(); ++i) {
        row.startItems[i] = findChild<QAction*>(ToQString(names.startItems[i]));
        row.stopItems[i] = findChild<QAction*>(ToQString(names.stopItems[i]));
    }
    return row;
}

QMenu* Form1::Menu(const char* name) const
{
    return findChild<QMenu*>(QString::fromLatin1(name));
}

bool Form1::Form_Load()
{
    const InstanceClaim claim = m_deps.instance.TryAcquire();
    if (claim.outcome == InstanceClaim::Outcome::HeldByAnother) {
        // A refused instance neither probes nor logs, not even while its message is open.
        m_timer->stop();
        m_deps.messages.Inform(std::string(catalogue::kAlreadyRunning));
        return false;
    }
    // Refusing would be as wrong as keeping quiet: start, and say that a second start will not
    // be noticed.
    if (claim.outcome == InstanceClaim::Outcome::Unavailable)
        m_deps.messages.Inform(catalogue::NoInstanceLock(claim.problem));
    m_iconWanted = true;
    m_trayIcon->show();
    m_notificationArea = NotificationAreaAvailable();
    if (m_notificationArea)
        hide();
    else
        show();
    if (m_hooks.notificationAreaCanChange())
        m_trayWatch->start();
    m_monitor.Probe();
    return true;
}

void Form1::Timer1_Timer()
{
    m_monitor.Tick();
}

bool Form1::Form_QueryUnload(CloseReason reason)
{
    switch (CloseDecisionFor(reason, NotificationAreaAvailable())) {
    case CloseDecision::Hide:
        hide();
        return true;
    case CloseDecision::Minimise:
        showMinimized();
        return true;
    case CloseDecision::CloseAndRemoveIcon:
        RemoveTrayIcon();
        // The program lives as long as its main window.
        m_hooks.quitApplication();
        return false;
    }
    return false;
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A spontaneous close comes from the window frame; the session's own close is marked first.
    const CloseReason reason
        = event->spontaneous() && !m_sessionEnding ? CloseReason::UserClose : CloseReason::ProgramEnds;
    if (Form_QueryUnload(reason))
        event->ignore();
    else
        event->accept();
}

void Form1::SessionEnding()
{
    m_sessionEnding = true;
    close();
}

void Form1::RemoveTrayIcon()
{
    m_iconWanted = false;
    m_trayIcon->hide();
}

void Form1::CheckNotificationArea()
{
    const bool available = NotificationAreaAvailable();
    if (available == m_notificationArea || !m_iconWanted)
        return;
    m_notificationArea = available;
    if (!available) {
        // The notification area went away (its host crashed or restarts): the icon was the only
        // way back to a hidden window.
        if (!isVisible())
            showMinimized();
        m_trayIcon->hide();
        return;
    }
    // A new notification area knows nothing of the icon: add it again.
    m_trayIcon->show();
}

bool Form1::NotificationAreaAvailable() const
{
    return m_hooks.notificationAreaAvailable();
}

void Form1::ShowServiceState(ServiceKind kind, ServiceState state)
{
    const ServicePresentation presentation = PresentationFor(kind, state);
    ServiceRow& row = m_rows[ServiceIndex(kind)];
    // Every tick presents the row again; what already shows is left as it is, so an unchanged
    // row costs no palette or tool-tip events.
    const QString glyph = ToQString(presentation.glyph);
    if (row.statusLabel->text() != glyph)
        row.statusLabel->setText(glyph);
    const QColor colour(presentation.colour.red, presentation.colour.green, presentation.colour.blue);
    if (row.statusLabel->palette().color(QPalette::WindowText) != colour) {
        QPalette palette = row.statusLabel->palette();
        palette.setColor(QPalette::WindowText, colour);
        row.statusLabel->setPalette(palette);
    }
    const QString toolTip = ToQString(presentation.toolTip);
    if (row.statusLabel->toolTip() != toolTip)
        row.statusLabel->setToolTip(toolTip);
    // The glyph alone means nothing to a screen reader: it hears the state in words.
    SetSpokenName(row.statusLabel, ToQString(presentation.spokenName));
    row.startButton->setEnabled(presentation.startEnabled);
    row.stopButton->setEnabled(presentation.stopEnabled);
    for (QAction* item : row.startItems)
        item->setEnabled(presentation.startEnabled);
    for (QAction* item : row.stopItems)
        item->setEnabled(presentation.stopEnabled);
}

void Form1::AppendLogLine(std::string_view message)
{
    m_list->addItem(QString::fromStdString(LogLine(message, LongTimeNow())));
    AnnounceNewRow(m_list, m_list->count() - 1);
}

void Form1::AppendLongLogLine(std::string_view message, std::string_view source)
{
    const QString text = ToQString(message);
    const QString time = QString::fromStdString(LongTimeNow());
    auto* item = new QListWidgetItem(text + time);
    // The room beside a vertical scroll bar, which a long log has, and inside the item's margins.
    const int room = m_list->contentsRect().width() - style()->pixelMetric(QStyle::PM_ScrollBarExtent)
        - 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const QFontMetrics metrics(m_list->font());
    if (metrics.horizontalAdvance(item->text()) > room) {
        // The message is cut; its separating blanks and the time stay whole.
        QString cut = text;
        while (cut.endsWith(QLatin1Char(' ')))
            cut.chop(1);
        const QString tail = text.mid(cut.size()) + time;
        item->setText(
            metrics.elidedText(cut, Qt::ElideRight, std::max(room - metrics.horizontalAdvance(tail), 0))
            + tail);
    }
    const QString whole = text + time;
    item->setToolTip(source.empty() ? whole : whole + QLatin1Char('\n') + ToQString(source));
    // A screen reader reads the whole line, and the file it came from on request.
    item->setData(Qt::AccessibleTextRole, whole);
    if (!source.empty())
        item->setData(Qt::AccessibleDescriptionRole, ToQString(source));
    m_list->addItem(item);
    AnnounceNewRow(m_list, m_list->count() - 1);
}

int Form1::MouseMessageFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TrayLeftButtonUp;
    case QSystemTrayIcon::Context:
        return TrayRightButtonUp;
    case QSystemTrayIcon::DoubleClick:
        return TrayLeftDoubleClick;
    case QSystemTrayIcon::MiddleClick:
        return TrayMiddleButtonUp;
    case QSystemTrayIcon::Unknown:
        break;
    }
    return 0;
}

void Form1::TrayIcon_Activated(QSystemTrayIcon::ActivationReason reason)
{
    switch (TrayActionFor(MouseMessageFor(reason))) {
    case TrayAction::Nothing:
        return;
    case TrayAction::BringForward:
        BringForward();
        return;
    case TrayAction::BringForwardAndPopup:
        BringForward();
        Menu("filez")->popup(QCursor::pos());
        return;
    }
}

void Form1::BringForward()
{
    // A hidden window stays hidden; only a shown one is raised.
    if (!isVisible())
        return;
    raise();
    activateWindow();
}

void Form1::HideOrMinimise()
{
    if (NotificationAreaAvailable())
        hide();
    else
        showMinimized();
}

void Form1::undoset_Click()
{
    // The line names the dialog and may be wider than the log: cut, with the time kept.
    UndoLastSaveCommand(m_deps.files, m_deps.history, m_deps.messages,
        [this](std::string_view message) { AppendLongLogLine(message, {}); });
}

void Form1::redoset_Click()
{
    RedoLastUndoCommand(m_deps.files, m_deps.history, m_deps.messages,
        [this](std::string_view message) { AppendLongLogLine(message, {}); });
}

void Form1::Command1_Click()
{
    // Pressed with the mouse, the menu opens at the pointer; pressed with Space or Enter while the
    // pointer is elsewhere, it opens below the button, where the keyboard user is looking.
    QPoint at = QCursor::pos();
    if (const auto* button = findChild<QWidget*>(QStringLiteral("Command1"));
        button && !button->rect().contains(button->mapFromGlobal(at)))
        at = button->mapToGlobal(QPoint(0, button->height()));
    Menu("file")->popup(at);
}

void Form1::hideme_Click()
{
    HideOrMinimise();
}

void Form1::showme_Click()
{
    showNormal();
    raise();
    activateWindow();
}

void Form1::quit_Click()
{
    RemoveTrayIcon();
    m_hooks.endProgramNow();
}

} // namespace larkspan
