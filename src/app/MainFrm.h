#pragma once

#include "app/AppContext.h"
#include "app/WindowPlacement.h"

#include <QMainWindow>

#include <memory>

class QMenu;
class QSystemTrayIcon;
class TCommandTable;
class TEditCommands;
class TFindReplace;
class TInstanceServer;
class TLayerList;
class TPadMemo;
class TPadTabSet;
class TPageSet;
class TSysHotKey;
class TToolsCommands;
class TTrayIcon;

// The note window: the tabs of the pages above one editing area, the menus, the tray icon and
// the global hotkey. The pages, the commands of each subsystem, the tray and the window's place
// are their own objects; the window keeps its layout, its events and the order of saving, and
// tells the subsystems' controllers when it hides, shows, exits or the session ends.
class TMainForm final : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(const TAppContext& context, QWidget* parent = nullptr);
    // The destroy handler: the subsystems close (messenger, desktop display), then the pages and
    // the window state are saved.
    ~TMainForm() override;
    Q_DISABLE_COPY_MOVE(TMainForm)

    // Pages: how the other subsystems reach page text. Tab i, layer i and page file i are the
    // same page.
    TPageSet& Pages() const { return *m_pages; }
    int PageCount() const;
    TPadMemo* EditorAt(int index) const;
    TPadMemo* CurrentEditor() const;
    int PageIndex() const;
    QString PageTitle(int index) const;
    void CreatePage(const QString& title, const QString& text);
    void SaveModifiedPages();
    void PasteAtCaret(const QString& text);

    // Window state
    void ShowMainWindow();
    void HideToTray();
    // A request of a later start: "activate", "toggle", "show" or "hide" (InstanceCommands.cpp).
    void InstanceCommand(const QString& command, const QString& token);
    void EnableHotKeys(bool on);
    // The hotkey of the settings (HotKeyBase, HotKeyModifiers), registered anew.
    void ApplyHotKey();
    // The start-with-the-session entry as the settings say.
    void ApplyRunOnStartup();
    // Asks the message loop to end; the windows are torn down once it has.
    void Exit();
    // The session ends: the destroy handler's saving steps and the settings are written now,
    // without waiting on the user.
    void EndSession();
    // The destroy handler's first step, once: aboutToExit for the subsystems, which close
    // before the pages are saved. The controllers call it before they go.
    void CloseSubsystems();
    bool isInstanceMarked() const;
    // True when hiding goes to a notification area; otherwise the window is minimised.
    bool HasTray() const;

    TCommandTable& Commands() const { return *m_commands; }
    TPadTabSet* TabSet() const { return m_tabSet; }
    TLayerList* LayerList() const { return m_layerList; }
    QWidget* MemoPanel() const { return m_memoPanel; }
    QMenu* TabSetPopupMenu() const { return m_tabSetPopupMenu; }
    QMenu* TrayPopupMenu() const;
    QSystemTrayIcon* TrayIcon() const;
    // What the first look of the window does not need comes once it is on the screen (or at
    // once when it starts hidden): the window's icon, the notification-area icon, which hiding
    // to the tray also puts up, and the paste command's look at the clipboard. The composition
    // root calls this.
    void CompleteStart();
    TFindReplace* FindReplace() const;
    TSysHotKey* SysHotKey() const { return m_sysHotKey; }
    const TAppContext& Context() const { return m_context; }

signals:
    // After the tray balloon was asked for (title, text).
    void balloonShown(const QString& title, const QString& text);
    // The window is being hidden; its pages are not saved yet.
    void hiding();
    // The window has been hidden and its modified pages written.
    void windowHidden();
    void windowShown();
    // The destroy handler begins: subsystems close before the pages are saved.
    void aboutToExit();
    // The session ends (logoff, SIGTERM): subsystems save what they hold, without asking.
    void sessionEnding();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void CreateLayout();
    void CreateTabSet();
    void CreateTray();
    void CreateHotKey();
    void BindWindowCommands();
    void ApplySettings();
    void RestorePageIndex();
    void SaveAll(bool mayAsk);
    void WriteSettings();
    void WatchEditor(TPadMemo* editor);
    void UpdateTrayMenu();
    void ToggleFromTray();
    void HotKeyPressed(int index);
    bool ModalDialogOpen() const;
    // 1: the key is an enabled command's shortcut; -1: a disabled command's; 0: neither.
    int CommandKey(const QKeyEvent* event) const;
    bool HandlePageKey(const QKeyEvent* event);

    TAppContext m_context;
    std::unique_ptr<TCommandTable> m_commands;
    TWindowPlacement m_placement;
    QWidget* m_panel1 = nullptr;
    QWidget* m_tabSetPanel = nullptr;
    QWidget* m_memoPanel = nullptr;
    TPadTabSet* m_tabSet = nullptr;
    TLayerList* m_layerList = nullptr;
    QMenu* m_tabSetPopupMenu = nullptr;
    TPageSet* m_pages = nullptr;
    TEditCommands* m_editCommands = nullptr;
    TToolsCommands* m_toolsCommands = nullptr;
    TTrayIcon* m_tray = nullptr;
    TSysHotKey* m_sysHotKey = nullptr;
    TInstanceServer* m_instanceServer = nullptr;
    bool m_hiding = false;
    // Hidden as a taskbar button (no notification area): restoring it is a way back.
    bool m_minimizedByHide = false;
    bool m_exiting = false;
    bool m_subsystemsClosed = false;
};
