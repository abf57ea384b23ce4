#include "app/MainFrm.h"

#include "app/SingleInstance.h"
#include "app/SysHotKey.h"
#include "app/ToolsCommands.h"
#include "app/TrayIcon.h"
#include "app/WindowBounds.h"
#include "config/AppConfigMgr.h"
#include "core/Log.h"
#include "notes/PageRules.h"
#include "notes/ui/EditCommands.h"
#include "notes/ui/FindDlg.h"
#include "notes/ui/FindReplace.h"
#include "notes/ui/PadMemo.h"
#include "notes/ui/PageSet.h"
#include "notes/ui/ReplaceDlg.h"
#include "platform/AppUtils.h"
#include "platform/Platform.h"
#include "platform/linux/SystemHotKeyGrabber.h"
#include "widgets/BaseFrm.h"
#include "widgets/CommandTable.h"
#include "widgets/DialogService.h"
#include "widgets/FileErrorBox.h"
#include "widgets/LayerList.h"
#include "widgets/MsgBox.h"
#include "widgets/PadTabSet.h"
#include "widgets/PickButton.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <optional>

using namespace Qt::StringLiterals;

// Resources of a static library are registered by name, outside any namespace.
static void initAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace {

void ReportOnStderr(const QString& message)
{
    qCWarning(lcJotvane).noquote() << message;
}

} // namespace

TMainForm::TMainForm(const TAppContext& context, QWidget* parent)
    : QMainWindow(parent), m_context(context), m_placement(*this, *context.config)
{
    initAppResources();
    InitWidgetResources();
    setObjectName(u"MainForm"_s);
    ApplyBaseFormLook(this);
    QFont font(u"Tahoma"_s);
    font.setPixelSize(11);
    setFont(font);
    resize(WindowBounds::kDefaultWidth, WindowBounds::kDefaultHeight);
    FormCreate();
}

TMainForm::~TMainForm()
{
    CloseSubsystems();
    SaveAll(isVisible());
    // The find and replace dialogs work on the editors: they go before them.
    delete m_editCommands;
    m_editCommands = nullptr;
    delete m_tray;
    m_tray = nullptr;
}

// ---- creation --------------------------------------------------------------------------------

void TMainForm::FormCreate()
{
    // The instance marker: from now on a later start finds this window.
    m_instanceServer = new TInstanceServer(this);
    if (!m_context.instanceName.isEmpty() && m_instanceServer->listen(m_context.instanceName))
        connect(m_instanceServer, &TInstanceServer::commandReceived, this, &TMainForm::InstanceCommand);
    HideApplicationButton();
    m_commands = std::make_unique<TCommandTable>(this);
    m_commands->BuildMainMenu(menuBar());
    CreateLayout();
    CreateTabSet();
    m_pages = new TPageSet({this, m_tabSet, m_layerList, m_context.dataManager, m_context.config,
                            m_context.parser, m_context.dialogs, m_context.platform},
                           this);
    connect(m_pages, &TPageSet::editorCreated, this, &TMainForm::WatchEditor);
    m_editCommands =
        new TEditCommands(this, m_memoPanel, *m_pages, *m_context.config, *m_context.dialogs, this);
    m_toolsCommands =
        new TToolsCommands(this, *m_context.platform, *m_context.config, *m_context.dialogs, this);
    CreateTray();
    CreateHotKey();
    BindWindowCommands();
    m_pages->BindCommands(*m_commands);
    m_editCommands->BindCommands(*m_commands);
    m_toolsCommands->BindCommands(*m_commands);
    setAcceptDrops(true);
    m_pages->LoadPages();
    ApplySettings();
    setWindowTitle(u"Jotvane"_s);
}

void TMainForm::CreateLayout()
{
    m_panel1 = new QWidget(this);
    m_panel1->setObjectName(u"Panel1"_s);
    m_panel1->setAutoFillBackground(true);
    QPalette framePalette = m_panel1->palette();
    framePalette.setColor(QPalette::Window, QColor(119, 119, 119));
    m_panel1->setPalette(framePalette);
    auto* frame = new QVBoxLayout(m_panel1);
    frame->setContentsMargins(1, 1, 1, 1);
    frame->setSpacing(0);

    m_tabSetPanel = new QWidget(m_panel1);
    m_tabSetPanel->setObjectName(u"TabSetPanel"_s);
    m_tabSetPanel->setFixedHeight(25);
    frame->addWidget(m_tabSetPanel);

    m_memoPanel = new QWidget(m_panel1);
    m_memoPanel->setObjectName(u"MemoPanel"_s);
    m_memoPanel->setAutoFillBackground(true);
    auto* memoLayout = new QVBoxLayout(m_memoPanel);
    memoLayout->setContentsMargins(1, 1, 1, 1);
    memoLayout->setSpacing(0);
    m_layerList = new TLayerList(m_memoPanel);
    m_layerList->setObjectName(u"LayerList"_s);
    memoLayout->addWidget(m_layerList);
    frame->addWidget(m_memoPanel, 1);
    setCentralWidget(m_panel1);
}

void TMainForm::CreateTabSet()
{
    m_tabSet = new TPadTabSet(m_tabSetPanel);
    m_tabSet->setObjectName(u"TabSet"_s);
    auto* layout = new QVBoxLayout(m_tabSetPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabSet);
    m_tabSetPopupMenu = new QMenu(this);
    m_commands->BuildTabSetPopupMenu(m_tabSetPopupMenu);
    m_tabSet->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tabSet, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_tabSetPopupMenu->popup(m_tabSet->mapToGlobal(pos)); });
    // The Alt page keys also work while the strip itself has the focus.
    m_tabSet->installEventFilter(this);
}

void TMainForm::CreateTray()
{
    m_tray = new TTrayIcon(*m_commands, m_context.useTray);
    connect(m_tray, &TTrayIcon::toggleRequested, this, &TMainForm::ToggleFromTray);
    connect(m_tray, &TTrayIcon::menuAboutToShow, this, &TMainForm::UpdateTrayMenu);
}

void TMainForm::CreateHotKey()
{
    std::unique_ptr<IHotKeyGrabber> grabber =
        m_context.hotKeyGrabber ? m_context.hotKeyGrabber()
                                : CreateSystemHotKeyGrabber(u"show-hide"_s, u"显示/隐藏 Jotvane 主窗口"_s);
    m_sysHotKey = new TSysHotKey(this, std::move(grabber));
    m_sysHotKey->setObjectName(u"SysHotKey"_s);
    m_sysHotKey->HotKeys().Add();
    connect(m_sysHotKey, &TSysHotKey::OnHotKeys, this,
            [this](TSysHotKey*, int index) { HotKeyPressed(index); });
    // The autostart entry and the hotkey follow the settings as soon as they change. The close
    // button and the tab strip's double click read theirs when used.
    connect(m_context.config, &TAppConfigMgr::changed, this, [this](TSettingsAreas areas) {
        if (areas & TSettingsArea::RunOnStartup)
            ApplyRunOnStartup();
        if (areas & TSettingsArea::HotKey)
            ApplyHotKey();
    });
}

void TMainForm::BindWindowCommands()
{
    m_commands->Bind(Command::Hide, this, [this] { HideToTray(); });
    m_commands->Bind(Command::Exit, this, [this] { Exit(); });
}

void TMainForm::WatchEditor(TPadMemo* editor)
{
    editor->installEventFilter(this);
}

void TMainForm::ApplySettings()
{
    ApplyRunOnStartup();
    ApplyHotKey();
    m_editCommands->ApplySettings();
    m_toolsCommands->ApplySettings();
    m_placement.RestoreBounds();
    RestorePageIndex();
}

void TMainForm::ApplyRunOnStartup()
{
    SetRunOnStartup(*m_context.platform, m_context.config->RunOnStartup, false, u"Jotvane"_s, u"/min"_s);
}

void TMainForm::ApplyHotKey()
{
    THotKeyItem* item = m_sysHotKey->HotKeys().Items(0);
    item->SetHotKey(VirtualKeyFromOrdinal(m_context.config->HotKeyBase),
                    ModifiersFromMask(m_context.config->HotKeyModifiers));
}

void TMainForm::EnableHotKeys(bool on)
{
    if (on)
        m_sysHotKey->EnableAll();
    else
        m_sysHotKey->DisableAll();
}

void TMainForm::RestorePageIndex()
{
    const int index = m_context.config->PageIndex;
    m_pages->SelectPage(index >= 0 && index < PageCount() ? index : 0);
}

// ---- window state ----------------------------------------------------------------------------

bool TMainForm::HasTray() const
{
    return m_tray->Available();
}

QMenu* TMainForm::TrayPopupMenu() const
{
    return m_tray->Menu();
}

void TMainForm::CompleteStart()
{
    setWindowIcon(QIcon(u":/icons/jotvane.png"_s));
    m_tray->ShowIcon();
    m_editCommands->ReadClipboard();
}

QSystemTrayIcon* TMainForm::TrayIcon() const
{
    return m_tray->Icon();
}

TFindReplace* TMainForm::FindReplace() const
{
    return m_editCommands->FindReplace();
}

void TMainForm::ShowMainWindow()
{
    m_minimizedByHide = false;
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    setEnabled(true);
    show();
    m_context.platform->windowSystem->bringToFront(this);
    if (TPadMemo* editor = CurrentEditor())
        editor->setFocus(Qt::ActiveWindowFocusReason);
    m_editCommands->WindowShown();
    UpdateTrayMenu();
    emit windowShown();
}

void TMainForm::HideToTray()
{
    if (m_hiding)
        return;
    m_hiding = true;
    m_editCommands->WindowHidden();
    if (HasTray()) {
        // The way back must be there before the window goes.
        m_tray->ShowIcon();
        hide();
        setEnabled(false);
    } else if (!isMinimized()) {
        // Without a notification area the window only goes to the taskbar and stays enabled: a
        // desktop that cannot minimise windows leaves it in place, and it must still work.
        m_minimizedByHide = true;
        showMinimized();
    }
    emit hiding();
    // A page that cannot be written stays modified; the window still hides.
    std::optional<EFileError> saveError;
    try {
        SaveModifiedPages();
    } catch (const EFileError& error) {
        saveError = error;
    }
    emit windowHidden();
    TAppConfigMgr& c = *m_context.config;
    if (c.PromptMinToTray && HasTray()) {
        const QString title = u"提示"_s;
        const QString text = u"点击此处图标即可再次打开 Jotvane 窗口。"_s;
        m_tray->ShowHint(title, text);
        c.PromptMinToTray = false;
        emit balloonShown(title, text);
    }
    UpdateTrayMenu();
    m_hiding = false;
    if (saveError)
        ShowFileError(*m_context.dialogs, this, *saveError);
}

void TMainForm::UpdateTrayMenu()
{
    m_tray->SetWindowShown(isVisible() && !isMinimized());
}

void TMainForm::ToggleFromTray()
{
    if (ModalDialogOpen())
        return;
    if (isVisible() && !isMinimized())
        HideToTray();
    else
        ShowMainWindow();
}

void TMainForm::HotKeyPressed(int index)
{
    if (index != 0 || ModalDialogOpen())
        return;
    if (isVisible() && !isMinimized() && m_context.platform->windowSystem->isForeground(this))
        HideToTray();
    else
        ShowMainWindow();
}

bool TMainForm::ModalDialogOpen() const
{
    return QApplication::activeModalWidget() != nullptr;
}

void TMainForm::Exit()
{
    m_exiting = true;
    // exit() ends the loop without asking the windows; quit() would be refused by the close
    // handler, which only hides the window.
    QCoreApplication::exit(0);
}

void TMainForm::EndSession()
{
    emit sessionEnding();
    SaveAll(false);
    WriteSettings();
}

void TMainForm::CloseSubsystems()
{
    if (m_subsystemsClosed)
        return;
    m_subsystemsClosed = true;
    emit aboutToExit();
}

bool TMainForm::isInstanceMarked() const
{
    return m_instanceServer && m_instanceServer->isListening();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (m_exiting) {
        event->accept();
        return;
    }
    event->ignore();
    // The close button and Alt+F4 come from the window manager: they only hide.
    if (event->spontaneous()) {
        HideToTray();
        return;
    }
    if (m_context.config->MinOnClose)
        hide();
    else
        Exit();
}

void TMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (isMinimized() && !(change->oldState() & Qt::WindowMinimized))
        HideToTray();
    else if (!isMinimized() && (change->oldState() & Qt::WindowMinimized) && isVisible() &&
             (!isEnabled() || m_minimizedByHide))
        ShowMainWindow();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    UpdateTrayMenu();
    m_placement.WindowShown();
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (TPadMemo* editor = CurrentEditor())
        editor->AdjustMargins();
}

// ---- saving ----------------------------------------------------------------------------------

void TMainForm::SaveAll(bool mayAsk)
{
    // Runs in the destructor and at the session's end too, where an error must not escape and
    // must not wait on the user: the window state is still saved, and the settings are written
    // after the window.
    try {
        SaveModifiedPages();
    } catch (const EFileError& error) {
        // What could not be written must outlive the process: the journal, or a file of its own.
        const QString kept = m_pages->KeepUnsavedPages();
        const QString message = kept.isEmpty() ? error.message() : error.message() + u"\n\n"_s + kept;
        ReportOnStderr(message);
        // The user learns where the text went even when the window is hidden; while the session
        // ends nobody is asked.
        if ((mayAsk || !kept.isEmpty()) && !m_context.dialogs->Unattended())
            m_context.dialogs->MessageBox(isVisible() ? this : nullptr, message, MsgBoxKind::Error,
                                          {MsgBoxButton::OK});
    }
    m_placement.SaveBounds();
    m_context.config->PageIndex = PageIndex();
}

void TMainForm::SaveModifiedPages()
{
    m_pages->SaveModifiedPages();
}

void TMainForm::WriteSettings()
{
    if (!m_context.config->SaveSettings()) {
        const QString error = m_context.config->TakeUnreportedError();
        if (!error.isEmpty())
            ReportOnStderr(error);
    }
}

// ---- pages -----------------------------------------------------------------------------------

int TMainForm::PageCount() const
{
    return m_pages->PageCount();
}

TPadMemo* TMainForm::EditorAt(int index) const
{
    return m_pages->EditorAt(index);
}

TPadMemo* TMainForm::CurrentEditor() const
{
    return m_pages->CurrentEditor();
}

int TMainForm::PageIndex() const
{
    return m_pages->PageIndex();
}

QString TMainForm::PageTitle(int index) const
{
    return m_pages->PageTitle(index);
}

void TMainForm::CreatePage(const QString& title, const QString& text)
{
    m_pages->CreatePage(title, text);
}

void TMainForm::PasteAtCaret(const QString& text)
{
    m_pages->PasteAtCaret(text);
}

// ---- keys and drops --------------------------------------------------------------------------

int TMainForm::CommandKey(const QKeyEvent* event) const
{
    const QKeySequence pressed(event->keyCombination());
    int found = 0;
    for (const QAction* action : actions()) {
        for (const QKeySequence& shortcut : action->shortcuts()) {
            if (shortcut.matches(pressed) != QKeySequence::ExactMatch)
                continue;
            if (action->isEnabled())
                return 1;
            found = -1;
        }
    }
    return found;
}

bool TMainForm::HandlePageKey(const QKeyEvent* event)
{
    if (QGuiApplication::mouseButtons() != Qt::NoButton)
        return false;
    const auto pageKey = PageRules::AltPageKey(event->key(), event->modifiers(), PageIndex(), PageCount());
    if (!pageKey)
        return false;
    if (pageKey->kind == PageRules::TPageKey::PickList) {
        TPickButton* pick = m_tabSet->PickButton();
        pick->RebuildMenu();
        pick->Menu()->popup(pick->mapToGlobal(QPoint(0, pick->height())));
    } else {
        m_pages->SelectPage(pageKey->index);
    }
    return true;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) &&
        (qobject_cast<TPadMemo*>(watched) || watched == m_tabSet)) {
        // Only these two are key events: every other event passes by untouched.
        auto* key = static_cast<QKeyEvent*>(event);
        if (type == QEvent::ShortcutOverride) {
            const int command = CommandKey(key);
            if (command > 0) {
                // The window's commands win over the editor's own keys (Esc, Ctrl+Tab, Ctrl+Z...).
                event->ignore();
                return true;
            }
            // The key of a greyed-out command, or a page key: claimed here, it arrives below as
            // a key press instead of going to the menu bar's access keys (Alt+D is the page
            // list, not the "桌面(&D)" menu).
            if (command < 0 ||
                PageRules::AltPageKey(key->key(), key->modifiers(), PageIndex(), PageCount())) {
                event->accept();
                return true;
            }
        }
        if (type == QEvent::KeyPress) {
            if (HandlePageKey(key))
                return true;
            // A greyed-out command's key does nothing: it never types into the page.
            if (CommandKey(key) < 0)
                return true;
            // A character typed with Alt alone is a command key, never text (as in a Windows edit).
            if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier && !key->text().isEmpty() &&
                key->text().at(0).isPrint())
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    RunFileCommand(*m_context.dialogs, this, [this, &files] { m_pages->OpenDroppedFiles(files); });
}
