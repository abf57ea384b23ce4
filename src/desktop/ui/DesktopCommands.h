#pragma once

#include "config/AppConfigMgr.h"
#include "desktop/OnDesk.h"
#include "platform/linux/QtWindowSystem.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class IDialogService;
class QAction;
class TCommandTable;
class QWidget;

// The commands of the desktop menu. The note window's command table owns them; the controller
// connects their logic and keeps their check marks and the margin caption.
struct TDesktopActions
{
    QAction* OnDesktopAction = nullptr;
    QAction* ShowWallPaperAction = nullptr;
    QAction* DesktoFontAction = nullptr;
    QAction* SeperatorColorAction = nullptr;
    QAction* DesktopAligmentLeftAction = nullptr;
    QAction* DesktopAligmentMiddleAction = nullptr;
    QAction* DesktopAligmentRightAction = nullptr;
    QAction* AligmentSpaceAction = nullptr;
    QAction* SignSeperatorAction = nullptr;
    QAction* SignOnDeskAction = nullptr;
    QAction* OnDeskAllAction = nullptr;
};

// What the desktop commands need of the note window and of the program's dialogs.
class IDesktopHost
{
public:
    virtual ~IDesktopHost() = default;
    // The owner of the messages (the note window).
    virtual QWidget* OwnerWindow() = 0;
    // The lines of the first page's editor.
    virtual QStringList FirstPageLines() = 0;
    // Pastes text at the caret of the current page (through the clipboard), replacing the selection.
    virtual void PasteAtCaret(const QString& text) = 0;
    // The font dialog preset with font (colour included); true with the choice on OK.
    virtual bool PickFont(TFontSetting& font) = 0;
    // The colour dialog preset with color; true with the choice on OK.
    virtual bool PickColor(TColor& color) = 0;
    // The settings dialog opened on the page of that index; true when the user confirmed it.
    // The settings' changed signal applies what it confirmed (the desktop's with AfterSettingsConfirmed).
    virtual bool OpenSettings(int pageIndex) = 0;
};

// The settings dialog's desktop page.
inline constexpr int kDesktopSettingsPage = 4;

// The root window of the X11 display the program runs on; on Wayland a non-zero stand-in for
// the compositor's output, where the library draws on the background layer; 0 elsewhere.
quintptr FindDesktopListView();
// There is no active desktop that could cover the text on Linux: always 0.
quintptr FindActiveDesktop();

// The desktop menu's commands and the moments the note window hands to the desktop display.
//
//   TDesktopCommands desk(config, hookLibrary, host, dialogs);
//   desk.BindCommands(window.Commands());
//   desk.Startup();                         // after the window's settings are applied
//   ...
//   desk.MainWindowHiding(firstPage->Modified());   // before the pages are saved
//   desk.Shutdown();                        // in the window's destroy handler
class TDesktopCommands final : public QObject
{
    Q_OBJECT
public:
    TDesktopCommands(TAppConfigMgr& config, IDeskHook& hook, IDesktopHost& host, IDialogService& dialogs,
                     TDesktopWindows windows = {FindDesktopListView, FindActiveDesktop, InWaylandSession()},
                     QObject* parent = nullptr);

    // Claims the desktop menu's commands and connects them, and follows the settings' changes;
    // before anything else is asked.
    void BindCommands(TCommandTable& commands);
    const TDesktopActions& Actions() const { return m_actions; }

    // Check marks and the margin caption from the settings.
    void RefreshMenu();
    // Start-up: menu refresh, then the display as OnDesktop says (an active desktop turns it off).
    void Startup();
    // The desktop's settings changed (the settings dialog closed with OK, whichever command
    // opened it).
    void AfterSettingsConfirmed();
    // The note window is being hidden: a modified first page goes to the desktop again, and so
    // does a first page whose lines differ from those the desktop last got (another page became
    // the first one, or the changes were saved before the window hid).
    void MainWindowHiding(bool firstPageModified);
    // A reminder fired and marked its line.
    void ReminderFired();
    // The note window is destroyed: the display is removed.
    void Shutdown();

    void OnDesktopActionExecute();
    void ShowWallPaperActionExecute();
    void DesktoFontActionExecute();
    void SeperatorColorActionExecute();
    void DesktopAligmentActionExecute(int tag);
    void AligmentSpaceActionExecute();
    void SignSeperatorActionExecute();
    void SignOnDeskActionExecute();
    void OnDeskAllActionExecute();

private:
    bool setDesktopDisplay(bool on);
    void sendLines(const QStringList& pageLines);
    void applySettings(const QStringList& pageLines);
    void showMessage(const QString& text, TDeskNoticeKind kind);
    // Says once per run, without waiting, that this desktop cannot show the text.
    void tellUnsupported();

    TDesktopActions m_actions;
    TAppConfigMgr& m_config;
    IDeskHook& m_hook;
    IDesktopHost& m_host;
    IDialogService& m_dialogs;
    TDesktopWindows m_windows;
    bool m_starting = false;
    bool m_layerMissing = false; // the compositor offers no background layer
    bool m_toldLayerMissing = false;
    // The first page's lines as last sent to the desktop; none before the first send.
    std::optional<QStringList> m_sentLines;
};
