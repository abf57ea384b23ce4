#include "app/Controllers.h"

#include "app/MainFrm.h"
#include "app/WindowHosts.h"
#include "config/AppConfigMgr.h"
#include "config/ui/SettingsController.h"
#include "core/Log.h"
#include "core/PubUtils.h"
#include "desktop/DeskHook.h"
#include "desktop/ui/DesktopCommands.h"
#include "messenger/ui/MessengerController.h"
#include "messenger/ui/PeerNotices.h"
#include "notes/ui/FileController.h"
#include "notes/ui/PadMemo.h"
#include "platform/Platform.h"
#include "platform/linux/DesktopNotifications.h"
#include "platform/linux/OverlayNotices.h"
#include "platform/linux/QtWindowSystem.h"
#include "reminders/ScanRecord.h"
#include "reminders/ui/EditorReminderHost.h"
#include "reminders/ui/MSNPopUp.h"
#include "reminders/ui/RemindersController.h"
#include "templates/ui/InsertController.h"
#include "widgets/CommandTable.h"
#include "widgets/DialogService.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// The messenger's online and offline notices slide in as popups; the popup is made for the
// first notice. In a Wayland session the compositor, not the program, places windows and gives
// the focus: where it offers layer-shell the popups go to its overlay layer at the same corner;
// a program that talks Wayland itself goes to the desktop's notification service elsewhere.
class TPopUpNotices final : public IPeerNotices
{
public:
    void ShowNotice(const QString& title, const QString& text) override
    {
        const bool overlay = InWaylandSession() && m_overlay.Available();
        if (!overlay && QGuiApplication::platformName() == u"wayland"_s) {
            if (!SendDesktopNotification(title, text, kMessengerTimeOut))
                qCWarning(lcJotvane).noquote().nospace()
                    << title << ": " << text << " (no notification service to show it)";
            return;
        }
        if (!m_popUp) {
            m_popUp = std::make_unique<TMSNPopUp>();
            m_popUp->SetMessengerValues();
            // An optional picture beside the program gives the notices their background.
            m_popUp->LoadBackgroundImage(CompanionPath(u"Images/BackgroundImage.bmp"_s));
            if (overlay)
                m_popUp->Overlay = &m_overlay;
        }
        m_popUp->Title = title;
        m_popUp->Text = text;
        m_popUp->ShowPopUp();
    }

private:
    static constexpr int kMessengerTimeOut = 5; // seconds, as the sliding notices stay
    TLayerOverlayNotices m_overlay;             // before the popup, which shows through it until it goes
    std::unique_ptr<TMSNPopUp> m_popUp;
};

// Runs an action once the window is on the screen (the window system has exposed it) and has
// been painted, so that neither the action's cost nor the windows it opens come before the
// window itself. A short pause after the first paint lets the display server put that paint on
// the screen before the action's own requests reach it. A window not exposed within a second
// (on a platform that never says so) gets the action then. Cancel drops the action. The
// watcher goes with its owner.
class TAfterExposed final : public QObject
{
public:
    TAfterExposed(QWindow* window, QObject* owner, std::function<void()> action)
        : QObject(owner), m_window(window), m_action(std::move(action))
    {
        window->installEventFilter(this);
        QTimer::singleShot(kLatestMs, this, &TAfterExposed::Run);
    }
    void Cancel() { m_action = nullptr; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // The window paints while it handles the event: the action comes after, and after the
        // display server has had a moment for that paint.
        if (event->type() == QEvent::Expose && m_window && m_window->isExposed())
            QTimer::singleShot(kAfterPaintMs, this, &TAfterExposed::Run);
        return false;
    }

private:
    static constexpr int kLatestMs = 1000;
    static constexpr int kAfterPaintMs = 150;
    void Run()
    {
        if (!m_action)
            return;
        const std::function<void()> action = std::move(m_action);
        m_action = nullptr;
        action();
    }

    QPointer<QWindow> m_window;
    std::function<void()> m_action;
};

} // namespace

TControllers::TControllers(TMainForm& window, IClock& clock) : m_window(window)
{
    CreateSettings();
    CreateMessenger();
    CreateReminders(clock);
    CreateDesktop();
    CreateInsertAndFile();
    StartSubsystems();
}

// The tray icon, the messenger and the desktop text start once the note window is on the screen
// and painted: none of them has anything to show before it, and the messenger's own window
// would otherwise come first. A window kept hidden at start gets them as soon as the loop runs.
void TControllers::StartSubsystems()
{
    QTimer::singleShot(0, m_messenger.get(), [this] {
        const auto start = [this] {
            m_window.CompleteStart();
            m_messenger->Start();
            m_desktop->Startup();
        };
        QWindow* handle = m_window.windowHandle();
        if (!m_window.isVisible() || m_window.isMinimized() || !handle || handle->isExposed()) {
            start();
            return;
        }
        auto* watcher = new TAfterExposed(handle, m_messenger.get(), start);
        // Nothing starts once the program ends.
        QObject::connect(&m_window, &TMainForm::aboutToExit, watcher, &TAfterExposed::Cancel);
        QObject::connect(&m_window, &TMainForm::sessionEnding, watcher, &TAfterExposed::Cancel);
    });
}

TControllers::~TControllers()
{
    // The subsystems close while their controllers still exist.
    m_window.CloseSubsystems();
}

void TControllers::CreateMessenger()
{
    const TAppContext& context = m_window.Context();
    m_notices = std::make_unique<TPopUpNotices>();
    TMessengerEnvironment environment = TMessengerEnvironment::Real(context.platform, AppDir());
    environment.notices = m_notices.get();
    environment.dialogs = context.dialogs;
    environment.parts = std::make_shared<TRealMessengerParts>(context.dialogs);
    m_messenger = std::make_unique<TMessengerController>(m_window.Commands(), *context.config, environment);
    // The messenger closes before the note window saves its pages.
    TMessengerController* messenger = m_messenger.get();
    QObject::connect(&m_window, &TMainForm::aboutToExit, messenger, &TMessengerController::CloseMessenger);
    QObject::connect(&m_window, &TMainForm::sessionEnding, messenger, &TMessengerController::EndSession);
}

void TControllers::CreateSettings()
{
    m_settingsHost = MakeWindowSettingsHost(m_window);
    m_settings = std::make_unique<TSettingsController>(&m_window, *m_window.Context().config, *m_settingsHost,
                                                       *m_window.Context().dialogs);
    m_settings->BindCommands(m_window.Commands());
}

void TControllers::CreateReminders(IClock& clock)
{
    m_reminderEditors = MakeWindowReminderEditors(m_window, *this);
    m_reminderHost = std::make_unique<TEditorReminderHost>(*m_reminderEditors);

    const TPlatform& platform = *m_window.Context().platform;
    m_reminders = std::make_unique<TRemindersController>(*m_window.Context().config, clock, *platform.sound,
                                                         *platform.powerOff, *m_reminderHost);
    m_reminders->BindCommands(m_window.Commands());
    m_reminders->StartFromRecord(TScanRecord::FileFor(AppDir()));
}

void TControllers::CreateDesktop()
{
    m_deskHook = std::make_unique<TDeskHookLibrary>();
    m_desktopHost = MakeWindowDesktopHost(m_window, *this);
    m_desktop = std::make_unique<TDesktopCommands>(*m_window.Context().config, *m_deskHook, *m_desktopHost,
                                                   *m_window.Context().dialogs);
    m_desktop->BindCommands(m_window.Commands());
    TDesktopCommands* desk = m_desktop.get();
    TMainForm* form = &m_window;
    QObject::connect(form, &TMainForm::hiding, desk, [desk, form] {
        desk->MainWindowHiding(form->PageCount() > 0 && form->EditorAt(0)->Modified());
    });
    QObject::connect(form, &TMainForm::aboutToExit, desk, [desk] { desk->Shutdown(); });
}

void TControllers::CreateInsertAndFile()
{
    TMainForm* form = &m_window;
    auto* insertMenu = m_window.menuBar()->findChild<QMenu*>(u"InsertMenu"_s);
    m_insertHost = MakeWindowInsertHost(m_window, *this);
    m_insert =
        std::make_unique<TInsertController>(insertMenu, form, *m_window.Context().config, *m_insertHost);
    m_insert->BindCommands(m_window.Commands());

    m_fileHost = MakeWindowFileHost(m_window, *this);
    m_files = std::make_unique<TFileController>(form, *m_window.Context().platform, AppDir(), *m_fileHost,
                                                *m_window.Context().dialogs);
    m_files->BindCommands(m_window.Commands());
}
