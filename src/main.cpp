// Wiring only: the real platform, files and windows.
#include "app_dir.h"
#include "bundle_paths.h"
#include "capturing_runner.h"
#include "checked_save.h"
#include "config_files.h"
#include "form1.h"
#include "instance_guard.h"
#include "launcher.h"
#include "native_path.h"
#include "process_list.h"
#include "program_options.h"
#include "qt_message_boxes.h"
#include "server_check.h"
#include "settings_history.h"
#include "tcp_listeners.h"
#include "text_code_page.h"
#include "widget_dialog_host.h"

#include <QApplication>

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

    QApplication application(argc, argv);
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
    const auto checkerRunner = MakeSystemCapturingRunner();
    ServerChecker checker(*checkerRunner);
    SettingsHistory history(appDir);
    SafeSaveServices safeSaves {checker, history, {}};
    WidgetDialogHost dialogs(files, *launcher, messages, *codePage, &safeSaves);

    Form1 form(Form1Deps {
        files, *processes, *launcher, messages, dialogs, *instance, *listeners, *codePage, history});
    messages.SetParent(&form);
    safeSaves.log = [&form](std::string_view message) { form.AppendLongLogLine(message, {}); };
    if (!form.Form_Load())
        return 0;
    return application.exec();
}
