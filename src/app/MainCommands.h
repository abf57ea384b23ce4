#pragma once

#include <QList>

class QAction;
class QMenu;
class QMenuBar;
class QObject;
class QWidget;

// Every command of the note window, by its name. Menus only point to these actions; a
// command's logic is connected by the window.
struct TMainActions
{
    // File
    QAction* LoadFromFileAction = nullptr;
    QAction* SaveToFileAction = nullptr;
    QAction* PrintAction = nullptr;
    QAction* BackUpAction = nullptr;
    QAction* HideAction = nullptr;
    QAction* ExitAction = nullptr;
    // Edit
    QAction* UndoAction = nullptr;
    QAction* CutAction = nullptr;
    QAction* CopyAction = nullptr;
    QAction* PasteAction = nullptr;
    QAction* SelectAllAction = nullptr;
    QAction* FindAction = nullptr;
    QAction* FindNextAction = nullptr;
    QAction* ReplaceAction = nullptr;
    // Page
    QAction* NewPageAction = nullptr;
    QAction* DeletePageAction = nullptr;
    QAction* ChgPageTitleAction = nullptr;
    QAction* NextPageAction = nullptr;
    QAction* PrevPageAction = nullptr;
    // Format
    QAction* FontAction = nullptr;
    QAction* BgColorAction = nullptr;
    QAction* WordWrapAction = nullptr;
    // Insert
    QAction* InsertLineAction = nullptr;
    QAction* InsertDateAction = nullptr;
    QAction* InsertLineDateAction = nullptr;
    QAction* InsertConfigAction = nullptr;
    // Alarm
    QAction* AlarmTimeAction = nullptr;
    QAction* SignCompleteAction = nullptr;
    QAction* AlarmAction = nullptr;
    QAction* BeepAction = nullptr;
    QAction* ShutDownAction = nullptr;
    // OnDesk
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
    // Messager
    QAction* ShowMessagerAction = nullptr;
    QAction* MessagerAction = nullptr;
    QAction* HideOnStartAction = nullptr;
    // Tools
    QAction* StayOnTopAction = nullptr;
    QAction* ConfigAction = nullptr;
    QAction* NotepadAction = nullptr;
    QAction* CalcAction = nullptr;
    QAction* InfoCardAction = nullptr;
    QAction* CalendarAction = nullptr;
    QAction* GameAction = nullptr;
    // Help
    QAction* ReadmeAction = nullptr;
    QAction* HotKeyListAction = nullptr;
    QAction* AboutAction = nullptr;

    // The tray menu's show/hide item ("打开(&O)" / "隐藏(&D)").
    QAction* TrayPopShowMainFormItem = nullptr;
    // The two separators of the Insert menu between which the user's own texts are listed.
    QAction* InsertN1Item = nullptr;
    QAction* InsertN2Item = nullptr;

    // Every command above, in table order (the tray item and separators excepted).
    QList<QAction*> all() const;
};

// Creates every command with its category, caption, shortcuts and check state, owned by and
// added to window (so that the shortcuts work while the window is active).
TMainActions CreateMainActions(QWidget* window);
// The ten menus of the main menu, top to bottom.
void BuildMainMenu(QMenuBar* bar, TMainActions& actions);
// The tab strip's popup menu: New, Delete, -, Change title.
void BuildTabSetPopupMenu(QMenu* menu, const TMainActions& actions);
// The notification-area menu.
void BuildTrayPopupMenu(QMenu* menu, const TMainActions& actions);
