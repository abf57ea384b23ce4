#include "MainCommands.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

QAction* make(QWidget* window, QAction*& slot, const char* name, const QString& category,
              const QString& caption, const QList<QKeySequence>& shortcuts = {})
{
    slot = new QAction(caption, window);
    slot->setObjectName(QString::fromLatin1(name));
    slot->setProperty("category", category);
    // Both shortcuts of a command with a second one: the list keeps the duplicate out.
    QList<QKeySequence> unique;
    for (const QKeySequence& key : shortcuts)
        if (!unique.contains(key))
            unique.append(key);
    slot->setShortcuts(unique);
    slot->setShortcutContext(Qt::WindowShortcut);
    window->addAction(slot);
    return slot;
}

QKeySequence key(QKeyCombination combination)
{
    return QKeySequence(combination);
}

} // namespace

QList<QAction*> TMainActions::all() const
{
    return {LoadFromFileAction,
            SaveToFileAction,
            PrintAction,
            BackUpAction,
            HideAction,
            ExitAction,
            UndoAction,
            CutAction,
            CopyAction,
            PasteAction,
            SelectAllAction,
            FindAction,
            FindNextAction,
            ReplaceAction,
            NewPageAction,
            DeletePageAction,
            ChgPageTitleAction,
            NextPageAction,
            PrevPageAction,
            FontAction,
            BgColorAction,
            WordWrapAction,
            InsertLineAction,
            InsertDateAction,
            InsertLineDateAction,
            InsertConfigAction,
            AlarmTimeAction,
            SignCompleteAction,
            AlarmAction,
            BeepAction,
            ShutDownAction,
            OnDesktopAction,
            ShowWallPaperAction,
            DesktoFontAction,
            SeperatorColorAction,
            DesktopAligmentLeftAction,
            DesktopAligmentMiddleAction,
            DesktopAligmentRightAction,
            AligmentSpaceAction,
            SignSeperatorAction,
            SignOnDeskAction,
            OnDeskAllAction,
            ShowMessagerAction,
            MessagerAction,
            HideOnStartAction,
            StayOnTopAction,
            ConfigAction,
            NotepadAction,
            CalcAction,
            InfoCardAction,
            CalendarAction,
            GameAction,
            ReadmeAction,
            HotKeyListAction,
            AboutAction};
}

TMainActions CreateMainActions(QWidget* w)
{
    TMainActions a;
    const QString file = u"File"_s, edit = u"Edit"_s, page = u"Page"_s, format = u"Format"_s,
                  insert = u"Insert"_s, alarm = u"Alarm"_s, desk = u"OnDesk"_s, messager = u"Messager"_s,
                  tools = u"Tools"_s, help = u"Help"_s;

    make(w, a.LoadFromFileAction, "LoadFromFileAction", file, u"打开(&O)..."_s, {key(Qt::CTRL | Qt::Key_O)});
    make(w, a.SaveToFileAction, "SaveToFileAction", file, u"另存为(&A)..."_s);
    make(w, a.PrintAction, "PrintAction", file, u"打印(&P)..."_s, {key(Qt::CTRL | Qt::Key_P)});
    make(w, a.BackUpAction, "BackUpAction", file, u"备份(&B)..."_s, {key(Qt::CTRL | Qt::Key_B)});
    make(w, a.HideAction, "HideAction", file, u"隐藏(&H)"_s, {key(QKeyCombination(Qt::Key_Escape))});
    make(w, a.ExitAction, "ExitAction", file, u"退出(&X)"_s);

    make(w, a.UndoAction, "UndoAction", edit, u"撤销(&U)"_s, {key(Qt::CTRL | Qt::Key_Z)});
    make(w, a.CutAction, "CutAction", edit, u"剪切(&T)"_s, {key(Qt::CTRL | Qt::Key_X)});
    make(w, a.CopyAction, "CopyAction", edit, u"复制(&C)"_s, {key(Qt::CTRL | Qt::Key_C)});
    make(w, a.PasteAction, "PasteAction", edit, u"粘贴(&P)"_s, {key(Qt::CTRL | Qt::Key_V)});
    make(w, a.SelectAllAction, "SelectAllAction", edit, u"全选(&A)"_s, {key(Qt::CTRL | Qt::Key_A)});
    make(w, a.FindAction, "FindAction", edit, u"查找(&F)..."_s, {key(Qt::CTRL | Qt::Key_F)});
    make(w, a.FindNextAction, "FindNextAction", edit, u"查找下一个(&N)"_s,
         {key(QKeyCombination(Qt::Key_F3))});
    make(w, a.ReplaceAction, "ReplaceAction", edit, u"替换(&R)..."_s,
         {key(Qt::CTRL | Qt::Key_H), key(Qt::CTRL | Qt::Key_H)});

    make(w, a.NewPageAction, "NewPageAction", page, u"新建(&N)"_s,
         {key(Qt::CTRL | Qt::Key_N), key(Qt::CTRL | Qt::Key_N)});
    make(w, a.DeletePageAction, "DeletePageAction", page, u"删除(&D)"_s,
         {key(Qt::CTRL | Qt::Key_Delete), key(Qt::SHIFT | Qt::ALT | Qt::Key_Delete)});
    make(w, a.ChgPageTitleAction, "ChgPageTitleAction", page, u"改标题(&M)"_s,
         {key(QKeyCombination(Qt::Key_F2))});
    make(w, a.NextPageAction, "NextPageAction", page, u"下一页(&N)"_s, {key(Qt::CTRL | Qt::Key_Tab)});
    // Shift+Tab arrives as Backtab.
    make(w, a.PrevPageAction, "PrevPageAction", page, u"上一页(&P)"_s,
         {key(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), key(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)});

    make(w, a.FontAction, "FontAction", format, u"字体(&F)..."_s);
    make(w, a.BgColorAction, "BgColorAction", format, u"背景色(&C)..."_s);
    make(w, a.WordWrapAction, "WordWrapAction", format, u"自动换行(&W)"_s);
    a.WordWrapAction->setCheckable(true);
    a.WordWrapAction->setChecked(true);

    make(w, a.InsertLineAction, "InsertLineAction", insert, u"分隔行(&L)"_s, {key(Qt::CTRL | Qt::Key_Minus)});
    make(w, a.InsertDateAction, "InsertDateAction", insert, u"日期/时间(&D)"_s,
         {key(QKeyCombination(Qt::Key_F5))});
    make(w, a.InsertLineDateAction, "InsertLineDateAction", insert, u"日期时间分隔行(&B)"_s,
         {key(Qt::CTRL | Qt::ALT | Qt::Key_Minus)});
    make(w, a.InsertConfigAction, "InsertConfigAction", insert, u"插入文本设置(&C)..."_s);

    make(w, a.AlarmTimeAction, "AlarmTimeAction", alarm, u"插入提醒时间(&T)"_s, {key(Qt::CTRL | Qt::Key_T)});
    make(w, a.SignCompleteAction, "SignCompleteAction", alarm, u"插入完成符(&E)"_s,
         {key(Qt::CTRL | Qt::Key_E)});
    make(w, a.AlarmAction, "AlarmAction", alarm, u"定时提醒(&A)"_s);
    make(w, a.BeepAction, "BeepAction", alarm, u"声音提醒(&B)"_s);
    make(w, a.ShutDownAction, "ShutDownAction", alarm, u"定时关机(&S)..."_s);
    a.AlarmAction->setCheckable(true);
    a.BeepAction->setCheckable(true);

    make(w, a.OnDesktopAction, "OnDesktopAction", desk, u"桌面显示(&D)"_s);
    make(w, a.ShowWallPaperAction, "ShowWallPaperAction", desk, u"显示墙纸(&W)"_s);
    make(w, a.DesktoFontAction, "DesktoFontAction", desk, u"文字字体(&F)..."_s);
    make(w, a.SeperatorColorAction, "SeperatorColorAction", desk, u"分隔线颜色(&S)..."_s);
    make(w, a.DesktopAligmentLeftAction, "DesktopAligmentLeftAction", desk, u"左对齐(&L)"_s);
    make(w, a.DesktopAligmentMiddleAction, "DesktopAligmentMiddleAction", desk, u"居中(&M)"_s);
    make(w, a.DesktopAligmentRightAction, "DesktopAligmentRightAction", desk, u"右对齐(&R)"_s);
    make(w, a.AligmentSpaceAction, "AligmentSpaceAction", desk, u"边距(&S):10"_s);
    make(w, a.SignSeperatorAction, "SignSeperatorAction", desk, u"插入分隔线(&S)"_s,
         {key(Qt::CTRL | Qt::ALT | Qt::Key_L)});
    make(w, a.SignOnDeskAction, "SignOnDeskAction", desk, u"插入显示标记(&M)"_s, {key(Qt::CTRL | Qt::Key_M)});
    make(w, a.OnDeskAllAction, "OnDeskAllAction", desk, u"设置(&O)..."_s);
    a.OnDesktopAction->setCheckable(true);
    a.ShowWallPaperAction->setCheckable(true);
    auto* alignment = new QActionGroup(w);
    int tag = 0;
    for (QAction* action :
         {a.DesktopAligmentLeftAction, a.DesktopAligmentMiddleAction, a.DesktopAligmentRightAction}) {
        action->setCheckable(true);
        action->setData(tag++);
        alignment->addAction(action);
    }

    make(w, a.ShowMessagerAction, "ShowMessagerAction", messager, u"激活信使(&A)"_s);
    make(w, a.MessagerAction, "MessagerAction", messager, u"启用信使(&M)"_s);
    make(w, a.HideOnStartAction, "HideOnStartAction", messager, u"启动就隐藏(&H)"_s);
    a.MessagerAction->setCheckable(true);
    a.HideOnStartAction->setCheckable(true);

    make(w, a.StayOnTopAction, "StayOnTopAction", tools, u"在最顶层(&T)"_s,
         {key(QKeyCombination(Qt::Key_F6))});
    a.StayOnTopAction->setCheckable(true);
    make(w, a.ConfigAction, "ConfigAction", tools, u"设置(&O)..."_s, {key(QKeyCombination(Qt::Key_F8))});
    make(w, a.NotepadAction, "NotepadAction", tools, u"记事本(&N)"_s);
    make(w, a.CalcAction, "CalcAction", tools, u"计算器(&C)"_s);
    make(w, a.InfoCardAction, "InfoCardAction", tools, u"通讯录(&A)"_s);
    make(w, a.CalendarAction, "CalendarAction", tools, u"公农历(&R)"_s);
    make(w, a.GameAction, "GameAction", tools, u"轻松一下(&G)"_s);

    make(w, a.ReadmeAction, "ReadmeAction", help, u"自述(&R)..."_s);
    make(w, a.HotKeyListAction, "HotKeyListAction", help, u"快捷键(&S)..."_s);
    make(w, a.AboutAction, "AboutAction", help, u"关于(&A)"_s);

    a.TrayPopShowMainFormItem = new QAction(u"隐藏(&D)"_s, w);
    a.TrayPopShowMainFormItem->setObjectName(u"TrayPopShowMainFormItem"_s);
    return a;
}

void BuildMainMenu(QMenuBar* bar, TMainActions& a)
{
    QMenu* m = bar->addMenu(u"文件(&F)"_s);
    m->setObjectName(u"FileMenu"_s);
    m->addActions({a.LoadFromFileAction, a.SaveToFileAction});
    m->addSeparator();
    // Printing does nothing: its item is in the menu but never shown.
    m->addAction(a.PrintAction);
    a.PrintAction->setVisible(false);
    m->addAction(a.BackUpAction);
    m->addSeparator();
    m->addAction(a.HideAction);
    m->addSeparator();
    m->addAction(a.ExitAction);

    m = bar->addMenu(u"编辑(&E)"_s);
    m->setObjectName(u"EditMenu"_s);
    m->addAction(a.UndoAction);
    m->addSeparator();
    m->addActions({a.CutAction, a.CopyAction, a.PasteAction});
    m->addSeparator();
    m->addActions({a.FindAction, a.FindNextAction, a.ReplaceAction});
    m->addSeparator();
    m->addAction(a.SelectAllAction);

    m = bar->addMenu(u"页面(&P)"_s);
    m->setObjectName(u"PageMenu"_s);
    m->addActions({a.NewPageAction, a.DeletePageAction});
    m->addSeparator();
    m->addAction(a.ChgPageTitleAction);

    m = bar->addMenu(u"格式(&O)"_s);
    m->setObjectName(u"FormatMenu"_s);
    m->addActions({a.FontAction, a.BgColorAction});
    m->addSeparator();
    m->addAction(a.WordWrapAction);

    m = bar->addMenu(u"插入(&I)"_s);
    m->setObjectName(u"InsertMenu"_s);
    m->addActions({a.InsertLineAction, a.InsertDateAction, a.InsertLineDateAction});
    a.InsertN1Item = m->addSeparator();
    a.InsertN1Item->setObjectName(u"InsertN1Item"_s);
    a.InsertN2Item = m->addSeparator();
    a.InsertN2Item->setObjectName(u"InsertN2Item"_s);
    m->addAction(a.InsertConfigAction);

    m = bar->addMenu(u"提醒(&A)"_s);
    m->setObjectName(u"AlarmMenu"_s);
    m->addActions({a.AlarmTimeAction, a.SignCompleteAction});
    m->addSeparator();
    m->addActions({a.AlarmAction, a.BeepAction, a.ShutDownAction});

    m = bar->addMenu(u"桌面(&D)"_s);
    m->setObjectName(u"DesktopMenu"_s);
    m->addActions({a.OnDesktopAction, a.ShowWallPaperAction, a.DesktoFontAction, a.SeperatorColorAction});
    QMenu* position = m->addMenu(u"文字位置(&A)"_s);
    position->addActions(
        {a.DesktopAligmentLeftAction, a.DesktopAligmentMiddleAction, a.DesktopAligmentRightAction});
    position->addSeparator();
    position->addAction(a.AligmentSpaceAction);
    m->addSeparator();
    m->addActions({a.SignSeperatorAction, a.SignOnDeskAction});
    m->addSeparator();
    m->addAction(a.OnDeskAllAction);

    m = bar->addMenu(u"信使(&M)"_s);
    m->setObjectName(u"MessagerMenu"_s);
    m->addActions({a.ShowMessagerAction, a.MessagerAction, a.HideOnStartAction});

    m = bar->addMenu(u"工具(&T)"_s);
    m->setObjectName(u"ToolsMenu"_s);
    m->addAction(a.StayOnTopAction);
    m->addSeparator();
    m->addAction(a.ConfigAction);
    m->addSeparator();
    m->addActions({a.NotepadAction, a.CalcAction, a.InfoCardAction, a.CalendarAction, a.GameAction});

    m = bar->addMenu(u"帮助(&H)"_s);
    m->setObjectName(u"HelpMenu"_s);
    m->addActions({a.ReadmeAction, a.HotKeyListAction});
    m->addSeparator();
    m->addAction(a.AboutAction);
}

void BuildTabSetPopupMenu(QMenu* menu, const TMainActions& a)
{
    menu->setObjectName(u"TabSetPopupMenu"_s);
    menu->addActions({a.NewPageAction, a.DeletePageAction});
    menu->addSeparator();
    menu->addAction(a.ChgPageTitleAction);
}

void BuildTrayPopupMenu(QMenu* menu, const TMainActions& a)
{
    menu->setObjectName(u"TrayPopupMenu"_s);
    menu->addActions({a.NotepadAction, a.CalcAction, a.InfoCardAction, a.CalendarAction, a.ShowMessagerAction,
                      a.GameAction});
    menu->addSeparator();
    menu->addActions({a.AboutAction, a.BackUpAction});
    menu->addSeparator();
    menu->addActions({a.TrayPopShowMainFormItem, a.ExitAction});
}
