// Every window shows each caption whole, in the font it uses: the layouts are fixed, so a caption
// longer than its control is cut off on screen.
#include "app/widgets/form1.h"
#include "dialogs/widgets/fabout.h"
#include "dialogs/widgets/fapache.h"
#include "dialogs/widgets/fmysql.h"
#include "dialogs/widgets/fphp.h"
#include "dialogs/widgets/zhanform.h"
#include "fakes/fake_config_files.h"
#include "fakes/fake_desktop_shortcuts.h"
#include "fakes/fake_dialog_host.h"
#include "fakes/fake_instance_guard.h"
#include "fakes/fake_launcher.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_process_list.h"
#include "fakes/fake_program_runner.h"
#include "fakes/fake_tcp_listeners.h"
#include "safety/settings_history.h"
#include "support/captions_fit.h"
#include "support/temp_dir.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace larkspan {
namespace {

struct Fakes
{
    FakeConfigFiles files;
    FakeProcessList processes;
    FakeLauncher launcher;
    FakeMessageBoxes messages;
    FakeDialogHost dialogs;
    FakeInstanceGuard instance;
    FakeDesktopShortcuts desktop;
    FakeProgramRunner runner;
    std::unique_ptr<TextCodePage> codePage = MakeTextCodePage("UTF-8");
    FakeTcpListeners listeners;
    test::TempDir historyFolder;
    SettingsHistory history {historyFolder.path()};
};

template <typename Dialog> std::unique_ptr<QWidget> Loaded(std::unique_ptr<Dialog> dialog)
{
    dialog->Form_Load();
    return dialog;
}

std::unique_ptr<QWidget> MainWindow(Fakes& fakes, ServiceState state)
{
    auto form = std::make_unique<Form1>(Form1Deps {fakes.files, fakes.processes, fakes.launcher,
        fakes.messages, fakes.dialogs, fakes.instance, fakes.listeners, *fakes.codePage, fakes.history});
    for (const ServiceKind kind : kAllServiceKinds)
        form->ShowServiceState(kind, state);
    return form;
}

TEST(CaptionsFit, EveryWindow)
{
    Fakes fakes;
    // Each window as the user sees it: the dialogs after their load, the main window with the
    // status glyphs of either state.
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<QWidget>()>>> windows {
        {"Form1, servers running", [&] { return MainWindow(fakes, Running); }},
        {"Form1, servers stopped", [&] { return MainWindow(fakes, Stopped); }},
        {"fapache",
            [&] { return Loaded(std::make_unique<fapache>(fakes.files, fakes.messages, *fakes.codePage)); }},
        {"fphp",
            [&] { return Loaded(std::make_unique<fphp>(fakes.files, fakes.messages, *fakes.codePage)); }},
        {"fmysql",
            [&] {
                return Loaded(std::make_unique<fmysql>(
                    fakes.files, fakes.launcher, fakes.messages, fakes.runner, *fakes.codePage));
            }},
        {"zhanform",
            [&] { return Loaded(std::make_unique<zhanform>(fakes.files, fakes.messages, *fakes.codePage)); }},
        {"fabout", [&] { return std::make_unique<fabout>(fakes.desktop, fakes.launcher, fakes.messages); }},
    };
    for (const auto& [name, open] : windows) {
        SCOPED_TRACE(name);
        const std::unique_ptr<QWidget> window = open();
        EXPECT_EQ(test::CaptionsThatDoNotFit(*window), std::vector<std::string> {});
    }
}

} // namespace
} // namespace larkspan
