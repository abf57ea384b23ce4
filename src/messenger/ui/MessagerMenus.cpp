#include "messenger/ui/MessagerFrm.h"

#include "core/PubUtils.h"
#include "messenger/MessagerConfigMgr.h"
#include "messenger/MessagerProtocol.h"
#include "messenger/ui/ConversationView.h"
#include "platform/AppUtils.h"
#include "platform/Platform.h"
#include "widgets/DialogService.h"
#include "widgets/InputFrm.h"

#include <QAction>
#include <QMenuBar>

using namespace Qt::StringLiterals;

// The messenger window's menus: hide and exit, find and modify, the four options and the user's
// name, and the tool programs.

void TMessagerForm::CreateMenus()
{
    auto add = [this](QMenu* menu, const QString& name, const QString& caption,
                      const QKeySequence& key = {}) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        if (!key.isEmpty())
            action->setShortcut(key);
        return action;
    };
    auto option = [this, &add](QMenu* menu, const QString& name, const QString& caption, bool& setting) {
        QAction* action = add(menu, name, caption);
        action->setCheckable(true);
        action->setChecked(setting);
        connect(action, &QAction::triggered, this,
                [this, action, &setting] { ToggleOption(action, setting); });
        return action;
    };
    QMenu* file = menuBar()->addMenu(u"文件(&F)"_s);
    file->setObjectName(u"FileMenu"_s);
    connect(add(file, u"ActionHide"_s, u"隐藏(&H)"_s, QKeySequence(Qt::Key_Escape)), &QAction::triggered,
            this, &TMessagerForm::HideMessenger);
    connect(add(file, u"ActionExit"_s, u"退出(&X)"_s), &QAction::triggered, this,
            &TMessagerForm::ShutdownMessenger);

    QMenu* edit = menuBar()->addMenu(u"编辑(&E)"_s);
    edit->setObjectName(u"EditMenu"_s);
    connect(add(edit, u"ActionFind"_s, u"查找(&F)..."_s, QKeySequence(Qt::CTRL | Qt::Key_F)),
            &QAction::triggered, this, [this] { m_conversation->FindActionExecute(); });
    connect(add(edit, u"ActionFindNext"_s, u"查找下一个(&N)"_s, QKeySequence(Qt::Key_F3)),
            &QAction::triggered, this, [this] { m_conversation->FindNextActionExecute(); });
    m_modifyAction = add(edit, u"mnuModify"_s, TConversationView::ModifyCaption());
    connect(m_modifyAction, &QAction::triggered, this,
            [this] { m_conversation->ModifyActionExecute(m_modifyAction); });

    QMenu* settings = menuBar()->addMenu(u"设置(&C)"_s);
    settings->setObjectName(u"ConfigMenu"_s);
    option(settings, u"ActionMessageJump"_s, u"自动弹出(&J)"_s, m_config->MessageJump);
    option(settings, u"ActionMessagePrompt"_s, u"弹出提示(&P)"_s, m_config->MessagePrompt);
    option(settings, u"ActionChatSeft"_s, u"自我通话(&M)"_s, m_config->ChatSeft);
    settings->addSeparator();
    connect(add(settings, u"ActionUserName"_s, u"尊姓大名(&N)"_s), &QAction::triggered, this,
            &TMessagerForm::UserNameActionExecute);
    settings->addSeparator();
    option(settings, u"ActionShowHint"_s, u"动态提示(&H)"_s, m_config->ShowHint);

    QMenu* tools = menuBar()->addMenu(u"工具(&T)"_s);
    tools->setObjectName(u"ToolsMenu"_s);
    const TPlatform* platform = m_env.platform;
    connect(add(tools, u"ActionNotepad"_s, u"记事本(&N)"_s), &QAction::triggered, this,
            [platform] { ShellOpen(*platform, u"notepad.exe"_s); });
    connect(add(tools, u"ActionCalc"_s, u"计算器(&C)"_s), &QAction::triggered, this,
            [platform] { ShellOpen(*platform, u"calc.exe"_s); });
    connect(add(tools, u"ActionAddressBook"_s, u"通讯录(&A)"_s), &QAction::triggered, this,
            [platform] { ShellRun(*platform, CompanionPath(AddressBookProgram()), QString(), QString()); });
    connect(add(tools, u"ActionCalendar"_s, u"公农历(&R)"_s), &QAction::triggered, this,
            [platform] { ShellRun(*platform, CompanionPath(CalendarProgram()), QString(), QString()); });
    connect(add(tools, u"ActionRelax"_s, u"轻松一下(&G)"_s), &QAction::triggered, this,
            [platform] { ShellOpen(*platform, RelaxAddress()); });
}

void TMessagerForm::ToggleOption(QAction* action, bool& setting)
{
    if (!m_config)
        return;
    setting = action->isChecked();
    if (&setting == &m_config->ChatSeft)
        m_protocol->Refresh();
}

void TMessagerForm::UserNameActionExecute()
{
    QString name;
    if (InputTextDialog(*m_env.dialogs, this, u"Jotvane"_s, u"请输入尊姓大名:       "_s, true, false, name))
        m_config->UserName = name;
}
