#pragma once

#include "AppContext.h"
#include "MainCommands.h"

#include <QMainWindow>

#include <functional>

class QMenu;
class QSystemTrayIcon;
class TFindReplace;
class TInstanceServer;
class TLayer;
class TLayerList;
class TPadMemo;
class TPadTabSet;
class TSysHotKey;

// The note window: the tabs of the pages above one editing area, the commands, the tray icon
// and the global hotkey. Tab i, layer i and page file i are always the same page.
class TMainForm final : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(const TAppContext& context, QWidget* parent = nullptr);
    // The destroy handler: closes the messenger, switches the desktop display off and saves.
    ~TMainForm() override;
    Q_DISABLE_COPY_MOVE(TMainForm)

    // Pages
    int PageCount() const;
    TPadMemo* EditorAt(int index) const;
    TPadMemo* CurrentEditor() const;
    int PageIndex() const;
    QString PageTitle(int index) const;
    void CreatePage(const QString& title, const QString& text);
    void RemovePage(int index, bool toRecycleBin);
    void AddDefaultPage();
    void SaveModifiedPages();
    // A new page filled from file and marked modified; false when the file could not be read
    // (the new page then stays empty).
    bool OpenFileAsPage(const QString& file);
    void PasteAtCaret(const QString& text);

    // Window state
    void ShowMainWindow();
    void HideToTray();
    void UpdateTrayMenu();
    void EnableHotKeys(bool on);
    // Asks the message loop to end; the windows are torn down once it has.
    void Exit();
    // The session ends: run the destroy handler's saving steps and write the settings now.
    void EndSession();
    bool isInstanceMarked() const;
    // True when hiding goes to a notification area; otherwise the window is minimised.
    bool HasTray() const { return m_trayIcon != nullptr; }

    TMainActions& Actions() { return m_actions; }
    TPadTabSet* TabSet() const { return m_tabSet; }
    TLayerList* LayerList() const { return m_layerList; }
    QWidget* MemoPanel() const { return m_memoPanel; }
    QMenu* TabSetPopupMenu() const { return m_tabSetPopupMenu; }
    QMenu* TrayPopupMenu() const { return m_trayPopupMenu; }
    QSystemTrayIcon* TrayIcon() const { return m_trayIcon; }
    TFindReplace* FindReplace() const { return m_findReplace; }
    TSysHotKey* SysHotKey() const { return m_sysHotKey; }

    // Dialog stand-ins for tests: the font and colour pickers. They return false on Cancel.
    std::function<bool(QWidget*, QFont&)> chooseFont;
    std::function<bool(QWidget*, QColor&)> chooseColor;

signals:
    // After the tray balloon was asked for (title, text).
    void balloonShown(const QString& title, const QString& text);

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
    void ConnectActions();
    void DisableUnbuiltCommands();
    void LoadPages();
    void ApplySettings();
    void ApplyRunOnStartup();
    void ApplyHotKey();
    void RestoreBounds();
    void RestorePageIndex();
    void KeepFrameInWorkArea();
    void SaveAll();
    void SaveBounds();
    void SavePageIndex();
    void WriteSettings();

    void AddPageView(const QString& title, const QString& text);
    TPadMemo* CreateEditor(TLayer* layer);
    TPadMemo* EditorOf(TLayer* layer) const;
    // Whether page index has its editor yet (made when the page is first needed).
    bool HasEditor(int index) const;
    void RemovePageView(int index);
    void SelectPage(int index);
    void TabSetClick();
    void TabSetDblClick();
    void TabSetTabMoved(int from, int to);

    void NewPageActionExecute();
    void DeletePageActionExecute();
    void ChgPageTitleActionExecute();
    void FontActionExecute();
    void BgColorActionExecute();
    void WordWrapActionExecute();
    void StayOnTopActionExecute();
    void UpdateEditActions();
    void OpenDroppedFiles(const QStringList& files);
    void ToggleFromTray();
    void HotKeyPressed(int index);
    void ShowInformation(const QString& message);
    bool ModalDialogOpen() const;
    bool IsShortcut(const QKeyEvent* event) const;
    bool HandlePageKey(const QKeyEvent* event);

    TAppContext m_context;
    TMainActions m_actions;
    QWidget* m_panel1 = nullptr;
    QWidget* m_tabSetPanel = nullptr;
    QWidget* m_memoPanel = nullptr;
    TPadTabSet* m_tabSet = nullptr;
    TLayerList* m_layerList = nullptr;
    QMenu* m_tabSetPopupMenu = nullptr;
    QMenu* m_trayPopupMenu = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    TSysHotKey* m_sysHotKey = nullptr;
    TFindReplace* m_findReplace = nullptr;
    TInstanceServer* m_instanceServer = nullptr;
    // The default place is known only as a client rectangle until the window manager has put
    // its frame around the window; the first show then moves the frame into the work area.
    bool m_defaultPlace = false;
    bool m_hiding = false;
    bool m_exiting = false;
};
