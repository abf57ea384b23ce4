#include "MainFrm.h"

#include "AppConfigMgr.h"
#include "AppUtils.h"
#include "BaseFrm.h"
#include "DataManager.h"
#include "ExprErrors.h"
#include "ExprParser.h"
#include "FindDlg.h"
#include "FindReplace.h"
#include "HotKeyGrabber.h"
#include "InputFrm.h"
#include "Layer.h"
#include "LayerList.h"
#include "MemoFormat.h"
#include "MsgBox.h"
#include "PadMemo.h"
#include "PadTabSet.h"
#include "PageRules.h"
#include "PickButton.h"
#include "Platform.h"
#include "PubUtils.h"
#include "ReplaceDlg.h"
#include "SettingsLook.h"
#include "SingleInstance.h"
#include "SysHotKey.h"
#include "TextFile.h"
#include "WindowBounds.h"

#include "AboutFrm.h"
#include "ShortcutsFrm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFontDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdio>
#include <optional>
#include <stdexcept>

using namespace Qt::StringLiterals;

// Resources of a static library are registered by name, outside any namespace.
static void initAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace {

// The companion programs expected beside the executable, and the page the relax command opens.
const QString kAddressBookProgram = u"jotvane-addressbook"_s;
const QString kCalendarProgram = u"jotvane-calendar"_s;
const QString kRelaxAddress = u"https://www.example.org/jotvane/relax"_s;

// The text of a page whose editor has not been made yet, kept on its layer.
const char kPendingTextProperty[] = "jvPendingText";

// Windows' shortest balloon time: a shorter request shows the balloon this long.
constexpr int kBalloonMinimumMs = 10000;

void ShowFileError(QWidget* owner, const EFileError& error)
{
    ShowMsgBox(owner, error.message(), MsgBoxKind::Error, {MsgBoxButton::OK});
}

// Runs a command that reads or writes page files. A file that cannot be read or written ends
// the command with a message; let through into the event loop, the error would end the program
// and every page not yet saved would be lost.
template <typename Command> void RunFileCommand(QWidget* owner, Command command)
{
    try {
        command();
    } catch (const EFileError& error) {
        ShowFileError(owner, error);
    }
}

} // namespace

TMainForm::TMainForm(const TAppContext& context, QWidget* parent) : QMainWindow(parent), m_context(context)
{
    initAppResources();
    InitWidgetResources();
    setObjectName(u"MainForm"_s);
    setWindowIcon(QIcon(u":/icons/jotvane.png"_s));
    ApplyBaseFormLook(this);
    QFont font(u"Tahoma"_s);
    font.setPixelSize(11);
    setFont(font);
    resize(WindowBounds::kDefaultWidth, WindowBounds::kDefaultHeight);
    chooseFont = [](QWidget* owner, QFont& chosen) {
        bool ok = false;
        const QFont picked = QFontDialog::getFont(&ok, chosen, owner);
        if (ok)
            chosen = picked;
        return ok;
    };
    chooseColor = [](QWidget* owner, QColor& chosen) {
        const QColor picked = QColorDialog::getColor(chosen, owner);
        if (picked.isValid())
            chosen = picked;
        return picked.isValid();
    };
    FormCreate();
}

TMainForm::~TMainForm()
{
    // The messenger window closes here once it exists, and the desktop display is switched off,
    // before the pages and the window state are saved.
    SaveAll();
    // The find and replace dialogs work on the editors: they go before them.
    delete m_findReplace;
    m_findReplace = nullptr;
}

// ---- creation --------------------------------------------------------------------------------

void TMainForm::FormCreate()
{
    // The instance marker: from now on a later start finds this window.
    m_instanceServer = new TInstanceServer(this);
    if (!m_context.instanceName.isEmpty() && m_instanceServer->listen(m_context.instanceName))
        connect(m_instanceServer, &TInstanceServer::activationRequested, this, &TMainForm::ShowMainWindow);
    HideApplicationButton();
    m_actions = CreateMainActions(this);
    BuildMainMenu(menuBar(), m_actions);
    CreateLayout();
    CreateTabSet();
    CreateTray();
    CreateHotKey();
    m_findReplace = new TFindReplace(
        this, [this] { return CurrentEditor(); },
        [this](const QString& message) { ShowInformation(message); });
    ConnectActions();
    DisableUnbuiltCommands();
    setAcceptDrops(true);
    LoadPages();
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
    BuildTabSetPopupMenu(m_tabSetPopupMenu, m_actions);
    m_tabSet->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tabSet, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_tabSetPopupMenu->popup(m_tabSet->mapToGlobal(pos)); });
    connect(m_tabSet, &TPadTabSet::OnClick, this, &TMainForm::TabSetClick);
    // The Alt page keys also work while the strip itself has the focus.
    m_tabSet->installEventFilter(this);
    connect(m_tabSet, &TPadTabSet::OnDblClick, this,
            [this] { RunFileCommand(this, [this] { TabSetDblClick(); }); });
    connect(m_tabSet, &TPadTabSet::OnTabMoved, this, [this](int from, int to) {
        RunFileCommand(this, [this, from, to] { TabSetTabMoved(from, to); });
    });
}

void TMainForm::CreateTray()
{
    m_trayPopupMenu = new QMenu(this);
    BuildTrayPopupMenu(m_trayPopupMenu, m_actions);
    connect(m_trayPopupMenu, &QMenu::aboutToShow, this, &TMainForm::UpdateTrayMenu);
    // Without a notification area hiding would lock the user out: the window is minimised to
    // the taskbar instead.
    if (!m_context.useTray || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_trayIcon = new QSystemTrayIcon(QIcon(u":/icons/jotvane.png"_s), this);
    m_trayIcon->setObjectName(u"TrayIcon"_s);
    m_trayIcon->setToolTip(u"Jotvane"_s);
    m_trayIcon->setContextMenu(m_trayPopupMenu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A double click arrives after the press that already toggled: it toggles once more.
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            ToggleFromTray();
    });
    m_trayIcon->show();
}

void TMainForm::CreateHotKey()
{
    std::unique_ptr<IHotKeyGrabber> grabber =
        m_context.hotKeyGrabber ? m_context.hotKeyGrabber() : CreateSystemHotKeyGrabber();
    m_sysHotKey = new TSysHotKey(this, std::move(grabber));
    m_sysHotKey->setObjectName(u"SysHotKey"_s);
    m_sysHotKey->HotKeys().Add();
    connect(m_sysHotKey, &TSysHotKey::OnHotKeys, this,
            [this](TSysHotKey*, int index) { HotKeyPressed(index); });
}

void TMainForm::ConnectActions()
{
    TMainActions& a = m_actions;
    connect(a.HideAction, &QAction::triggered, this, &TMainForm::HideToTray);
    connect(a.ExitAction, &QAction::triggered, this, &TMainForm::Exit);

    auto editor = [this]() -> TPadMemo* {
        if (auto* focused = qobject_cast<TPadMemo*>(QApplication::focusWidget()))
            return focused;
        return CurrentEditor();
    };
    connect(a.UndoAction, &QAction::triggered, this, [editor] {
        if (TPadMemo* e = editor())
            e->undo();
    });
    connect(a.CutAction, &QAction::triggered, this, [editor] {
        if (TPadMemo* e = editor())
            e->cut();
    });
    connect(a.CopyAction, &QAction::triggered, this, [editor] {
        if (TPadMemo* e = editor())
            e->copy();
    });
    connect(a.PasteAction, &QAction::triggered, this, [editor] {
        if (TPadMemo* e = editor())
            e->paste();
    });
    connect(a.SelectAllAction, &QAction::triggered, this, [editor] {
        if (TPadMemo* e = editor())
            e->selectAll();
    });
    connect(a.FindAction, &QAction::triggered, m_findReplace, &TFindReplace::FindActionExecute);
    connect(a.FindNextAction, &QAction::triggered, m_findReplace, &TFindReplace::FindNextActionExecute);
    connect(a.ReplaceAction, &QAction::triggered, m_findReplace, &TFindReplace::ReplaceActionExecute);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TMainForm::UpdateEditActions);

    connect(a.NewPageAction, &QAction::triggered, this,
            [this] { RunFileCommand(this, [this] { NewPageActionExecute(); }); });
    connect(a.DeletePageAction, &QAction::triggered, this,
            [this] { RunFileCommand(this, [this] { DeletePageActionExecute(); }); });
    connect(a.ChgPageTitleAction, &QAction::triggered, this,
            [this] { RunFileCommand(this, [this] { ChgPageTitleActionExecute(); }); });
    connect(a.NextPageAction, &QAction::triggered, this, [this] {
        if (m_tabSet->Tabs().Count() > 0)
            SelectPage(PageRules::NextIndex(m_tabSet->TabIndex(), m_tabSet->Tabs().Count()));
    });
    connect(a.PrevPageAction, &QAction::triggered, this, [this] {
        if (m_tabSet->Tabs().Count() > 0)
            SelectPage(PageRules::PreviousIndex(m_tabSet->TabIndex(), m_tabSet->Tabs().Count()));
    });

    connect(a.FontAction, &QAction::triggered, this, &TMainForm::FontActionExecute);
    connect(a.BgColorAction, &QAction::triggered, this, &TMainForm::BgColorActionExecute);
    connect(a.WordWrapAction, &QAction::triggered, this, &TMainForm::WordWrapActionExecute);
    connect(a.StayOnTopAction, &QAction::triggered, this, &TMainForm::StayOnTopActionExecute);

    const TPlatform* platform = m_context.platform;
    connect(a.NotepadAction, &QAction::triggered, this,
            [platform] { ShellOpen(*platform, u"notepad.exe"_s); });
    connect(a.CalcAction, &QAction::triggered, this, [platform] { ShellOpen(*platform, u"calc.exe"_s); });
    connect(a.InfoCardAction, &QAction::triggered, this,
            [platform] { ShellRun(*platform, AppDir() + kAddressBookProgram, QString(), QString()); });
    connect(a.CalendarAction, &QAction::triggered, this,
            [platform] { ShellRun(*platform, AppDir() + kCalendarProgram, QString(), QString()); });
    connect(a.GameAction, &QAction::triggered, this, [platform] { ShellOpen(*platform, kRelaxAddress); });
    connect(a.ReadmeAction, &QAction::triggered, this,
            [platform] { ShellRun(*platform, AppDir() + u"Readme.txt"_s, QString(), QString()); });
    connect(a.HotKeyListAction, &QAction::triggered, this, [this] { ShowShortcutHelp(this); });
    connect(a.AboutAction, &QAction::triggered, this, [this] { ShowAboutBox(*m_context.platform, this); });
    connect(a.TrayPopShowMainFormItem, &QAction::triggered, this, &TMainForm::ToggleFromTray);
}

void TMainForm::DisableUnbuiltCommands()
{
    // Commands whose windows and logic are not part of this program yet stay in the menus,
    // greyed out, with their shortcuts inactive.
    const TMainActions& a = m_actions;
    for (QAction* action : {a.LoadFromFileAction,
                            a.SaveToFileAction,
                            a.BackUpAction,
                            a.InsertLineAction,
                            a.InsertDateAction,
                            a.InsertLineDateAction,
                            a.InsertConfigAction,
                            a.AlarmTimeAction,
                            a.SignCompleteAction,
                            a.AlarmAction,
                            a.BeepAction,
                            a.ShutDownAction,
                            a.OnDesktopAction,
                            a.ShowWallPaperAction,
                            a.DesktoFontAction,
                            a.SeperatorColorAction,
                            a.DesktopAligmentLeftAction,
                            a.DesktopAligmentMiddleAction,
                            a.DesktopAligmentRightAction,
                            a.AligmentSpaceAction,
                            a.SignSeperatorAction,
                            a.SignOnDeskAction,
                            a.OnDeskAllAction,
                            a.ShowMessagerAction,
                            a.MessagerAction,
                            a.HideOnStartAction,
                            a.ConfigAction})
        action->setEnabled(false);
}

void TMainForm::LoadPages()
{
    const TPageItems pages = m_context.dataManager->GetPages();
    // The stored pages arrive together: their tabs are laid out once, not once per page, and
    // their layers wait for their editors (see AddPageView).
    QStringList titles;
    titles.reserve(pages.size());
    for (const TPageItem& page : pages)
        titles.append(page.Title);
    m_tabSet->Tabs().AddStrings(titles);
    const QList<TLayer*> layers = m_layerList->AddLayers(int(pages.size()));
    for (int i = 0; i < layers.size(); ++i)
        layers[i]->setProperty(kPendingTextProperty, pages[i].Text);
    if (m_tabSet->Tabs().Count() == 0)
        AddDefaultPage();
    SelectPage(0);
    // The selected page gets its editor even when the selection did not change.
    if (TPadMemo* editor = CurrentEditor())
        editor->AdjustMargins();
}

void TMainForm::ApplySettings()
{
    TAppConfigMgr& c = *m_context.config;
    ApplyRunOnStartup();
    ApplyHotKey();
    SetMemoFont(m_memoPanel, FontFromSetting(c.EditorFont()), ColorFromSetting(c.FontColor));
    SetMemoColor(m_memoPanel, ColorFromSetting(c.BgColor));
    m_actions.WordWrapAction->setChecked(c.WordWrap);
    m_actions.StayOnTopAction->setChecked(c.StayOnTop);
    // The desktop display, the reminder commands and the messenger have no windows here yet.
    SetWordWrapAll(m_memoPanel, m_actions.WordWrapAction->isChecked());
    SetWindowTopMost(*m_context.platform, this, m_actions.StayOnTopAction->isChecked());
    RestoreBounds();
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

// ---- window state ----------------------------------------------------------------------------

void TMainForm::RestoreBounds()
{
    const TAppConfigMgr& c = *m_context.config;
    QScreen* primary = QGuiApplication::primaryScreen();
    const QRect work = primary ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
    QList<QRect> monitors;
    for (QScreen* screen : QGuiApplication::screens())
        monitors.append(screen->geometry());
    const QRect defaults = WindowBounds::DefaultBounds(work);
    resize(defaults.size());
    move(defaults.topLeft());
    m_defaultPlace = true;
    if (c.WinMaximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    const QRect saved = WindowBounds::FromEdges(c.WinLeft, c.WinTop, c.WinRight, c.WinBottom);
    if (saved.width() <= 0 || saved.height() <= 0)
        return;
    m_defaultPlace = false;
    setGeometry(WindowBounds::RestoredBounds(saved, work, monitors));
}

void TMainForm::KeepFrameInWorkArea()
{
    if (!m_defaultPlace || windowState() != Qt::WindowNoState)
        return;
    m_defaultPlace = false;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    const QRect work = primary->availableGeometry();
    const QRect frame = frameGeometry();
    QPoint to = frame.topLeft();
    if (frame.right() > work.right())
        to.setX(work.right() - frame.width() + 1);
    if (frame.bottom() > work.bottom())
        to.setY(work.bottom() - frame.height() + 1);
    if (to != frame.topLeft())
        move(to);
}

void TMainForm::SaveBounds()
{
    TAppConfigMgr& c = *m_context.config;
    c.WinMaximized = isMaximized();
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    const QRect r = geometry();
    c.WinLeft = r.x();
    c.WinTop = r.y();
    c.WinRight = r.x() + r.width();
    c.WinBottom = r.y() + r.height();
}

void TMainForm::ShowMainWindow()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    setEnabled(true);
    show();
    m_context.platform->windowSystem->bringToFront(this);
    if (TPadMemo* editor = CurrentEditor())
        editor->setFocus(Qt::ActiveWindowFocusReason);
    UpdateTrayMenu();
}

void TMainForm::HideToTray()
{
    if (m_hiding)
        return;
    m_hiding = true;
    if (m_trayIcon)
        hide();
    else if (!isMinimized())
        showMinimized();
    setEnabled(false);
    // The desktop lines of a modified first page are sent here once the desktop display exists.
    // A page that cannot be written stays modified; the window still hides.
    std::optional<EFileError> saveError;
    try {
        SaveModifiedPages();
    } catch (const EFileError& error) {
        saveError = error;
    }
    TAppConfigMgr& c = *m_context.config;
    if (c.PromptMinToTray && m_trayIcon) {
        const QString title = u"提示"_s;
        const QString text = u"点击此处图标即可再次打开 Jotvane 窗口。"_s;
        m_trayIcon->showMessage(title, text, QSystemTrayIcon::Information, std::max(10, kBalloonMinimumMs));
        c.PromptMinToTray = false;
        emit balloonShown(title, text);
    }
    UpdateTrayMenu();
    m_hiding = false;
    if (saveError)
        ShowFileError(this, *saveError);
}

void TMainForm::UpdateTrayMenu()
{
    const bool shown = isVisible() && !isMinimized();
    m_actions.TrayPopShowMainFormItem->setText(shown ? u"隐藏(&D)"_s : u"打开(&O)"_s);
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

void TMainForm::StayOnTopActionExecute()
{
    const bool onTop = m_actions.StayOnTopAction->isChecked();
    SetWindowTopMost(*m_context.platform, this, onTop);
    m_context.config->StayOnTop = onTop;
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
    SaveAll();
    WriteSettings();
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
    else if (!isMinimized() && (change->oldState() & Qt::WindowMinimized) && isVisible() && !isEnabled())
        ShowMainWindow();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    UpdateTrayMenu();
    if (m_defaultPlace)
        QTimer::singleShot(200, this, &TMainForm::KeepFrameInWorkArea);
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (TPadMemo* editor = CurrentEditor())
        editor->AdjustMargins();
}

// ---- saving ----------------------------------------------------------------------------------

void TMainForm::SaveAll()
{
    // Runs in the destructor too, where an error must not escape: the window state is still
    // saved, and the settings are written after the window.
    try {
        SaveModifiedPages();
    } catch (const EFileError& error) {
        if (isVisible())
            ShowFileError(this, error);
        else
            std::fprintf(stderr, "jotvane: %s\n", error.message().toLocal8Bit().constData());
    }
    SaveBounds();
    SavePageIndex();
}

void TMainForm::SaveModifiedPages()
{
    // One page that cannot be written does not keep the others from being saved; it stays
    // modified, and the first failure is passed on once every page has been tried.
    std::optional<EFileError> firstError;
    for (int i = 0; i < PageCount(); ++i) {
        // A page whose editor was never made is unchanged.
        if (!HasEditor(i))
            continue;
        TPadMemo* editor = EditorAt(i);
        if (!editor->Modified())
            continue;
        try {
            m_context.dataManager->SavePage(i, PageTitle(i), editor->PageText());
        } catch (const EFileError& error) {
            if (!firstError)
                firstError = error;
            continue;
        }
        editor->SetModified(false);
    }
    if (firstError)
        throw *firstError;
}

void TMainForm::SavePageIndex()
{
    m_context.config->PageIndex = m_tabSet->TabIndex();
}

void TMainForm::WriteSettings()
{
    if (!m_context.config->SaveSettings()) {
        const QString error = m_context.config->TakeUnreportedError();
        if (!error.isEmpty() && isVisible())
            ShowMsgBox(this, error, MsgBoxKind::Error, {MsgBoxButton::OK});
    }
}

// ---- pages -----------------------------------------------------------------------------------

int TMainForm::PageCount() const
{
    return m_layerList->LayerCount();
}

TPadMemo* TMainForm::EditorAt(int index) const
{
    Q_ASSERT(index >= 0 && index < PageCount());
    return EditorOf(m_layerList->Layers(index));
}

TPadMemo* TMainForm::CurrentEditor() const
{
    return EditorOf(m_layerList->ActiveLayer());
}

int TMainForm::PageIndex() const
{
    return m_tabSet->TabIndex();
}

QString TMainForm::PageTitle(int index) const
{
    return m_tabSet->Tabs()[index];
}

void TMainForm::AddPageView(const QString& title, const QString& text)
{
    m_tabSet->Tabs().Add(title);
    TLayer* layer = m_layerList->AddLayer();
    // A page's editor is made when the page is first needed (shown, searched, saved): starting
    // with a thousand pages then costs a thousand small panels, not a thousand laid-out editors.
    layer->setProperty(kPendingTextProperty, text);
    CreateEditor(layer);
    SelectPage(m_tabSet->Tabs().Count() - 1);
}

TPadMemo* TMainForm::CreateEditor(TLayer* layer)
{
    auto* editor = new TPadMemo(layer);
    editor->setObjectName(u"PadMemo"_s);
    layer->AddControl(editor);
    // Shown now rather than when the layout gets round to it: the focus can only move into a
    // visible editor, and keys typed right after Ctrl+N must not reach the page left behind.
    editor->show();
    editor->SetWrapMode(m_actions.WordWrapAction->isChecked());
    editor->SetPageText(layer->property(kPendingTextProperty).toString());
    layer->setProperty(kPendingTextProperty, QVariant());
    editor->SetModified(false);
    editor->SetEvaluator([this](const QString& expression) -> QString {
        if (!m_context.parser)
            throw std::runtime_error("no expression parser");
        try {
            m_context.parser->ParseAndEvaluate(expression);
            return m_context.parser->ResultQuoted();
        } catch (const EExprError& error) {
            throw std::runtime_error(error.message().toStdString());
        }
    });
    editor->SetMessageHandler([this](const QString& message) { ShowInformation(message); });
    connect(editor, &TPadMemo::FilesDropped, this, [this](const QStringList& files) {
        RunFileCommand(this, [this, &files] { OpenDroppedFiles(files); });
    });
    connect(editor, &QPlainTextEdit::undoAvailable, this, &TMainForm::UpdateEditActions);
    connect(editor, &QPlainTextEdit::selectionChanged, this, &TMainForm::UpdateEditActions);
    connect(editor, &QPlainTextEdit::textChanged, this, &TMainForm::UpdateEditActions);
    editor->installEventFilter(this);
    editor->AdjustMargins();
    return editor;
}

TPadMemo* TMainForm::EditorOf(TLayer* layer) const
{
    if (!layer)
        return nullptr;
    if (auto* editor = layer->findChild<TPadMemo*>())
        return editor;
    // Making the editor changes what is shown, not the page: the getters stay const.
    return const_cast<TMainForm*>(this)->CreateEditor(layer);
}

bool TMainForm::HasEditor(int index) const
{
    return index >= 0 && index < PageCount() && m_layerList->Layers(index)->findChild<TPadMemo*>();
}

void TMainForm::RemovePageView(int index)
{
    if (index < 0 || index >= m_tabSet->Tabs().Count())
        return;
    TLayer* layer = m_layerList->Layers(index);
    m_layerList->RemoveLayer(layer);
    delete layer;
    m_tabSet->Tabs().Delete(index);
}

void TMainForm::CreatePage(const QString& title, const QString& text)
{
    AddPageView(title, text);
    m_context.dataManager->AddPage(title);
    if (isVisible())
        if (TPadMemo* editor = CurrentEditor())
            editor->setFocus();
}

void TMainForm::RemovePage(int index, bool toRecycleBin)
{
    RemovePageView(index);
    m_context.dataManager->DeletePage(index, toRecycleBin);
}

void TMainForm::AddDefaultPage()
{
    CreatePage(u"默认页"_s, QString());
}

void TMainForm::SelectPage(int index)
{
    if (index < 0 || index >= m_tabSet->Tabs().Count())
        return;
    m_tabSet->SetTabIndex(index);
}

void TMainForm::RestorePageIndex()
{
    const int index = m_context.config->PageIndex;
    SelectPage(index >= 0 && index < m_tabSet->Tabs().Count() ? index : 0);
}

bool TMainForm::OpenFileAsPage(const QString& file)
{
    NewPageActionExecute();
    TPadMemo* editor = CurrentEditor();
    if (!editor)
        return false;
    try {
        editor->SetPageText(ReadTextFile(file));
    } catch (const EFileError&) {
        return false;
    }
    editor->SetModified(true);
    return true;
}

void TMainForm::OpenDroppedFiles(const QStringList& files)
{
    for (const QString& file : files)
        if (!OpenFileAsPage(file))
            break;
}

void TMainForm::PasteAtCaret(const QString& text)
{
    if (TPadMemo* editor = CurrentEditor())
        editor->PasteAtCaret(text);
}

void TMainForm::TabSetClick()
{
    const int index = m_tabSet->TabIndex();
    if (index >= 0 && index < m_layerList->LayerCount())
        m_layerList->SetActiveLayerIndex(index);
    else
        m_layerList->SetActiveLayer(nullptr);
    if (TPadMemo* editor = CurrentEditor()) {
        editor->AdjustMargins();
        if (isVisible() && isActiveWindow())
            editor->setFocus();
    }
    UpdateEditActions();
}

void TMainForm::TabSetDblClick()
{
    const QPoint pointer = m_tabSet->mapFromGlobal(GetCursorPosSafe(*m_context.platform));
    if (m_tabSet->TabAt(pointer) < 0) {
        NewPageActionExecute();
        return;
    }
    switch (m_context.config->DblClickTitleActionType) {
    case 1:
        DeletePageActionExecute();
        break;
    case 2:
        ChgPageTitleActionExecute();
        break;
    default:
        break;
    }
}

void TMainForm::TabSetTabMoved(int from, int to)
{
    if (from < 0 || from >= PageCount() || to < 0 || to >= PageCount() || from == to)
        return;
    m_layerList->Layers(from)->SetLayerIndex(to);
    m_context.dataManager->MovePage(from, to);
}

void TMainForm::NewPageActionExecute()
{
    CreatePage(PageRules::NewPageTitle(m_tabSet->Tabs().Captions()), QString());
}

void TMainForm::DeletePageActionExecute()
{
    const int index = m_tabSet->TabIndex();
    if (index < 0)
        return;
    TPadMemo* editor = CurrentEditor();
    const bool hasLines = editor && !editor->PageText().isEmpty();
    const bool shift = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    const bool toRecycleBin = !shift && hasLines;
    if (hasLines) {
        const int answer = ShowMsgBox(this, u"确实删除页面 “%1” 吗？"_s.arg(PageTitle(index)),
                                      MsgBoxKind::Confirmation, {MsgBoxButton::Yes, MsgBoxButton::No});
        if (answer != MsgResultYes)
            return;
    }
    RemovePage(index, toRecycleBin);
    if (m_tabSet->Tabs().Count() == 0)
        AddDefaultPage();
}

void TMainForm::ChgPageTitleActionExecute()
{
    const int index = m_tabSet->TabIndex();
    if (index < 0)
        return;
    QString title = PageTitle(index);
    if (!InputTextDialog(this, u"修改页面标题"_s, u"标题:"_s, false, false, title))
        return;
    m_context.dataManager->RenamePage(index, title);
    m_tabSet->Tabs().Replace(index, title);
}

void TMainForm::FontActionExecute()
{
    QFont font = MemoFont(m_memoPanel);
    if (!chooseFont(this, font))
        return;
    const QColor color = MemoFontColor(m_memoPanel);
    SetMemoFont(m_memoPanel, font, color);
    m_context.config->SetEditorFont(SettingFromFont(font, color, m_context.config->FontCharset));
}

void TMainForm::BgColorActionExecute()
{
    QColor color = MemoColor(m_memoPanel);
    if (!chooseColor(this, color))
        return;
    SetMemoColor(m_memoPanel, color);
    m_context.config->BgColor = SettingFromColor(color);
}

void TMainForm::WordWrapActionExecute()
{
    const bool wrap = m_actions.WordWrapAction->isChecked();
    SetWordWrapAll(m_memoPanel, wrap);
    m_context.config->WordWrap = wrap;
}

void TMainForm::UpdateEditActions()
{
    TPadMemo* editor = CurrentEditor();
    const bool hasSelection = editor && editor->textCursor().hasSelection();
    m_actions.UndoAction->setEnabled(editor && editor->document()->isUndoAvailable());
    m_actions.CutAction->setEnabled(hasSelection);
    m_actions.CopyAction->setEnabled(hasSelection);
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    m_actions.PasteAction->setEnabled(editor && clip && clip->hasText() && !clip->text().isEmpty());
    m_actions.SelectAllAction->setEnabled(editor && !editor->document()->isEmpty());
}

void TMainForm::ShowInformation(const QString& message)
{
    ShowMsgBox(this, message, MsgBoxKind::Information, {MsgBoxButton::OK});
}

// ---- keys and drops --------------------------------------------------------------------------

bool TMainForm::IsShortcut(const QKeyEvent* event) const
{
    const QKeySequence pressed(event->keyCombination());
    for (const QAction* action : actions()) {
        if (!action->isEnabled())
            continue;
        for (const QKeySequence& shortcut : action->shortcuts())
            if (shortcut.matches(pressed) == QKeySequence::ExactMatch)
                return true;
    }
    return false;
}

bool TMainForm::HandlePageKey(const QKeyEvent* event)
{
    if (QGuiApplication::mouseButtons() != Qt::NoButton)
        return false;
    const auto pageKey = PageRules::AltPageKey(event->key(), event->modifiers(), m_tabSet->TabIndex(),
                                               m_tabSet->Tabs().Count());
    if (!pageKey)
        return false;
    if (pageKey->kind == PageRules::TPageKey::PickList) {
        TPickButton* pick = m_tabSet->PickButton();
        pick->RebuildMenu();
        pick->Menu()->popup(pick->mapToGlobal(QPoint(0, pick->height())));
    } else {
        SelectPage(pageKey->index);
    }
    return true;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (qobject_cast<TPadMemo*>(watched) || watched == m_tabSet) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (event->type() == QEvent::ShortcutOverride && IsShortcut(key)) {
            // The window's commands win over the editor's own keys (Esc, Ctrl+Tab, Ctrl+Z...).
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::ShortcutOverride &&
            PageRules::AltPageKey(key->key(), key->modifiers(), m_tabSet->TabIndex(),
                                  m_tabSet->Tabs().Count())) {
            // A page key comes before the menu bar's access keys: Alt+D is the page list, not
            // the "桌面(&D)" menu. Claiming the key here delivers it as a key press below.
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            HandlePageKey(key);
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
    RunFileCommand(this, [this, &files] { OpenDroppedFiles(files); });
}
