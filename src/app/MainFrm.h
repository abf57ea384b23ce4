#pragma once

#include "AppContext.h"

#include <QMainWindow>

class QAction;
class QMenu;
class TInstanceServer;

// The note window: the tabs of the pages above one editing area, the commands, the tray icon.
class TMainForm final : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(const TAppContext& context, QWidget* parent = nullptr);
    // The destroy handler: closes the messenger, switches the desktop display off and saves.
    ~TMainForm() override;
    Q_DISABLE_COPY_MOVE(TMainForm)

    // Restores, enables, shows and raises the window and puts the caret into the current page.
    void ShowMainWindow();
    void HideToTray();
    // Asks the message loop to end; the windows are torn down once it has.
    void Exit();
    // The session ends: run the destroy handler's saving steps and write the settings now.
    void EndSession();
    // True while the window listens for later starts.
    bool isInstanceMarked() const;

    QAction* ExitAction = nullptr;
    QAction* HideAction = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void CreateActions();
    void CreateMenus();
    void CreateTabSet();
    void LoadPages();
    void ApplySettings();
    void SaveAll();
    void SaveModifiedPages();
    void SaveBounds();
    void SavePageIndex();
    void WriteSettings();

    TAppContext m_context;
    TInstanceServer* m_instanceServer = nullptr;
    bool m_exiting = false;
};
