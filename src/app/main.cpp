// The composition root: builds the platform services and the three process-wide objects in
// their order, hands them to the windows and tears everything down in the reverse order.
#include "config/AppConfigMgr.h"
#include "app/AppContext.h"
#include "app/Application.h"
#include "widgets/BaseFrm.h"
#include "notes/DataManager.h"
#include "templates/ExprParser.h"
#include "app/MainFrm.h"
#include "platform/Platform.h"
#include "core/PubUtils.h"
#include "app/SessionEnd.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "messenger/ui/MessengerController.h"
#include "widgets/DialogService.h"

#include <QApplication>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Writes Config.ini; a failure can no longer be shown in a window, so it goes to stderr once.
void saveSettingsAtExit(TAppConfigMgr& config)
{
    if (!config.SaveSettings()) {
        const QString error = config.TakeUnreportedError();
        if (!error.isEmpty())
            std::fprintf(stderr, "jotvane: %s\n", error.toLocal8Bit().constData());
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (!HasDisplay()) {
        std::fputs("jotvane: no display. Jotvane is a desktop program: start it inside a graphical "
                   "session (DISPLAY or WAYLAND_DISPLAY must be set).\n",
                   stderr);
        return 2;
    }
    TJotvaneApplication app(argc, argv);
    QApplication::setApplicationName(u"Jotvane"_s);
    QApplication::setQuitOnLastWindowClosed(false);
    InstallFontSubstitutions();
    // Termination signals are caught from here on; one that arrives before the window exists
    // waits in the watcher until the message loop runs.
    TSessionEndWatcher sessionEnd;

    LinuxPlatform platform;
    TAppContext context;
    context.platform = &platform.services();
    TQtDialogService dialogs(platform.services());
    context.dialogs = &dialogs;
    context.instanceName = InstanceServerName();

    // The process-wide objects, in this order; released in the reverse order after the windows.
    auto parser = std::make_unique<TExprParser>();
    context.parser = parser.get();
    auto dataManager = std::make_unique<TDataManager>(AppSubDir(u"Data"_s), *platform.services().trash);
    context.dataManager = dataManager.get();
    auto config = std::make_unique<TAppConfigMgr>(AppDir() + u"Config.ini"_s);
    context.config = config.get();

    int result = 0;
    // A second start hands over to the running copy and writes back the settings it read.
    if (!ActivateRunningInstance(context.instanceName)) {
        TMainForm mainForm(context);
        QObject::connect(&sessionEnd, &TSessionEndWatcher::sessionEnding, &mainForm, &TMainForm::EndSession);
        QObject::connect(&sessionEnd, &TSessionEndWatcher::terminateRequested, &mainForm, [&mainForm](int) {
            mainForm.EndSession();
            mainForm.Exit();
        });
        // The messenger closes before the note window saves its pages.
        TMessengerController messenger(mainForm.Commands(), *config,
                                       TMessengerEnvironment::Real(context.platform, AppDir()));
        QObject::connect(&mainForm, &TMainForm::aboutToExit, &messenger, &TMessengerController::CloseMessenger);
        QObject::connect(&mainForm, &TMainForm::sessionEnding, &messenger, &TMessengerController::EndSession);
        messenger.Start();
        if (!StartsHidden(app.arguments()))
            mainForm.ShowMainWindow();
        else if (!mainForm.HasTray())
            mainForm.showMinimized();
        result = QApplication::exec();
    }
    saveSettingsAtExit(*config);
    config.reset();
    dataManager.reset();
    parser.reset();
    return result;
}
