#include "widgets/CommandTable.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

enum class TRowKind
{
    Menu,    // a menu of the main menu; its name is the category of the commands below it
    SubMenu, // a submenu of the current menu, until EndSubMenu
    EndSubMenu,
    Separator, // a separator; a named one can be found by its name
    Command,
};

enum TRowFlag
{
    Checkable = 1,
    Checked = 2,
    Invisible = 4, // in its menu, but never shown
    NoMenu = 8,    // a command with keys only
    Exclusive = 16 // one of a group of mutually exclusive commands in the same submenu
};

struct TRow
{
    TRowKind kind;
    const char16_t* name;
    QString caption;
    QList<QKeySequence> keys;
    int flags = 0;
    const char* objectName = "";
};

QKeySequence k(QKeyCombination combination)
{
    return QKeySequence(combination);
}

TRow menu(const char16_t* category, const QString& caption, const char* objectName)
{
    return {TRowKind::Menu, category, caption, {}, 0, objectName};
}

TRow command(TCommandName name, const QString& caption, QList<QKeySequence> keys = {}, int flags = 0)
{
    return {TRowKind::Command, name.name, caption, std::move(keys), flags};
}

TRow separator(const char16_t* name = u"")
{
    return {TRowKind::Separator, name, QString(), {}};
}

// The whole main menu, top to bottom. The order of the rows is the order of the commands.
const std::vector<TRow>& Rows()
{
    static const std::vector<TRow> rows = {
        menu(u"File", u"文件(&F)"_s, "FileMenu"),
        command(Command::LoadFromFile, u"打开(&O)..."_s, {k(Qt::CTRL | Qt::Key_O)}),
        command(Command::SaveToFile, u"另存为(&A)..."_s),
        separator(),
        // Printing does nothing: its item is in the menu but never shown.
        command(Command::Print, u"打印(&P)..."_s, {k(Qt::CTRL | Qt::Key_P)}, Invisible),
        command(Command::BackUp, u"备份(&B)..."_s, {k(Qt::CTRL | Qt::Key_B)}),
        separator(),
        command(Command::Hide, u"隐藏(&H)"_s, {k(QKeyCombination(Qt::Key_Escape))}),
        separator(),
        command(Command::Exit, u"退出(&X)"_s),

        menu(u"Edit", u"编辑(&E)"_s, "EditMenu"),
        command(Command::Undo, u"撤销(&U)"_s, {k(Qt::CTRL | Qt::Key_Z)}),
        separator(),
        command(Command::Cut, u"剪切(&T)"_s, {k(Qt::CTRL | Qt::Key_X)}),
        command(Command::Copy, u"复制(&C)"_s, {k(Qt::CTRL | Qt::Key_C)}),
        command(Command::Paste, u"粘贴(&P)"_s, {k(Qt::CTRL | Qt::Key_V)}),
        separator(),
        command(Command::Find, u"查找(&F)..."_s, {k(Qt::CTRL | Qt::Key_F)}),
        command(Command::FindNext, u"查找下一个(&N)"_s, {k(QKeyCombination(Qt::Key_F3))}),
        command(Command::Replace, u"替换(&R)..."_s, {k(Qt::CTRL | Qt::Key_H)}),
        command(Command::SearchAllPages, u"在所有页面中查找(&L)..."_s, {k(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}),
        separator(),
        command(Command::SelectAll, u"全选(&A)"_s, {k(Qt::CTRL | Qt::Key_A)}),

        menu(u"Page", u"页面(&P)"_s, "PageMenu"),
        command(Command::NewPage, u"新建(&N)"_s, {k(Qt::CTRL | Qt::Key_N)}),
        command(Command::DeletePage, u"删除(&D)"_s,
                {k(Qt::CTRL | Qt::Key_Delete), k(Qt::SHIFT | Qt::ALT | Qt::Key_Delete)}),
        separator(),
        command(Command::ChgPageTitle, u"改标题(&M)"_s, {k(QKeyCombination(Qt::Key_F2))}),
        command(Command::NextPage, u"下一页(&N)"_s, {k(Qt::CTRL | Qt::Key_Tab)}, NoMenu),
        // Shift+Tab arrives as Backtab.
        command(Command::PrevPage, u"上一页(&P)"_s,
                {k(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), k(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)}, NoMenu),

        menu(u"Format", u"格式(&O)"_s, "FormatMenu"),
        command(Command::Font, u"字体(&F)..."_s),
        command(Command::BgColor, u"背景色(&C)..."_s),
        separator(),
        command(Command::WordWrap, u"自动换行(&W)"_s, {}, Checkable | Checked),

        menu(u"Insert", u"插入(&I)"_s, "InsertMenu"),
        command(Command::InsertLine, u"分隔行(&L)"_s, {k(Qt::CTRL | Qt::Key_Minus)}),
        command(Command::InsertDate, u"日期/时间(&D)"_s, {k(QKeyCombination(Qt::Key_F5))}),
        command(Command::InsertLineDate, u"日期时间分隔行(&B)"_s, {k(Qt::CTRL | Qt::ALT | Qt::Key_Minus)}),
        separator(u"InsertN1Item"),
        separator(u"InsertN2Item"),
        command(Command::InsertConfig, u"插入文本设置(&C)..."_s),

        menu(u"Alarm", u"提醒(&A)"_s, "AlarmMenu"),
        command(Command::AlarmTime, u"插入提醒时间(&T)"_s, {k(Qt::CTRL | Qt::Key_T)}),
        command(Command::SignComplete, u"插入完成符(&E)"_s, {k(Qt::CTRL | Qt::Key_E)}),
        separator(),
        command(Command::Alarm, u"定时提醒(&A)"_s, {}, Checkable),
        command(Command::Beep, u"声音提醒(&B)"_s, {}, Checkable),
        command(Command::ShutDown, u"定时关机(&S)..."_s),

        menu(u"OnDesk", u"桌面(&D)"_s, "DesktopMenu"),
        command(Command::OnDesktop, u"桌面显示(&D)"_s, {}, Checkable),
        command(Command::ShowWallPaper, u"显示墙纸(&W)"_s, {}, Checkable),
        command(Command::DesktoFont, u"文字字体(&F)..."_s),
        command(Command::SeperatorColor, u"分隔线颜色(&S)..."_s),
        {TRowKind::SubMenu, u"DesktopPositionMenu", u"文字位置(&A)"_s, {}},
        command(Command::DesktopAligmentLeft, u"左对齐(&L)"_s, {}, Checkable | Exclusive),
        command(Command::DesktopAligmentMiddle, u"居中(&M)"_s, {}, Checkable | Exclusive),
        command(Command::DesktopAligmentRight, u"右对齐(&R)"_s, {}, Checkable | Exclusive),
        separator(),
        command(Command::AligmentSpace, u"边距(&S):10"_s),
        {TRowKind::EndSubMenu, u"", QString(), {}},
        separator(),
        command(Command::SignSeperator, u"插入分隔线(&S)"_s, {k(Qt::CTRL | Qt::ALT | Qt::Key_L)}),
        command(Command::SignOnDesk, u"插入显示标记(&M)"_s, {k(Qt::CTRL | Qt::Key_M)}),
        separator(),
        command(Command::OnDeskAll, u"设置(&O)..."_s),

        menu(u"Messager", u"信使(&M)"_s, "MessagerMenu"),
        command(Command::ShowMessager, u"激活信使(&A)"_s),
        command(Command::Messager, u"启用信使(&M)"_s, {}, Checkable),
        command(Command::HideOnStart, u"启动就隐藏(&H)"_s, {}, Checkable),

        menu(u"Tools", u"工具(&T)"_s, "ToolsMenu"),
        command(Command::StayOnTop, u"在最顶层(&T)"_s, {k(QKeyCombination(Qt::Key_F6))}, Checkable),
        separator(),
        command(Command::Config, u"设置(&O)..."_s, {k(QKeyCombination(Qt::Key_F8))}),
        separator(),
        command(Command::Notepad, u"记事本(&N)"_s),
        command(Command::Calc, u"计算器(&C)"_s),
        command(Command::InfoCard, u"通讯录(&A)"_s),
        command(Command::Calendar, u"公农历(&R)"_s),
        command(Command::Game, u"轻松一下(&G)"_s),

        menu(u"Help", u"帮助(&H)"_s, "HelpMenu"),
        command(Command::Readme, u"自述(&R)..."_s),
        command(Command::HotKeyList, u"快捷键(&S)..."_s),
        separator(),
        command(Command::About, u"关于(&A)"_s),
    };
    return rows;
}

QString NameOf(const TRow& row)
{
    return QString::fromUtf16(row.name);
}

} // namespace

TCommandTable::TCommandTable(QWidget* window)
{
    QString category;
    QActionGroup* group = nullptr;
    int groupTag = 0;
    for (const TRow& row : Rows()) {
        switch (row.kind) {
        case TRowKind::Menu:
            category = NameOf(row);
            continue;
        case TRowKind::SubMenu:
        case TRowKind::EndSubMenu:
            group = nullptr;
            continue;
        case TRowKind::Separator:
            continue;
        case TRowKind::Command:
            break;
        }
        auto* command = new QAction(row.caption, window);
        command->setObjectName(NameOf(row));
        command->setProperty("category", category);
        command->setShortcuts(row.keys);
        command->setShortcutContext(Qt::WindowShortcut);
        command->setCheckable(row.flags & Checkable);
        command->setChecked(row.flags & Checked);
        command->setEnabled(false);
        if (row.flags & Exclusive) {
            if (!group) {
                group = new QActionGroup(window);
                groupTag = 0;
            }
            command->setData(groupTag++);
            group->addAction(command);
        }
        window->addAction(command);
        m_all.append(command);
        m_byName.insert(command->objectName(), command);
    }
}

QAction* TCommandTable::action(TCommandName name) const
{
    return action(name.view());
}

QAction* TCommandTable::action(QStringView name) const
{
    QAction* command = m_byName.value(name.toString());
    Q_ASSERT_X(command, "TCommandTable::action", "no command of that name");
    return command;
}

void TCommandTable::Enable(QAction* command)
{
    command->setEnabled(true);
}

void TCommandTable::BuildMainMenu(QMenuBar* bar) const
{
    QMenu* top = nullptr;
    QMenu* current = nullptr;
    for (const TRow& row : Rows()) {
        switch (row.kind) {
        case TRowKind::Menu:
            top = current = bar->addMenu(row.caption);
            top->setObjectName(QString::fromLatin1(row.objectName));
            break;
        case TRowKind::SubMenu:
            current = top->addMenu(row.caption);
            current->setObjectName(NameOf(row));
            break;
        case TRowKind::EndSubMenu:
            current = top;
            break;
        case TRowKind::Separator:
            current->addSeparator()->setObjectName(NameOf(row));
            break;
        case TRowKind::Command: {
            if (row.flags & NoMenu)
                break;
            QAction* command = action(QStringView(row.name));
            current->addAction(command);
            if (row.flags & Invisible)
                command->setVisible(false);
            break;
        }
        }
    }
}

void TCommandTable::BuildTabSetPopupMenu(QMenu* menu) const
{
    menu->setObjectName(u"TabSetPopupMenu"_s);
    menu->addActions({action(Command::NewPage), action(Command::DeletePage)});
    menu->addSeparator();
    menu->addAction(action(Command::ChgPageTitle));
}

void TCommandTable::BuildTrayPopupMenu(QMenu* menu) const
{
    menu->setObjectName(u"TrayPopupMenu"_s);
    for (TCommandName name : {Command::Notepad, Command::Calc, Command::InfoCard, Command::Calendar,
                              Command::ShowMessager, Command::Game})
        menu->addAction(action(name));
    menu->addSeparator();
    menu->addActions({action(Command::About), action(Command::BackUp)});
    menu->addSeparator();
}
