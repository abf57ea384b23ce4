#include "messenger/ui/MessagerFrm.h"

#include "core/Clock.h"
#include "core/Error.h"
#include "core/TextFile.h"
#include "messenger/ChatComposer.h"
#include "messenger/DatagramSocket.h"
#include "messenger/MessagerConfigMgr.h"
#include "messenger/MessagerProtocol.h"
#include "messenger/PeerGroups.h"
#include "messenger/ftp/FtpServer.h"
#include "messenger/ftp/ui/FtpDownloadController.h"
#include "messenger/ui/PeerNotices.h"
#include "notes/SearchText.h"
#include "notes/ui/FindDlg.h"
#include "platform/AppUtils.h"
#include "platform/HotKeyGrabber.h"
#include "platform/Platform.h"
#include "widgets/BaseFrm.h"
#include "widgets/DialogService.h"
#include "widgets/InputFrm.h"
#include "widgets/MsgBox.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString kFindMode = u"查找"_s;
const QString kGroupMode = u"分组"_s;
const QString kModifyCaption = u"修改(&M)"_s;
const QString kSaveCaption = u"保存(&S)"_s;
// The companion programs expected beside the executable, and the page the relax command opens.
const QString kAddressBookProgram = u"jotvane-addressbook"_s;
const QString kCalendarProgram = u"jotvane-calendar"_s;
const QString kRelaxAddress = u"https://www.example.org/jotvane/relax"_s;
// The check state a row had when its last change was seen.
constexpr int WasCheckedRole = Qt::UserRole + 1;

const QString kFindHint = u"请输入要查找的好友名字拼音首字母(声母)组合来快速定位,回车键会自动选中。"_s;
const QString kGroupHint = u"请选择好友分组实现多选，如果还没有则请选择好友后新建。"_s;

void ReportError(const QString& text)
{
    std::fprintf(stderr, "jotvane: %s\n", text.toLocal8Bit().constData());
}

} // namespace

TMessagerForm::TMessagerForm(TMessengerEnvironment environment, QWidget* parent)
    : QMainWindow(parent), m_env(std::move(environment)), m_chatLog(m_env.appFolder)
{
    setObjectName(u"MessagerForm"_s);
    setWindowTitle(u"Jotvane-信使"_s);
    setFont(BaseFormFont());
    if (m_env.clock == nullptr) {
        m_ownClock = std::make_unique<TSystemClock>();
        m_env.clock = m_ownClock.get();
    }
    // 1. Settings first, then the option marks follow them.
    m_config = std::make_unique<TMessagerConfigMgr>(m_env.appFolder + u"MSGConfig.ini"_s, m_env.appFolder,
                                                    *m_env.platform->systemInfo);
    m_config->LoadSettings();
    CreateMenus();
    CreateChatPage();
    // 2. Place the window.
    PlaceWindow();
    // 3. The protocol: listener, announcement, relay registration.
    m_socket = m_env.socket ? m_env.socket() : std::make_unique<TUdpDatagramSocket>();
    StartFileServer();
    if (m_env.offerList)
        m_offerList = m_env.offerList(*this);
    m_downloads = dynamic_cast<TDownloadController*>(m_offerList.get());
    if (m_downloads)
        connect(m_downloads, &TDownloadController::downloadEnded, this, &TMessagerForm::downloadEnded);
    IOfferList& offers = m_offerList ? *m_offerList : static_cast<IOfferList&>(*this);
    m_protocol = new TMessagerProtocol(*m_config, *m_env.platform->systemInfo, *m_env.clock, *m_socket, *this,
                                       *this, offers, this);
    connect(m_protocol, &TMessagerProtocol::MessageBoxRequested, this, [this](const QString& text) {
        ShowMsgBox(this, text, MsgBoxKind::Information, {MsgBoxButton::OK});
    });
    m_protocol->Start();
    // 5. The conversation of earlier days.
    m_chatSaveTimer.setSingleShot(true);
    m_chatSaveTimer.setInterval(ChatSaveDelay);
    connect(&m_chatSaveTimer, &QTimer::timeout, this, [this] {
        try {
            m_chatLog.Save(ConversationLines(), false);
        } catch (const EFileError& error) {
            ReportError(error.message());
        }
    });
    LoadChatLog();
    connect(m_memoContent->document(), &QTextDocument::contentsChanged, this,
            &TMessagerForm::ChatContentChanged);
    // 6. Notices: the handed-in popup, or a small window of our own.
    if (m_env.notices == nullptr) {
        m_noticeWindow = std::make_unique<TNoticeWindow>();
        m_env.notices = m_noticeWindow.get();
    }
    // 7. The locating tool starts in find mode.
    m_comboBoxLabel->addItems({kFindMode, kGroupMode});
    m_comboBoxLabel->setCurrentIndex(0);
    SwitchMode();
    // 8. The chat page.
    m_pageControl->setCurrentIndex(0);
    // 9. Ctrl+Alt+D hides and shows the window.
    CreateHotKey();
    setAcceptDrops(true);
    qApp->installEventFilter(this);
}

// The file server hands the offered items to the peers they were sent to. A copy that cannot
// serve still chats; the peers' saves then fail with their own message.
void TMessagerForm::StartFileServer()
{
    if (m_env.ftpControlPort < 0)
        return;
    m_ftpServer = std::make_unique<TFtpServer>();
    if (!m_ftpServer->Start(static_cast<quint16>(m_env.ftpControlPort), m_env.ftpDataPort, m_env.ftpAddress))
        ReportError(u"the file server cannot listen on port "_s + QString::number(m_env.ftpControlPort));
    try {
        m_ftpServer->SetSharePath(m_config->SharePath);
    } catch (const EJotvaneError& error) {
        ShowMsgBox(this, error.message(), MsgBoxKind::Error, {MsgBoxButton::OK});
    }
}

void TMessagerForm::AppendOffer(const QString& item)
{
    m_comboBoxAttachment->addItem(item);
    m_comboBoxAttachment->setCurrentIndex(m_comboBoxAttachment->count() - 1);
}

void TMessagerForm::AddOfferFiles()
{
    if (!m_env.dialogs || !m_btnAddFile->isEnabled())
        return;
    const QString chosen = m_env.dialogs->OpenFileName(this, QString(), u"任意文件 (*)"_s);
    if (!chosen.isEmpty() && QFileInfo(chosen).isFile())
        AppendOffer(u"File="_s + chosen);
}

void TMessagerForm::AddOfferFolder()
{
    if (!m_env.dialogs || !m_btnAddDir->isEnabled())
        return;
    QString chosen;
    if (m_env.dialogs->PickFolder(this, u"要添加的文件夹为："_s, chosen) && !chosen.isEmpty())
        AppendOffer(u"Dir="_s + chosen);
}

void TMessagerForm::AddDroppedPaths(const QStringList& paths)
{
    if (!m_btnAddFile->isEnabled() || paths.isEmpty())
        return;
    for (const QString& path : paths)
        AppendOffer((QFileInfo(path).isDir() ? u"Dir="_s : u"File="_s) + path);
    AttendIncoming(QString());
}

bool TMessagerForm::DownloadBusy() const
{
    return m_downloads && m_downloads->Busy();
}

void TMessagerForm::CancelDownload()
{
    if (m_downloads)
        m_downloads->Cancel();
}

std::unique_ptr<IOfferList> MakeDownloadOffers(TMessagerForm& form, IDialogService& dialogs)
{
    auto find = [&form](const char* name) { return form.findChild<QPushButton*>(QLatin1StringView(name)); };
    TOfferRow row;
    row.ComboBoxAttachment = form.findChild<QComboBox*>(u"ComboBoxAttachment"_s);
    row.btnSendInfo = find("btnSendInfo");
    row.btnAddFile = find("btnAddFile");
    row.btnAddDir = find("btnAddDir");
    row.btnDelFileDir = find("btnDelFileDir");
    row.btnSaveFileDir = find("btnSaveFileDir");
    row.btnClearFileDir = find("btnClearFileDir");
    auto downloads = std::make_unique<TDownloadController>(
        &form, dialogs, row, [&form](const QString& line) { form.AppendToConversation(line); },
        [&form](const QString& path) {
            if (const TPlatform* p = form.Platform())
                ShellOpen(*p, path);
        });
    TDownloadController* d = downloads.get();
    QObject::connect(row.btnSaveFileDir, &QAbstractButton::clicked, d, &TDownloadController::SaveOffer);
    QObject::connect(row.btnClearFileDir, &QAbstractButton::clicked, d, &TDownloadController::ClearOffers);
    return downloads;
}

TMessagerForm::~TMessagerForm()
{
    qApp->removeEventFilter(this);
    ShutdownMessenger();
    // The protocol holds the socket, which goes with the members.
    delete m_protocol;
    m_protocol = nullptr;
}

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
            &QAction::triggered, this, &TMessagerForm::FindActionExecute);
    connect(add(edit, u"ActionFindNext"_s, u"查找下一个(&N)"_s, QKeySequence(Qt::Key_F3)),
            &QAction::triggered, this, &TMessagerForm::FindNextActionExecute);
    m_modifyAction = add(edit, u"mnuModify"_s, kModifyCaption);
    connect(m_modifyAction, &QAction::triggered, this, &TMessagerForm::ModifyActionExecute);

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
    const QString folder = m_env.appFolder;
    connect(add(tools, u"ActionNotepad"_s, u"记事本(&N)"_s), &QAction::triggered, this,
            [platform] { ShellOpen(*platform, u"notepad.exe"_s); });
    connect(add(tools, u"ActionCalc"_s, u"计算器(&C)"_s), &QAction::triggered, this,
            [platform] { ShellOpen(*platform, u"calc.exe"_s); });
    connect(add(tools, u"ActionAddressBook"_s, u"通讯录(&A)"_s), &QAction::triggered, this,
            [platform, folder] { ShellRun(*platform, folder + kAddressBookProgram, QString(), QString()); });
    connect(add(tools, u"ActionCalendar"_s, u"公农历(&R)"_s), &QAction::triggered, this,
            [platform, folder] { ShellRun(*platform, folder + kCalendarProgram, QString(), QString()); });
    connect(add(tools, u"ActionRelax"_s, u"轻松一下(&G)"_s), &QAction::triggered, this,
            [platform] { ShellOpen(*platform, kRelaxAddress); });
}

void TMessagerForm::CreateChatPage()
{
    m_pageControl = new QTabWidget(this);
    m_pageControl->setObjectName(u"PageControl"_s);
    m_pageControl->setTabPosition(QTabWidget::South);
    setCentralWidget(m_pageControl);

    auto* chatPage = new QWidget(m_pageControl);
    chatPage->setObjectName(u"TabChat"_s);
    auto* column = new QVBoxLayout(chatPage);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(3);

    m_listViewUser = new QTreeWidget(chatPage);
    m_listViewUser->setObjectName(u"ListViewUser"_s);
    m_listViewUser->setColumnCount(4);
    m_listViewUser->setHeaderLabels({u"姓名"_s, u"IP地址"_s, u"计算机名"_s, u"类型"_s});
    m_listViewUser->setRootIsDecorated(false);
    m_listViewUser->setItemsExpandable(false);
    m_listViewUser->setUniformRowHeights(true);
    m_listViewUser->setSortingEnabled(false);
    m_listViewUser->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int widths[4] = {100, 160, 160, 80};
    for (int c = 0; c < 4; ++c) {
        m_listViewUser->setColumnWidth(c, widths[c]);
        m_listViewUser->headerItem()->setTextAlignment(
            c, (c == 1 || c == 2) ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    }
    m_listViewUser->header()->setSectionsClickable(true);
    m_listViewUser->header()->setSectionsMovable(false);
    m_listViewUser->header()->setStretchLastSection(false);
    m_listViewUser->setToolTip(u"如果您要找的好友没有出现,请点击\"刷新\"按钮"_s);
    connect(m_listViewUser->header(), &QHeaderView::sectionClicked, this,
            &TMessagerForm::ListViewUserColumnClick);
    connect(m_listViewUser, &QTreeWidget::itemChanged, this, &TMessagerForm::PeerChanged);
    column->addWidget(m_listViewUser, 3);

    auto* toolRow = new QHBoxLayout;
    toolRow->setSpacing(2);
    m_btnRefreshUserList = new QPushButton(u"刷新[&G]"_s, chatPage);
    m_btnRefreshUserList->setObjectName(u"btnRefreshUserList"_s);
    connect(m_btnRefreshUserList, &QPushButton::clicked, this, [this] { m_protocol->Refresh(); });
    m_comboBoxLabel = new QComboBox(chatPage);
    m_comboBoxLabel->setObjectName(u"ComboBoxLabel"_s);
    m_comboBoxLabel->setToolTip(
        u"请选择好友定位方式，然后在后面输入好友名字拼音首字母(声母)组合或者选择好友分组。"_s);
    connect(m_comboBoxLabel, &QComboBox::activated, this, &TMessagerForm::SwitchMode);
    m_comboBoxGroup = new QComboBox(chatPage);
    m_comboBoxGroup->setObjectName(u"ComboBoxGroup"_s);
    m_comboBoxGroup->setInsertPolicy(QComboBox::NoInsert);
    m_comboBoxGroup->setMinimumWidth(60);
    m_comboBoxGroup->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_comboBoxLabel->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_comboBoxGroup, &QComboBox::editTextChanged, this, &TMessagerForm::FindWhileTyping);
    connect(m_comboBoxGroup, &QComboBox::activated, this, &TMessagerForm::ChooseGroup);
    m_btnNewGroup = new QPushButton(u"新建(&N)"_s, chatPage);
    m_btnNewGroup->setObjectName(u"btnNewGroup"_s);
    connect(m_btnNewGroup, &QPushButton::clicked, this, &TMessagerForm::NewGroup);
    m_btnDelGroup = new QPushButton(u"删除(&M)"_s, chatPage);
    m_btnDelGroup->setObjectName(u"btnDelGroup"_s);
    connect(m_btnDelGroup, &QPushButton::clicked, this, &TMessagerForm::DeleteGroup);
    m_btnSelectAll = new QPushButton(u"全选(&A)"_s, chatPage);
    m_btnSelectAll->setObjectName(u"btnSelectAll"_s);
    connect(m_btnSelectAll, &QPushButton::clicked, this, [this] { SelectAll(true); });
    m_btnSelectNone = new QPushButton(u"全空(&B)"_s, chatPage);
    m_btnSelectNone->setObjectName(u"btnSelectNone"_s);
    connect(m_btnSelectNone, &QPushButton::clicked, this, [this] { SelectAll(false); });
    toolRow->addWidget(m_btnRefreshUserList);
    toolRow->addWidget(m_comboBoxLabel);
    toolRow->addWidget(m_comboBoxGroup, 1);
    for (QPushButton* button : {m_btnNewGroup, m_btnDelGroup, m_btnSelectAll, m_btnSelectNone})
        toolRow->addWidget(button);
    column->addLayout(toolRow);

    auto* inputRow = new QHBoxLayout;
    m_memoInfo = new QPlainTextEdit(chatPage);
    m_memoInfo->setObjectName(u"memoInfo"_s);
    m_memoInfo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_memoInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    inputRow->addWidget(m_memoInfo, 1);
    auto* sendColumn = new QVBoxLayout;
    m_btnSendInfo = new QPushButton(u"发送[&S]"_s, chatPage);
    m_btnSendInfo->setObjectName(u"btnSendInfo"_s);
    connect(m_btnSendInfo, &QPushButton::clicked, this, &TMessagerForm::SendChatMessage);
    auto* sendLabel = new QLabel(u"(Ctrl+Enter传文字/文件)"_s, chatPage);
    sendLabel->setObjectName(u"LabelSend"_s);
    sendLabel->setWordWrap(true);
    sendColumn->addWidget(m_btnSendInfo);
    sendColumn->addWidget(sendLabel);
    sendColumn->addStretch();
    inputRow->addLayout(sendColumn);
    column->addLayout(inputRow, 2);

    auto* offerRow = new QHBoxLayout;
    offerRow->setSpacing(2);
    m_comboBoxAttachment = new QComboBox(chatPage);
    m_comboBoxAttachment->setObjectName(u"ComboBoxAttachment"_s);
    m_comboBoxAttachment->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_comboBoxAttachment->setMinimumContentsLength(8);
    m_comboBoxAttachment->setToolTip(u"这里列出要发送或收到的文件/文件夹名称。"_s);
    offerRow->addWidget(m_comboBoxAttachment, 1);
    const QString addHint =
        u"添加文件（夹）最简单的办法：把要发送的文件（夹）拖进来放在这里，一次可以添加多个。"_s;
    auto button = [chatPage, offerRow](const QString& name, const QString& caption) {
        auto* b = new QPushButton(caption, chatPage);
        b->setObjectName(name);
        offerRow->addWidget(b);
        return b;
    };
    m_btnAddFile = button(u"btnAddFile"_s, u"添加文件[&F]"_s);
    m_btnAddFile->setToolTip(addHint);
    m_btnAddDir = button(u"btnAddDir"_s, u"添加文件夹[&D]"_s);
    m_btnAddDir->setToolTip(addHint);
    m_btnDelFileDir = button(u"btnDelFileDir"_s, u"删除[&R]"_s);
    m_btnSaveFileDir = button(u"btnSaveFileDir"_s, u"保存[&S]"_s);
    m_btnSaveFileDir->setEnabled(false);
    m_btnClearFileDir = button(u"btnClearFileDir"_s, u"清空[&C]"_s);
    connect(m_btnAddFile, &QPushButton::clicked, this, &TMessagerForm::AddOfferFiles);
    connect(m_btnAddDir, &QPushButton::clicked, this, &TMessagerForm::AddOfferFolder);
    connect(m_btnDelFileDir, &QPushButton::clicked, this, [this] {
        const int index = m_comboBoxAttachment->currentIndex();
        if (index >= 0)
            m_comboBoxAttachment->removeItem(index);
    });
    connect(m_btnClearFileDir, &QPushButton::clicked, this, [this] {
        m_comboBoxAttachment->clear();
        m_offerHost.clear();
        for (QPushButton* b : {m_btnSendInfo, m_btnAddFile, m_btnAddDir, m_btnDelFileDir})
            b->setEnabled(true);
        m_btnSaveFileDir->setEnabled(false);
    });
    column->addLayout(offerRow);

    m_memoContent = new QPlainTextEdit(chatPage);
    m_memoContent->setObjectName(u"memoContent"_s);
    m_memoContent->setReadOnly(true);
    m_memoContent->setUndoRedoEnabled(false);
    m_memoContent->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memoContent->setToolTip(u"请用“编辑—〉通讯纪录—〉修改”菜单修改此处内容，然后别忘了保存。"_s +
                              u"Ctr+F查找,Ctr+D隐藏"_s);
    column->addWidget(m_memoContent, 4);
    m_pageControl->addTab(chatPage, u"通讯(&C)"_s);
    // Tab walks the page from the top: the list, the tool row, the message, the offers, the
    // conversation.
    QWidget* const order[] = {m_listViewUser, m_btnRefreshUserList, m_comboBoxLabel,      m_comboBoxGroup,
                              m_btnNewGroup,  m_btnDelGroup,        m_btnSelectAll,       m_btnSelectNone,
                              m_memoInfo,     m_btnSendInfo,        m_comboBoxAttachment, m_btnAddFile,
                              m_btnAddDir,    m_btnDelFileDir,      m_btnSaveFileDir,     m_btnClearFileDir,
                              m_memoContent};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    auto* logPage = new QWidget(m_pageControl);
    logPage->setObjectName(u"TabLog"_s);
    auto* logColumn = new QVBoxLayout(logPage);
    logColumn->setContentsMargins(2, 2, 2, 2);
    m_memoChatContent = new QPlainTextEdit(logPage);
    m_memoChatContent->setObjectName(u"memoChatContent"_s);
    m_memoChatContent->setReadOnly(true);
    m_memoChatContent->setUndoRedoEnabled(false);
    logColumn->addWidget(m_memoChatContent);
    m_pageControl->addTab(logPage, u"记录(&N)"_s);
    connect(m_pageControl, &QTabWidget::currentChanged, this, &TMessagerForm::PageChanged);
}

void TMessagerForm::PlaceWindow()
{
    const TWindowBounds& b = m_config->WindowBounds;
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect area = primary ? primary->availableGeometry() : QRect(0, 0, 1024, 768);
    if (b.Right - b.Left <= 0 || b.Bottom - b.Top <= 0)
        m_wantedFrame = QRect(area.right() + 1 - DefaultWidth, area.top() + 1, DefaultWidth, DefaultHeight);
    else
        m_wantedFrame = QRect(b.Left, b.Top, b.Right - b.Left, b.Bottom - b.Top);
    MakeFullyVisible();
    // The frame's size is known once the window is shown; until then the client area is the
    // frame less a usual border and caption.
    move(m_wantedFrame.topLeft());
    resize(m_wantedFrame.size() - QSize(8, 46));
}

void TMessagerForm::MakeFullyVisible()
{
    const QScreen* screen = QGuiApplication::screenAt(m_wantedFrame.center());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame = m_wantedFrame;
    frame.setWidth(std::min(frame.width(), area.width()));
    frame.setHeight(std::min(frame.height(), area.height()));
    frame.moveLeft(std::clamp(frame.left(), area.left(), area.right() + 1 - frame.width()));
    frame.moveTop(std::clamp(frame.top(), area.top(), area.bottom() + 1 - frame.height()));
    m_wantedFrame = frame;
}

void TMessagerForm::CreateHotKey()
{
    m_hotKeyGrabber = m_env.hotKeyGrabber ? m_env.hotKeyGrabber() : CreateSystemHotKeyGrabber();
    m_hotKeyGrabber->setActivationHandler([this](int id) {
        if (id != HotKeyId || m_shutDown)
            return;
        if (isVisible())
            HideMessenger();
        else
            ShowMessenger();
    });
    // A combination another program holds leaves the hotkey without effect.
    m_hotKeyGrabber->registerHotKey(HotKeyId,
                                    QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_D));
}

void TMessagerForm::LoadChatLog()
{
    m_loading = true;
    if (m_chatLog.Exists()) {
        try {
            m_memoContent->setPlainText(m_chatLog.Load().join(u'\n'));
        } catch (const EFileError& error) {
            ReportError(error.message());
        }
    }
    m_memoContent->moveCursor(QTextCursor::End);
    m_memoContent->document()->setModified(false);
    m_loading = false;
}

QAction* TMessagerForm::Action(const QString& objectName) const
{
    return findChild<QAction*>(objectName);
}

void TMessagerForm::ToggleOption(QAction* action, bool& setting)
{
    if (!m_config)
        return;
    setting = action->isChecked();
    if (&setting == &m_config->ChatSeft)
        m_protocol->Refresh();
}

// Window state

void TMessagerForm::ShowMessenger()
{
    if (!isVisible()) {
        show();
        if (!m_placed) {
            m_placed = true;
            // The whole window, frame included, takes the wanted place; the window manager may
            // tell the frame's size only a little later.
            auto fit = [this] {
                const QSize extra = frameGeometry().size() - size();
                resize(m_wantedFrame.size() - extra);
                move(m_wantedFrame.topLeft());
            };
            fit();
            QTimer::singleShot(200, this, fit);
        }
    }
    if (isMinimized())
        showNormal();
    if (!isActiveWindow()) {
        raise();
        activateWindow();
        if (m_env.platform->windowSystem != nullptr)
            m_env.platform->windowSystem->bringToFront(this);
    }
    m_memoContent->setFocus();
}

void TMessagerForm::HideMessenger()
{
    if (ConversationChanged()) {
        try {
            SaveChatLog(true);
            m_memoContent->document()->setModified(false);
        } catch (const EFileError& error) {
            ShowMsgBox(this, error.message(), MsgBoxKind::Error, {MsgBoxButton::OK});
        }
    }
    hide();
}

void TMessagerForm::ShutdownMessenger()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    // A download still running ends now; its loop unwinds before the window is released.
    CancelDownload();
    m_protocol->Shutdown();
    if (m_ftpServer)
        m_ftpServer->Stop();
    try {
        SaveState();
    } catch (const EFileError& error) {
        ReportError(error.message());
    }
    m_chatSaveTimer.stop();
    if (m_hotKeyGrabber) {
        m_hotKeyGrabber->unregisterHotKey(HotKeyId);
        m_hotKeyGrabber->setActivationHandler({});
    }
    m_config.reset(); // writes MSGConfig.ini
    emit messengerShutDown();
}

void TMessagerForm::StoreBounds()
{
    QRect frame = frameGeometry();
    if (!m_placed)
        frame = m_wantedFrame;
    m_config->WindowBounds = {frame.left(), frame.top(), frame.left() + frame.width(),
                              frame.top() + frame.height()};
}

void TMessagerForm::SaveState()
{
    StoreBounds();
    SaveChatLog(false);
}

void TMessagerForm::SaveChatLog(bool withBackup)
{
    m_chatSaveTimer.stop();
    m_chatLog.Save(ConversationLines(), withBackup);
}

bool TMessagerForm::ConversationChanged() const
{
    return m_memoContent->document()->isModified();
}

QStringList TMessagerForm::ConversationLines() const
{
    const QTextDocument* document = m_memoContent->document();
    if (document->isEmpty())
        return {};
    QStringList lines;
    lines.reserve(document->blockCount());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

void TMessagerForm::ChatContentChanged()
{
    if (m_loading || m_shutDown)
        return;
    // Not restarted by later changes: a steady stream of lines still reaches the file.
    if (!m_chatSaveTimer.isActive())
        m_chatSaveTimer.start();
}

void TMessagerForm::closeEvent(QCloseEvent* event)
{
    if (m_shutDown) {
        event->accept();
        return;
    }
    event->ignore();
    HideMessenger();
}

// Peer list

int TMessagerForm::PeerCount() const
{
    return m_listViewUser->topLevelItemCount();
}

int TMessagerForm::FindPeerByIP(const QString& address) const
{
    for (int i = 0; i < PeerCount(); ++i) {
        if (m_listViewUser->topLevelItem(i)->text(1) == address)
            return i;
    }
    return -1;
}

int TMessagerForm::FindPeerByCard(const QString& card) const
{
    for (int i = 0; i < PeerCount(); ++i) {
        if (m_listViewUser->topLevelItem(i)->text(2) == card)
            return i;
    }
    return -1;
}

void TMessagerForm::AddPeer(const QString& name, const QString& address, const QString& card,
                            const QString& type)
{
    auto* item = new QTreeWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    item->setData(0, WasCheckedRole, false);
    item->setTextAlignment(1, Qt::AlignCenter);
    item->setTextAlignment(2, Qt::AlignCenter);
    m_listViewUser->addTopLevelItem(item);
    UpdatePeer(PeerCount() - 1, name, address, card, type);
}

void TMessagerForm::UpdatePeer(int row, const QString& name, const QString& address, const QString& card,
                               const QString& type)
{
    QTreeWidgetItem* item = m_listViewUser->topLevelItem(row);
    if (item == nullptr)
        return;
    const bool captionChanged = item->text(0) != name;
    item->setText(0, name);
    if (captionChanged)
        SortPeers();
    item->setText(1, address);
    item->setText(2, card);
    item->setText(3, type);
}

void TMessagerForm::DeletePeer(int row)
{
    delete m_listViewUser->takeTopLevelItem(row);
}

void TMessagerForm::ClearPeers()
{
    m_listViewUser->clear();
}

bool TMessagerForm::IsExtranetPeer(int row) const
{
    const QTreeWidgetItem* item = m_listViewUser->topLevelItem(row);
    return item != nullptr && item->text(3) == TMessagerProtocol::ExtranetPeerType;
}

void TMessagerForm::ShowOnlineNotice(const QString& name)
{
    ShowNotice(u"上线提示："_s, u"好友："_s + name + u" 上线啦！"_s);
}

void TMessagerForm::ShowOfflineNotice(const QString& name)
{
    ShowNotice(u"下线提示："_s, u"好友："_s + name + u" 已经下线！"_s);
}

void TMessagerForm::ShowNotice(const QString& title, const QString& text)
{
    if (m_env.notices != nullptr)
        m_env.notices->ShowNotice(title, text);
}

void TMessagerForm::SortPeers()
{
    const int column = m_sortColumn;
    const bool descending = m_sortDirections[column] == 1;
    QList<QTreeWidgetItem*> items;
    const bool blocked = m_listViewUser->blockSignals(true);
    while (m_listViewUser->topLevelItemCount() > 0)
        items << m_listViewUser->takeTopLevelItem(0);
    std::stable_sort(items.begin(), items.end(),
                     [column, descending](QTreeWidgetItem* a, QTreeWidgetItem* b) {
                         const int order = ComparePeerTexts(a->text(column), b->text(column));
                         return descending ? order > 0 : order < 0;
                     });
    m_listViewUser->addTopLevelItems(items);
    m_listViewUser->blockSignals(blocked);
}

void TMessagerForm::ListViewUserColumnClick(int column)
{
    if (column < 0 || column > 3)
        return;
    if (m_sortDirections[column] == 0 || m_sortDirections[column] == 1)
        m_sortDirections[column] = 1 - m_sortDirections[column];
    m_sortColumn = column;
    SortPeers();
}

void TMessagerForm::PeerChanged(QTreeWidgetItem* item, int column)
{
    if (column != 0)
        return;
    const bool checked = item->checkState(0) == Qt::Checked;
    if (item->data(0, WasCheckedRole).toBool() == checked)
        return;
    item->setData(0, WasCheckedRole, checked);
    const int row = m_listViewUser->indexOfTopLevelItem(item);
    if (!checked || row < 0 || !IsExtranetPeer(row) || item->text(1).isEmpty() || item->text(2).isEmpty())
        return;
    // A peer behind the relay server is asked to open its side, and a punch opens ours.
    m_protocol->SendConnectRequest(item->text(2), true);
    TPeerEndpoint endpoint;
    if (SplitEndpoint(item->text(1), endpoint))
        m_protocol->SendPunch(endpoint);
}

void TMessagerForm::SetChecked(QTreeWidgetItem* item, bool checked)
{
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void TMessagerForm::SelectAll(bool checked)
{
    for (int i = 0; i < PeerCount(); ++i)
        SetChecked(m_listViewUser->topLevelItem(i), checked);
}

// Groups and the locating tool

void TMessagerForm::SwitchMode()
{
    const QString mode = m_comboBoxLabel->currentText();
    if (mode == kFindMode) {
        m_comboBoxGroup->setEditable(true);
        m_comboBoxGroup->clear();
        m_btnNewGroup->setEnabled(false);
        m_btnDelGroup->setEnabled(false);
        m_comboBoxGroup->setToolTip(kFindHint);
    } else if (mode == kGroupMode) {
        m_btnNewGroup->setText(u"新建(&N)"_s);
        m_comboBoxGroup->setEditable(false);
        m_comboBoxGroup->clear();
        m_comboBoxGroup->addItems(ReadGroupItems(m_config->UserGroup));
        m_btnNewGroup->setEnabled(true);
        m_btnDelGroup->setEnabled(true);
        m_comboBoxGroup->setToolTip(kGroupHint);
    }
    if (m_comboBoxGroup->isEditable())
        m_comboBoxGroup->clearEditText();
    else
        m_comboBoxGroup->setCurrentIndex(-1);
}

void TMessagerForm::FindWhileTyping(const QString& text)
{
    if (m_comboBoxLabel->currentText() != kFindMode)
        return;
    const QString wanted = LowerAsciiLetters(TrimBlanksAndControls(text));
    if (wanted.isEmpty())
        return;
    for (int i = 0; i < PeerCount(); ++i) {
        QTreeWidgetItem* item = m_listViewUser->topLevelItem(i);
        if (LowerAsciiLetters(item->text(0)).contains(wanted)) {
            m_listViewUser->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
            m_listViewUser->scrollToItem(item);
            return;
        }
    }
}

void TMessagerForm::FindEnter()
{
    const QString wanted = LowerAsciiLetters(TrimBlanksAndControls(m_comboBoxGroup->currentText()));
    for (int i = 0; i < PeerCount(); ++i) {
        QTreeWidgetItem* item = m_listViewUser->topLevelItem(i);
        if (LowerAsciiLetters(item->text(0)) == wanted) {
            m_listViewUser->scrollToItem(item);
            SetChecked(item, true);
            return;
        }
    }
}

void TMessagerForm::ChooseGroup(int index)
{
    if (index < 0 || m_comboBoxLabel->currentText() != kGroupMode)
        return;
    SelectAll(false);
    const QStringList members = GroupMembers(GroupItemValue(m_comboBoxGroup->itemText(index)));
    for (const QString& member : members) {
        for (int i = 0; i < PeerCount(); ++i) {
            QTreeWidgetItem* item = m_listViewUser->topLevelItem(i);
            if (item->text(0).compare(member, Qt::CaseInsensitive) == 0) {
                SetChecked(item, true);
                break;
            }
        }
    }
}

void TMessagerForm::NewGroup()
{
    if (m_comboBoxLabel->currentText() != kGroupMode)
        return;
    QStringList names;
    for (int i = 0; i < PeerCount(); ++i) {
        const QTreeWidgetItem* item = m_listViewUser->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            names << item->text(0);
    }
    if (names.isEmpty())
        return;
    QString name = ProposedGroupName(m_comboBoxGroup->count());
    if (!InputTextDialog(this, u"Jotvane"_s, u"请输入分组名:       "_s, false, false, name))
        return;
    m_comboBoxGroup->addItem(name + u'=' + JoinGroupMembers(names));
    QStringList items;
    for (int i = 0; i < m_comboBoxGroup->count(); ++i)
        items << m_comboBoxGroup->itemText(i);
    m_config->UserGroup = WriteGroupItems(items);
    m_comboBoxGroup->setCurrentIndex(m_comboBoxGroup->count() - 1);
}

void TMessagerForm::DeleteGroup()
{
    const int index = m_comboBoxGroup->currentIndex();
    if (index < 0)
        return;
    m_comboBoxGroup->removeItem(index);
    m_comboBoxGroup->setCurrentIndex(-1);
    if (m_comboBoxLabel->currentText() == kGroupMode) {
        QStringList items;
        for (int i = 0; i < m_comboBoxGroup->count(); ++i)
            items << m_comboBoxGroup->itemText(i);
        m_config->UserGroup = WriteGroupItems(items);
    }
}

// Chat

QStringList TMessagerForm::InputLines() const
{
    QStringList lines;
    QTextDocument* document = m_memoInfo->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        document->documentLayout()->blockBoundingRect(block); // lays the block out
        const QTextLayout* layout = block.layout();
        const QString text = block.text();
        if (layout == nullptr || layout->lineCount() <= 1) {
            lines << text;
            continue;
        }
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            lines << text.mid(line.textStart(), line.textLength());
        }
    }
    return lines;
}

void TMessagerForm::SendChatMessage()
{
    QList<TChatPeer> peers;
    for (int i = 0; i < PeerCount(); ++i) {
        const QTreeWidgetItem* item = m_listViewUser->topLevelItem(i);
        peers.append({item->text(0), item->text(1), IsExtranetPeer(i), item->checkState(0) == Qt::Checked});
    }
    QStringList offers;
    for (int i = 0; i < m_comboBoxAttachment->count(); ++i)
        offers << m_comboBoxAttachment->itemText(i);
    const TChatPlan plan = ComposeChat(peers, m_protocol->FormatTimestamp(), m_config->UserName,
                                       {m_memoInfo->toPlainText(), InputLines()}, offers);
    if (plan.NoTarget) {
        ShowMsgBox(this, u"请选择发送目标！"_s, MsgBoxKind::Information, {MsgBoxButton::OK});
        m_comboBoxGroup->setFocus();
        if (m_comboBoxGroup->lineEdit() != nullptr)
            m_comboBoxGroup->lineEdit()->selectAll();
        return;
    }
    for (const TChatDatagram& datagram : plan.Datagrams) {
        if (datagram.Kind == TChatDatagram::dkText)
            m_protocol->SendText(datagram.Host, datagram.Text, datagram.Port);
        else {
            // The server lets a peer fetch only what was offered to it.
            if (m_ftpServer)
                m_ftpServer->Access().OfferItems(QHostAddress(datagram.Host), datagram.Items);
            m_protocol->SendFileOffer(datagram.Host, datagram.Items, datagram.Port);
        }
    }
    for (const QString& line : plan.OwnLines)
        AppendToConversation(line);
    if (plan.ClearInput)
        m_memoInfo->clear();
    if (plan.ClearOffers)
        m_comboBoxAttachment->clear();
    m_memoContent->moveCursor(QTextCursor::End);
}

void TMessagerForm::AppendToConversation(const QString& text)
{
    QString line = text;
    line.replace(u"\r\n"_s, u"\n"_s);
    line.replace(u'\r', u'\n');
    m_memoContent->appendPlainText(line);
    m_memoContent->moveCursor(QTextCursor::End);
    m_memoContent->ensureCursorVisible();
}

void TMessagerForm::AttendIncoming(const QString& name)
{
    if (m_pageControl->currentIndex() != 0)
        m_pageControl->setCurrentIndex(0);
    if (m_config->MessageJump)
        ShowMessenger();
    for (int i = 0; i < PeerCount(); ++i) {
        if (m_listViewUser->topLevelItem(i)->checkState(0) == Qt::Checked)
            return;
    }
    for (int i = PeerCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* item = m_listViewUser->topLevelItem(i);
        if (item->text(0) == name) {
            SetChecked(item, true);
            return;
        }
    }
}

int TMessagerForm::PendingOfferCount() const
{
    return m_comboBoxAttachment->count();
}

void TMessagerForm::AcceptOffer(const QString& senderAddress, const QStringList& items)
{
    m_offerHost = senderAddress;
    m_comboBoxAttachment->addItems(items);
    m_comboBoxAttachment->setCurrentIndex(0);
    for (QPushButton* b : {m_btnSendInfo, m_btnAddFile, m_btnAddDir, m_btnDelFileDir})
        b->setEnabled(false);
    m_btnSaveFileDir->setEnabled(true);
}

void TMessagerForm::PageChanged(int index)
{
    if (index == 1)
        m_memoChatContent->setPlainText(m_memoContent->toPlainText());
}

// Find and modify

void TMessagerForm::FindActionExecute()
{
    if (m_findDialog == nullptr) {
        m_findDialog = new TFindDialog(this);
        m_findDialog->SetDown(true);
        connect(m_findDialog, &TFindDialog::FindClicked, this, [this] {
            m_findText = m_findDialog->FindText();
            m_findOptions =
                (m_findDialog->Down() ? soDown : 0) | (m_findDialog->MatchCase() ? soMatchCase : 0);
            FindInChat();
        });
    }
    m_findDialog->Execute();
}

void TMessagerForm::FindNextActionExecute()
{
    if (m_findText.isEmpty())
        FindActionExecute();
    else
        FindInChat();
}

void TMessagerForm::FindInChat()
{
    QPlainTextEdit* view = m_pageControl->currentIndex() == 0 ? m_memoContent : m_memoChatContent;
    QTextCursor cursor = view->textCursor();
    const int start = cursor.selectionStart();
    const int position =
        SearchText(view->toPlainText(), start, cursor.selectionEnd() - start, m_findOptions, m_findText);
    if (position > 0) {
        cursor.setPosition(position - 1);
        cursor.setPosition(position - 1 + int(m_findText.size()), QTextCursor::KeepAnchor);
        view->setTextCursor(cursor);
        view->ensureCursorVisible();
    } else {
        ShowMsgBox(this, u"找不到“%1”"_s.arg(m_findText), MsgBoxKind::Information, {MsgBoxButton::OK});
    }
}

void TMessagerForm::ModifyActionExecute()
{
    if (m_modifyAction->text() == kModifyCaption) {
        m_memoContent->setReadOnly(false);
        m_modifyAction->setText(kSaveCaption);
        return;
    }
    try {
        SaveChatLog(false);
    } catch (const EFileError& error) {
        ShowMsgBox(this, error.message(), MsgBoxKind::Error, {MsgBoxButton::OK});
    }
    m_memoContent->setReadOnly(true);
    m_modifyAction->setText(kModifyCaption);
}

void TMessagerForm::UserNameActionExecute()
{
    QString name;
    if (InputTextDialog(this, u"Jotvane"_s, u"请输入尊姓大名:       "_s, true, false, name))
        m_config->UserName = name;
}

// Keys and hints

QString TMessagerForm::HintFor(const QWidget* control) const
{
    return control != nullptr ? control->toolTip() : QString();
}

bool TMessagerForm::HandleKey(QWidget* target, const QKeyEvent* key)
{
    const bool ctrl = key->modifiers().testFlag(Qt::ControlModifier);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (ctrl && enter) {
        if (m_btnSendInfo->isEnabled())
            SendChatMessage();
        else
            ShowMsgBox(this, u"还有收到的文件(夹)没有处理！"_s, MsgBoxKind::Information, {MsgBoxButton::OK});
        return true;
    }
    if (ctrl && key->key() == Qt::Key_A && !key->modifiers().testFlag(Qt::AltModifier)) {
        for (QPlainTextEdit* memo : {m_memoInfo, m_memoContent, m_memoChatContent}) {
            if (target == memo || memo->isAncestorOf(target)) {
                memo->selectAll();
                return true;
            }
        }
        if (target == m_listViewUser || m_listViewUser->isAncestorOf(target)) {
            SelectAll(true);
            return true;
        }
        return false;
    }
    if (enter && key->modifiers() == Qt::NoModifier && m_comboBoxGroup->isEditable() &&
        (target == m_comboBoxGroup || m_comboBoxGroup->isAncestorOf(target))) {
        FindEnter();
        return true;
    }
    return false;
}

bool TMessagerForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip && m_config != nullptr && !m_config->ShowHint)
        return true;
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !m_shutDown) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() == this && HandleKey(widget, static_cast<QKeyEvent*>(event)))
            return true;
    }
    // Files dropped anywhere on the window, its text boxes included, are added to the offer.
    const QEvent::Type type = event->type();
    if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
        watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this && !m_shutDown) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->mimeData() != nullptr && drop->mimeData()->hasUrls()) {
            if (!m_btnAddFile->isEnabled()) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            if (type == QEvent::Drop) {
                QStringList paths;
                for (const QUrl& url : drop->mimeData()->urls()) {
                    if (url.isLocalFile())
                        paths << url.toLocalFile();
                }
                AddDroppedPaths(paths);
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
