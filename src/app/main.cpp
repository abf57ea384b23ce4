// The composition root: builds the platform services and the three process-wide objects in
// their order, hands them to the windows and tears everything down in the reverse order.
#include "AppContext.h"
#include "BaseFrm.h"
#include "DataManager.h"
#include "MainFrm.h"
#include "Platform.h"
#include "PubUtils.h"
#include "SessionEnd.h"
#include "SingleInstance.h"
#include "Startup.h"

#include <QApplication>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    if (!HasDisplay()) {
        std::fputs("jotvane: no display. Jotvane is a desktop program: start it inside a graphical "
                   "session (DISPLAY or WAYLAND_DISPLAY must be set).\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Jotvane"_s);
    QApplication::setQuitOnLastWindowClosed(false);
    InstallFontSubstitutions();

    LinuxPlatform platform;
    TAppContext context;
    context.platform = &platform.services();
    context.instanceName = InstanceServerName();

    // The process-wide objects, in this order; released in the reverse order after the windows.
    auto dataManager = std::make_unique<TDataManager>(AppSubDir(u"Data"_s), *platform.services().trash);
    context.dataManager = dataManager.get();

    if (ActivateRunningInstance(context.instanceName))
        return 0;

    int result = 0;
    {
        TMainForm mainForm(context);
        TSessionEndWatcher sessionEnd;
        QObject::connect(&sessionEnd, &TSessionEndWatcher::sessionEnding, &mainForm, &TMainForm::EndSession);
        QObject::connect(&sessionEnd, &TSessionEndWatcher::terminateRequested, &mainForm, [&mainForm](int) {
            mainForm.EndSession();
            mainForm.Exit();
        });
        if (!StartsHidden(app.arguments()))
            mainForm.ShowMainWindow();
        result = QApplication::exec();
    }
    dataManager.reset();
    return result;
}
