#include "MainFrm.h"

#include "AppUtils.h"
#include "BaseFrm.h"
#include "Platform.h"
#include "SingleInstance.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDefaultWidth = 560;
constexpr int kDefaultHeight = 430;

} // namespace

TMainForm::TMainForm(const TAppContext& context, QWidget* parent) : QMainWindow(parent), m_context(context)
{
    setObjectName(u"MainForm"_s);
    ApplyBaseFormLook(this);
    QFont font(u"Tahoma"_s);
    font.setPixelSize(11);
    setFont(font);
    resize(kDefaultWidth, kDefaultHeight);
    FormCreate();
}

TMainForm::~TMainForm()
{
    // The messenger window is closed here once it exists, and the desktop display is switched
    // off, before the pages are written.
    SaveAll();
}

void TMainForm::FormCreate()
{
    // The instance marker: from now on a later start finds this window.
    m_instanceServer = new TInstanceServer(this);
    if (!m_context.instanceName.isEmpty() && m_instanceServer->listen(m_context.instanceName))
        connect(m_instanceServer, &TInstanceServer::activationRequested, this, &TMainForm::ShowMainWindow);
    HideApplicationButton();
    CreateActions();
    CreateMenus();
    CreateTabSet();
    setAcceptDrops(true);
    LoadPages();
    ApplySettings();
    setWindowTitle(u"Jotvane"_s);
}

void TMainForm::CreateActions()
{
    HideAction = new QAction(u"隐藏(&H)"_s, this);
    HideAction->setObjectName(u"HideAction"_s);
    HideAction->setShortcut(QKeySequence(Qt::Key_Escape));
    HideAction->setShortcutContext(Qt::WindowShortcut);
    connect(HideAction, &QAction::triggered, this, &TMainForm::HideToTray);
    addAction(HideAction);

    ExitAction = new QAction(u"退出(&X)"_s, this);
    ExitAction->setObjectName(u"ExitAction"_s);
    connect(ExitAction, &QAction::triggered, this, &TMainForm::Exit);
    addAction(ExitAction);
}

void TMainForm::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(u"文件(&F)"_s);
    file->addAction(HideAction);
    file->addSeparator();
    file->addAction(ExitAction);
}

void TMainForm::CreateTabSet()
{
    auto* central = new QWidget(this);
    central->setObjectName(u"Panel1"_s);
    setCentralWidget(central);
}

void TMainForm::LoadPages()
{
}

void TMainForm::ApplySettings()
{
}

void TMainForm::ShowMainWindow()
{
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    setEnabled(true);
    show();
    if (m_context.platform && m_context.platform->windowSystem)
        m_context.platform->windowSystem->bringToFront(this);
    else
        activateWindow();
}

void TMainForm::HideToTray()
{
    hide();
    setEnabled(false);
    SaveModifiedPages();
}

void TMainForm::Exit()
{
    m_exiting = true;
    QCoreApplication::quit();
}

void TMainForm::EndSession()
{
    SaveAll();
    WriteSettings();
}

bool TMainForm::isInstanceMarked() const
{
    return m_instanceServer && m_instanceServer->isListening();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Without a notification area to come back from, closing ends the program.
    event->ignore();
    Exit();
}

void TMainForm::SaveAll()
{
    SaveModifiedPages();
    SaveBounds();
    SavePageIndex();
}

void TMainForm::SaveModifiedPages()
{
}

void TMainForm::SaveBounds()
{
}

void TMainForm::SavePageIndex()
{
}

void TMainForm::WriteSettings()
{
}
