// The composition root: builds the platform services and the three process-wide objects in
// their order, hands them to the windows and tears everything down in the reverse order.
#include "app/AppContext.h"
#include "app/Application.h"
#include "app/Controllers.h"
#include "app/MainFrm.h"
#include "app/SessionEnd.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "config/AppConfigMgr.h"
#include "core/Clock.h"
#include "core/Log.h"
#include "core/PubUtils.h"
#include "notes/DataManager.h"
#include "notes/PageIndex.h"
#include "notes/PageJournal.h"
#include "notes/ui/PageSet.h"
#include "platform/linux/LinuxPlatform.h"
#include "templates/ExprParser.h"
#include "widgets/BaseFrm.h"
#include "widgets/DeferredIconStyle.h"
#include "widgets/DialogService.h"
#include "widgets/QtTranslations.h"
#include "widgets/UnattendedDialogs.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Writes Config.ini once more after the windows. A failure goes to standard error; after a normal
// Exit the user is also told, in one box, which file could not be written, since the settings
// of this run are lost. At the end of a session nobody may be there to answer, so no box waits.
void saveSettingsAtExit(IDialogService& dialogs, TAppConfigMgr& config, bool userPresent)
{
    // This is the release's write: the release itself does not write again.
    config.SetSaveOnRelease(false);
    if (config.SaveSettings())
        return;
    const QString error = config.LastError();
    qCWarning(lcJotvane).noquote() << error;
    if (userPresent)
        dialogs.MessageBox(nullptr, error, MsgBoxKind::Error, {MsgBoxButton::OK});
}

// The window shows one page at least. When the folder holds none and no page file can be made
// either (no Data folder can be created, or nothing can be written in it), there is nowhere to
// keep a single line: the user is told why, and the start ends before the window is shown.
bool KeptAPage(IDialogService& dialogs, TMainForm& mainForm, const TDataManager& dataManager)
{
    if (mainForm.Pages().PageCount() > 0)
        return true;
    QString message = u"无法保存任何页面，Jotvane 不能启动。\n\n"_s + mainForm.Pages().LoadError();
    if (const QString problems = dataManager.ScanProblems(); !problems.isEmpty())
        message += u"\n\n"_s + problems;
    qCWarning(lcJotvane).noquote() << message;
    dialogs.MessageBox(nullptr, message, MsgBoxKind::Error, {MsgBoxButton::OK});
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (!HasDisplay()) {
        qCWarning(lcJotvane) << "no display. Jotvane is a desktop program: start it inside a graphical "
                                "session (DISPLAY or WAYLAND_DISPLAY must be set).";
        return 2;
    }
    // jotvane --toggle, --show, --hide: handed to the running copy, which answers at once; a
    // toggle or show that finds none starts one, shown.
    if (const QString command = RemoteCommandOf(argc, argv); !command.isEmpty()) {
        if (SendInstanceCommand(InstanceServerName(), command, qEnvironmentVariable("XDG_ACTIVATION_TOKEN")))
            return 0;
        if (!RemoteCommandStartsCopy(command))
            return 0;
    }
    // The pages are read while the display connection and the window are made. A start that
    // hands over to the running copy drops what was read without having changed anything.
    std::optional<TPageReadAhead> pageRead;
    if (const std::optional<TAppLocations> early = AppLocationsBeforeStart())
        pageRead.emplace(early->dataDir + u"Data"_s, PageIndex::FileFor(early->dataDir + u"Data"_s));
    TJotvaneApplication app(argc, argv);
    QApplication::setStyle(new TDeferredIconStyle);
    QApplication::setApplicationName(u"Jotvane"_s);
    QApplication::setQuitOnLastWindowClosed(false);
    InstallFontSubstitutions();
    InstallQtTranslations(app);

    LinuxPlatform platform;
    TAppContext context;
    context.platform = &platform.services();
    // Every box and dialog goes through the service; once the session ends, boxes answer
    // themselves.
    TQtDialogService platformDialogs(platform.services());
    TUnattendedDialogs dialogs(platformDialogs);
    context.dialogs = &dialogs;
    app.SetDialogs(&dialogs);
    context.instanceName = InstanceServerName();

    // One copy per application folder, decided before any file is read. When the running copy
    // does not answer, this start ends without touching the pages or the settings.
    TInstanceLock instanceLock(InstanceLockPath(AppDir()));
    const TStartTurn turn = ClaimInstance(instanceLock, context.instanceName);
    if (turn == TStartTurn::NotAnswering) {
        qCWarning(lcJotvane) << "Jotvane is already running but does not answer.";
        dialogs.MessageBox(nullptr,
                           u"Jotvane 已经在运行，但没有响应。\n请等它恢复响应，或者结束它以后再启动。"_s,
                           MsgBoxKind::Error, {MsgBoxButton::OK});
        return 1;
    }

    // The process-wide objects, in this order; released in the reverse order after the windows.
    auto parser = std::make_unique<TExprParser>();
    context.parser = parser.get();
    auto dataManager = std::make_unique<TDataManager>(AppSubDir(u"Data"_s), *platform.services().trash,
                                                      pageRead ? &*pageRead : nullptr,
                                                      PageIndex::FileFor(AppSubDir(u"Data"_s)));
    context.dataManager = dataManager.get();
    auto config = std::make_unique<TAppConfigMgr>(AppDir() + u"Config.ini"_s);
    context.config = config.get();
    // A start that handed over to the running copy writes back the settings it read, as a
    // second start always has, and ends without a window.
    if (turn == TStartTurn::HandedOver) {
        config.reset();
        dataManager.reset();
        parser.reset();
        return 0;
    }
    // Termination signals are caught from here on. Until now one ends the program at once:
    // nothing has been changed yet, and a long read of a huge settings file must not hold up
    // the end. One that arrives before the message loop runs waits in the watcher.
    TSessionEndWatcher sessionEnd;
    // Set once a termination signal has come: from then on no message box waits for an answer.
    std::optional<TUnattendedDialogs::TScope> ending;

    int result = 0;
    {
        // Unsaved page text, kept in the page folder's hidden ".recovery" folder; it outlives
        // the window, which removes the journal of every page it writes at the end.
        TPageJournal journal(dataManager->folder() + u".recovery"_s);
        TMainForm mainForm(context);
        if (!KeptAPage(dialogs, mainForm, *dataManager)) {
            // The run ends before it began: Config.ini is left as it was.
            config->SetSaveOnRelease(false);
            return 1;
        }
        mainForm.Pages().SetJournal(&journal);
        // Text that can be written neither to its page nor to the journal (a read-only folder)
        // is kept in the user's own data folder instead, or in the home folder when even that
        // cannot be written.
        mainForm.Pages().SetUnsavedFolders(
            {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Jotvane/unsaved"_s,
             QDir::homePath() + u"/Jotvane unsaved"_s});
        const TJournalRecovery recovery = mainForm.Pages().RecoverJournal();
        TSystemClock clock;
        TControllers controllers(mainForm, clock);
        QObject::connect(&sessionEnd, &TSessionEndWatcher::sessionEnding, &mainForm, [&mainForm, &dialogs] {
            const TUnattendedDialogs::TScope unattended(dialogs);
            mainForm.EndSession();
        });
        QObject::connect(&sessionEnd, &TSessionEndWatcher::terminateRequested, &mainForm,
                         [&mainForm, &ending, &dialogs](int) {
                             // The normal exit saves everything, without waiting on anyone.
                             if (!ending)
                                 ending.emplace(dialogs);
                             mainForm.Exit();
                         });
        if (!StartsHidden(app.arguments()))
            mainForm.ShowMainWindow();
        else if (!mainForm.HasTray())
            mainForm.showMinimized();
        if (!recovery.isEmpty()) {
            const QString message = TPageJournal::RecoveryMessage(recovery);
            qCWarning(lcJotvane).noquote() << message;
            QTimer::singleShot(0, &mainForm, [&mainForm, &dialogs, message] {
                dialogs.MessageBox(&mainForm, message, MsgBoxKind::Information, {MsgBoxButton::OK}, 0);
            });
        }
        // Files the start left alone or could not renumber are named once, after the window.
        if (const QString problems = dataManager->ScanProblems(); !problems.isEmpty()) {
            qCWarning(lcJotvane).noquote() << problems;
            QTimer::singleShot(0, &mainForm, [&mainForm, &dialogs, problems] {
                dialogs.MessageBox(&mainForm, problems, MsgBoxKind::Warning, {MsgBoxButton::OK}, 0);
            });
        }
        result = QApplication::exec();
    }
    // A termination signal while the closing box below waits ends the wait.
    QObject::connect(&sessionEnd, &TSessionEndWatcher::terminateRequested, &app, [&ending, &dialogs](int) {
        if (!ending)
            ending.emplace(dialogs);
        QCoreApplication::exit(0);
    });
    saveSettingsAtExit(dialogs, *config, !ending.has_value());
    config.reset();
    dataManager.reset();
    parser.reset();
    return result;
}
