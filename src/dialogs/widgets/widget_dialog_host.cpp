#include "dialogs/widgets/widget_dialog_host.h"

#include "dialogs/widgets/fabout.h"
#include "dialogs/widgets/fapache.h"
#include "dialogs/widgets/fmysql.h"
#include "dialogs/widgets/fphp.h"
#include "dialogs/widgets/zhanform.h"
#include "platform/capturing_runner.h"
#include "platform/desktop_shortcuts.h"
#include "platform/threaded_program_runner.h"

#include <QApplication>
#include <QPointer>

namespace larkspan {

namespace {

// A dialog has no owner window: when it closes, nothing but a window manager that happens to do it
// would give the keyboard back to the window it was opened from, and a keyboard user would be left
// with no window to type into.
void ShowModal(QDialog& dialog)
{
    const QPointer<QWidget> opener = QApplication::activeWindow();
    dialog.exec();
    if (opener && opener->isVisible() && !opener->isMinimized())
        opener->activateWindow();
}

} // namespace

WidgetDialogHost::WidgetDialogHost(ConfigFiles& files, Launcher& launcher, MessageBoxes& messages,
    const TextCodePage& codePage, SafeSaveServices* services)
    : m_files(files)
    , m_launcher(launcher)
    , m_messages(messages)
    , m_codePage(codePage)
    , m_services(services)
{ }

WidgetDialogHost::~WidgetDialogHost() = default;

// The settings dialogs are created once; Form_Load at every opening reads the files afresh.
void WidgetDialogHost::ShowApacheSettings()
{
    if (!m_apache)
        m_apache = std::make_unique<fapache>(m_files, m_messages, m_codePage, m_services);
    m_apache->Form_Load();
    ShowModal(*m_apache);
}

void WidgetDialogHost::ShowPhpSettings()
{
    if (!m_php)
        m_php = std::make_unique<fphp>(m_files, m_messages, m_codePage, m_services);
    m_php->Form_Load();
    ShowModal(*m_php);
}

void WidgetDialogHost::ShowMySqlSettings()
{
    if (!m_mysql) {
        m_capturingRunner = MakeSystemCapturingRunner();
        // The admin client runs on a worker thread; its report comes back through the event loop.
        m_runner
            = std::make_unique<ThreadedProgramRunner>(*m_capturingRunner, [](std::function<void()> task) {
                  QMetaObject::invokeMethod(
                      QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
              });
        m_mysql
            = std::make_unique<fmysql>(m_files, m_launcher, m_messages, *m_runner, m_codePage, m_services);
    }
    m_mysql->Form_Load();
    ShowModal(*m_mysql);
}

void WidgetDialogHost::ShowSiteManagement()
{
    if (!m_sites)
        m_sites = std::make_unique<zhanform>(m_files, m_messages, m_codePage, m_services);
    m_sites->Form_Load();
    ShowModal(*m_sites);
}

void WidgetDialogHost::ShowAbout()
{
    if (!m_about) {
        m_desktop = MakeSystemDesktopShortcuts();
        m_about = std::make_unique<fabout>(*m_desktop, m_launcher, m_messages);
    }
    ShowModal(*m_about);
}

} // namespace larkspan
