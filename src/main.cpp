// Wiring only: the real platform, files and windows.
#include "app/widgets/form1.h"
#include "app/widgets/program_options.h"
#include "config/bundle_paths.h"
#include "config/disk_config_files.h"
#include "config/native_path.h"
#include "dialogs/widgets/widget_dialog_host.h"
#include "platform/app_dir.h"
#include "platform/capturing_runner.h"
#include "platform/instance_guard.h"
#include "platform/launcher.h"
#include "platform/process_list.h"
#include "platform/service_manager.h"
#include "platform/tcp_listeners.h"
#include "platform/text_code_page.h"
#include "safety/checked_save.h"
#include "safety/server_check.h"
#include "safety/settings_history.h"
#include "ui/widgets/qt_message_boxes.h"

#include <QApplication>
#include <memory>

int main(int argc, char** argv)
{
    using namespace larkspan;

#ifdef Q_OS_WIN
    // Qt's plugins come only from beside the executable (qt.conf): Qt would search a QT_PLUGIN_PATH
    // left by another program (a Python distribution, say) first, and load that Qt's plugins into ours.
    qunsetenv("QT_PLUGIN_PATH");
    qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
#endif
    SetApplicationIdentity();
    if (const auto exitStatus = AnswerCommandLine(argc, argv))
        return *exitStatus;

    auto withoutDisplay = std::make_unique<NoDisplayExit>();
    QApplication application(argc, argv);
    withoutDisplay.reset();
    // The window hides into the notification area; only Quit ends the program.
    application.setQuitOnLastWindowClosed(false);

    const std::string appDir = ExecutableDirectory();
    DiskConfigFiles files(appDir);
    const auto processes = MakeSystemProcessList();
    const auto launcher = MakeSystemLauncher(appDir, NativePath(InBundle(appDir, paths::kServicesLog)));
    const auto instance = MakeSystemInstanceGuard("LarkspanAdmin");
    const auto listeners = MakeSystemTcpListeners();
    QtMessageBoxes messages;
    const auto codePage = MakeSystemTextCodePage();
    const auto pathCodePage = MakePathCodePage();
    const auto consoleCodePage = MakeConsoleTextCodePage();
    const auto checkerRunner = MakeSystemCapturingRunner();
    ServerChecker checker(*checkerRunner);
    SettingsHistory history(appDir);
    SafeSaveServices safeSaves {checker, history, {}};
    WidgetDialogHost dialogs(files, *launcher, messages, *codePage, &safeSaves, pathCodePage.get());
    // Service commands run on worker threads; their answers come back through the event loop.
    const auto services = MakeSystemServiceManager(appDir, NativePath(InBundle(appDir, paths::kServicesLog)),
        [&application](std::function<void()> task) {
            QMetaObject::invokeMethod(&application, std::move(task), Qt::QueuedConnection);
        });

    Form1 form(Form1Deps {files, *processes, *launcher, messages, dialogs, *instance, *listeners, *codePage,
        history, *services, pathCodePage.get(), consoleCodePage.get()});
    messages.SetParent(&form);
    safeSaves.log = [&form](std::string_view message) { form.AppendLongLogLine(message, {}); };
    if (!form.Form_Load())
        return 0;
    return application.exec();
}
