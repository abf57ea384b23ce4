#include "messenger/ui/MessagerFrm.h"

#include "core/Clock.h"
#include "core/Error.h"
#include "core/TextFile.h"
#include "messenger/ChatComposer.h"
#include "messenger/DatagramSocket.h"
#include "messenger/MessagerConfigMgr.h"
#include "messenger/MessagerProtocol.h"
#include "messenger/ftp/FtpServer.h"
#include "messenger/ftp/ui/FtpDownloadController.h"
#include "messenger/ui/AttachmentRow.h"
#include "messenger/ui/ConversationView.h"
#include "messenger/ui/PeerListView.h"
#include "messenger/ui/PeerNotices.h"
#include "notes/PageJournal.h"
#include "platform/AppUtils.h"
#include "platform/HotKeyGrabber.h"
#include "platform/Platform.h"
#include "widgets/BaseFrm.h"
#include "widgets/DialogService.h"
#include "widgets/InputFrm.h"
#include "widgets/MsgBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The saved groups in MSGConfig.ini. The settings go at shutdown; the window's controls may
// outlive them a little.
class TConfigGroupStore final : public IGroupStore
{
public:
    explicit TConfigGroupStore(const std::unique_ptr<TMessagerConfigMgr>& config) : m_config(config) {}
    QString read() override { return m_config ? m_config->UserGroup : QString(); }
    void write(const QString& userGroup) override
    {
        if (m_config)
            m_config->UserGroup = userGroup;
    }

private:
    const std::unique_ptr<TMessagerConfigMgr>& m_config;
};

} // namespace

TMessagerForm::TMessagerForm(TMessengerEnvironment environment, QWidget* parent)
    : QMainWindow(parent), m_env(std::move(environment))
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
    if (!m_env.parts)
        m_env.parts = std::make_shared<TRealMessengerParts>();
    m_socket = m_env.parts->socket();
    StartFileServer();
    m_offerList = m_env.parts->offerList(*this);
    m_downloads = dynamic_cast<TDownloadController*>(m_offerList.get());
    if (m_downloads)
        connect(m_downloads, &TDownloadController::downloadEnded, this, &TMessagerForm::downloadEnded);
    IOfferList& offers = m_offerList ? *m_offerList : static_cast<IOfferList&>(*m_attachments);
    m_protocol = new TMessagerProtocol(*m_config, *m_env.platform->systemInfo, *m_env.clock, *m_socket,
                                       *m_peers, m_incoming, offers, this);
    // Queued: the box's own loop must not run inside the datagram handling, where it would hold
    // every datagram behind it until the user closes it.
    connect(
        m_protocol, &TMessagerProtocol::MessageBoxRequested, this,
        [this](const QString& text) {
            m_env.dialogs->MessageBox(this, text, MsgBoxKind::Information, {MsgBoxButton::OK});
        },
        Qt::QueuedConnection);
    connect(m_protocol, &TMessagerProtocol::PortBlocked, this, [this](quint16 port, bool blocked) {
        SetStatus(
            u"udp"_s,
            blocked
                ? u"端口 %1 已被其他程序占用，信使暂时收不到也发不出消息；端口空出后会自动接上。"_s.arg(port)
                : QString());
    });
    connect(m_conversation, &TConversationView::saveFailed, this, [this](const QString& error) {
        SetStatus(u"chat"_s,
                  error.isEmpty()
                      ? QString()
                      : u"聊天记录保存失败（%1）。新的消息仍在窗口中，磁盘有空间后会补存。"_s.arg(error));
    });
    connect(m_peers, &TPeerListView::refreshRequested, m_protocol, &TMessagerProtocol::Refresh);
    connect(m_peers, &TPeerListView::extranetPeerChecked, this,
            [this](const QString& card, const QString& address) {
                // A peer behind the relay server is asked to open its side, and a punch opens ours.
                m_protocol->SendConnectRequest(card, true);
                TPeerEndpoint endpoint;
                if (SplitEndpoint(address, endpoint))
                    m_protocol->SendPunch(endpoint);
            });
    m_protocol->Start();
    // 5. The conversation of earlier days.
    m_conversation->Load();
    // 6. Notices: the handed-in popup, or a small window of our own.
    if (m_env.notices == nullptr) {
        m_noticeWindow = std::make_unique<TNoticeWindow>();
        m_env.notices = m_noticeWindow.get();
    }
    m_peers->SetNotices(m_env.notices);
    // 7. The locating tool started in find mode with the peer list. 8. The chat page.
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
    const auto port = static_cast<quint16>(m_env.ftpControlPort);
    if (!m_ftpServer->Start(port, m_env.ftpDataPort, m_env.ftpAddress)) {
        // Another program holds the port: the user is told, and it is taken once it is free.
        ReportMessengerError(u"the file server cannot listen on port "_s + QString::number(port));
        SetStatus(
            u"ftp"_s,
            u"文件共享端口 %1 已被其他程序占用，好友暂时无法下载您发送的文件；端口空出后会自动接上。"_s.arg(
                port));
        m_ftpRetryTimer = new QTimer(this);
        m_ftpRetryTimer->setInterval(TMessagerProtocol::PortRetryMs);
        connect(m_ftpRetryTimer, &QTimer::timeout, this, [this, port] {
            if (m_shutDown || !m_ftpServer || !m_ftpServer->Start(port, m_env.ftpDataPort, m_env.ftpAddress))
                return;
            m_ftpRetryTimer->stop();
            SetStatus(u"ftp"_s, QString());
        });
        m_ftpRetryTimer->start();
    }
    try {
        m_ftpServer->SetSharePath(m_config->SharePath);
    } catch (const EJotvaneError& error) {
        m_env.dialogs->MessageBox(this, error.message(), MsgBoxKind::Error, {MsgBoxButton::OK});
    }
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

TMessagerForm::~TMessagerForm()
{
    qApp->removeEventFilter(this);
    ShutdownMessenger();
    // The protocol holds the socket, which goes with the members.
    delete m_protocol;
    m_protocol = nullptr;
}

void TMessagerForm::CreateChatPage()
{
    m_pageControl = new QTabWidget(this);
    m_pageControl->setObjectName(u"PageControl"_s);
    m_pageControl->setTabPosition(QTabWidget::South);
    setCentralWidget(m_pageControl);

    auto* chatPage = new QWidget(m_pageControl);
    chatPage->setObjectName(u"TabChat"_s);
    auto* logPage = new QWidget(m_pageControl);
    logPage->setObjectName(u"TabLog"_s);
    auto* column = new QVBoxLayout(chatPage);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(3);
    m_statusLabel = new QLabel(chatPage);
    m_statusLabel->setObjectName(u"LabelStatus"_s);
    m_statusLabel->setWordWrap(true);
    m_statusLabel->setTextFormat(Qt::PlainText);
    m_statusLabel->setStyleSheet(u"QLabel { color: #B00000; }"_s);
    m_statusLabel->hide();
    column->addWidget(m_statusLabel);

    m_peers =
        new TPeerListView(chatPage, std::make_unique<TConfigGroupStore>(m_config), *m_env.dialogs, this);
    column->addWidget(m_peers->View(), 3);
    column->addLayout(m_peers->ToolRow());

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

    m_attachments = new TAttachmentRow(chatPage, m_btnSendInfo, m_env.dialogs);
    column->addLayout(m_attachments->Layout());
    // "清空[&C]" while composing also withdraws what this copy has offered.
    connect(m_attachments->Row().btnClearFileDir, &QAbstractButton::pressed, this, [this] {
        if (m_attachments->Composing() && m_ftpServer)
            m_ftpServer->Access().EndOffers();
    });

    m_conversation = new TConversationView(m_env.appFolder, chatPage, logPage, this, *m_env.dialogs);
    m_conversation->chatPageShown = [this] { return m_pageControl->currentIndex() == 0; };
    column->addWidget(m_conversation->MemoContent(), 4);
    m_pageControl->addTab(chatPage, u"通讯(&C)"_s);
    // Tab walks the page from the top: the list, the tool row, the message, the offers, the
    // conversation.
    QList<QWidget*> order{m_peers->View()};
    order << m_peers->ToolRowControls() << m_memoInfo << m_btnSendInfo << m_attachments->Controls()
          << m_conversation->MemoContent();
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    auto* logColumn = new QVBoxLayout(logPage);
    logColumn->setContentsMargins(2, 2, 2, 2);
    logColumn->addWidget(m_conversation->MemoChatContent());
    m_pageControl->addTab(logPage, u"记录(&N)"_s);
    connect(m_pageControl, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1)
            m_conversation->CopyToLogPage();
    });
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
    m_hotKeyGrabber = m_env.parts->hotKeyGrabber();
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
    MemoContent()->setFocus();
}

void TMessagerForm::HideMessenger()
{
    if (ConversationChanged()) {
        try {
            SaveChatLog(true);
            m_conversation->MarkUnchanged();
        } catch (const EFileError& error) {
            m_env.dialogs->MessageBox(this, error.message(), MsgBoxKind::Error, {MsgBoxButton::OK});
        }
    }
    hide();
}
void TMessagerForm::ShutdownMessenger()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    if (m_ftpRetryTimer)
        m_ftpRetryTimer->stop();
    m_conversation->StopAutoSave();
    // A download still running ends now; its loop unwinds before the window is released.
    CancelDownload();
    m_protocol->Shutdown();
    if (m_ftpServer)
        m_ftpServer->Stop();
    try {
        SaveState();
    } catch (const EFileError& error) {
        ReportMessengerError(error.message());
        KeepUnsavedConversation();
    }
    if (m_hotKeyGrabber) {
        m_hotKeyGrabber->unregisterHotKey(HotKeyId);
        m_hotKeyGrabber->setActivationHandler({});
    }
    m_config.reset(); // writes MSGConfig.ini
    emit messengerShutDown();
}

// chat.txt cannot be written (a full disk): the conversation is kept as a file of its own in
// the first folder that takes it, as unsaved pages are.
void TMessagerForm::KeepUnsavedConversation()
{
    const QStringList lines = m_conversation->Lines();
    if (lines.isEmpty())
        return;
    for (const QString& folder : std::as_const(m_env.unsavedFolders)) {
        const QString path = TPageJournal::UnsavedCopyPath(folder, u"chat"_s, m_env.clock->Now());
        try {
            if (!QDir().mkpath(folder))
                continue;
            WriteTextFileLines(path, lines);
            ReportMessengerError(u"未能保存的聊天记录已保留在 "_s + QDir::toNativeSeparators(path));
            return;
        } catch (const EFileError& error) {
            ReportMessengerError(error.message());
        }
    }
}

void TMessagerForm::SetStatus(const QString& key, const QString& text)
{
    if (text.isEmpty())
        m_status.remove(key);
    else
        m_status.insert(key, text);
    m_statusLabel->setText(StatusText());
    m_statusLabel->setVisible(!m_status.isEmpty());
}

QString TMessagerForm::StatusText() const
{
    return QStringList(m_status.values()).join(u'\n');
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

void TMessagerForm::closeEvent(QCloseEvent* event)
{
    if (m_shutDown) {
        event->accept();
        return;
    }
    event->ignore();
    HideMessenger();
}

// Chat

void TMessagerForm::SendChatMessage()
{
    QList<TChatPeer> peers;
    for (int i = 0; i < m_peers->PeerCount(); ++i)
        peers.append({m_peers->PeerName(i), m_peers->PeerAddress(i), m_peers->IsExtranetPeer(i),
                      m_peers->IsChecked(i)});
    // One offer holds what fits in a datagram; the rest stays listed for the next send.
    QStringList offers = m_attachments->Items();
    const QStringList left = offers.mid(TMessagerProtocol::OfferItemsThatFit(offers));
    offers = offers.first(offers.size() - left.size());
    const TChatPlan plan = ComposeChat(peers, m_protocol->FormatTimestamp(), m_config->UserName,
                                       {m_memoInfo->toPlainText(), DisplayedLines(m_memoInfo)}, offers);
    if (plan.NoTarget) {
        m_env.dialogs->MessageBox(this, u"请选择发送目标！"_s, MsgBoxKind::Information, {MsgBoxButton::OK});
        m_peers->FocusLocator();
        return;
    }
    for (const TChatDatagram& datagram : plan.Datagrams) {
        if (datagram.Kind == TChatDatagram::dkText)
            m_protocol->SendText(datagram.Host, datagram.Text, datagram.Port);
        else {
            // The server lets a peer fetch only what was offered to it, in the form it goes out.
            const QStringList items =
                m_ftpServer ? m_ftpServer->Access().OfferItems(QHostAddress(datagram.Host), datagram.Items)
                            : datagram.Items;
            m_protocol->SendFileOffer(datagram.Host, items, datagram.Port);
        }
    }
    for (const QString& line : plan.OwnLines)
        AppendToConversation(line);
    if (plan.ClearInput)
        m_memoInfo->clear();
    if (plan.ClearOffers || !left.isEmpty())
        m_attachments->Clear();
    if (!left.isEmpty()) {
        QStringList paths, names;
        for (const QString& item : left) {
            paths << item.mid(item.indexOf(u'=') + 1);
            names << OfferedName(item);
        }
        m_attachments->AddDroppedPaths(paths);
        AppendToConversation(
            u"以下文件(夹)超出了一次发送的长度，没有发出，仍留在列表中，请再次发送：\r\n  "_s +
            names.join(u'|') + u"\r\n"_s);
    }
    MemoContent()->moveCursor(QTextCursor::End);
}
void TMessagerForm::AttendIncoming(const QString& name, const QString& senderAddress)
{
    // Once per pass of the event loop: a burst of lines raises the window and checks the
    // writer once, not once per line.
    if (m_attendedThisPass)
        return;
    m_attendedThisPass = true;
    QMetaObject::invokeMethod(
        this, [this] { m_attendedThisPass = false; }, Qt::QueuedConnection);
    if (m_pageControl->currentIndex() != 0)
        m_pageControl->setCurrentIndex(0);
    if (m_config->MessageJump)
        ShowMessenger();
    if (m_peers->AnyChecked())
        return;
    // The writer is the row of the address the message came from; two peers may share a name.
    // Without such a row, the one row of that name, and none when several share it.
    int byName = -1;
    int sameName = 0;
    for (int i = 0; i < m_peers->PeerCount(); ++i) {
        const TPeerInfo peer = m_peers->PeerAt(i);
        TPeerEndpoint endpoint;
        if (!senderAddress.isEmpty() &&
            (peer.Address == senderAddress ||
             (SplitEndpoint(peer.Address, endpoint) && endpoint.Address == senderAddress))) {
            m_peers->SetChecked(i, true);
            return;
        }
        if (peer.Name == name) {
            byName = i;
            ++sameName;
        }
    }
    if (sameName == 1)
        m_peers->SetChecked(byName, true);
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
    if (enter && key->modifiers() == Qt::ShiftModifier &&
        (target == m_memoInfo || m_memoInfo->isAncestorOf(target))) {
        // A plain line break: the box would put a line separator inside the line instead.
        m_memoInfo->insertPlainText(u"\n"_s);
        return true;
    }
    if (ctrl && enter) {
        if (m_btnSendInfo->isEnabled())
            SendChatMessage();
        else
            m_env.dialogs->MessageBox(this, u"还有收到的文件(夹)没有处理！"_s, MsgBoxKind::Information,
                                      {MsgBoxButton::OK});
        return true;
    }
    if (ctrl && key->key() == Qt::Key_A && !key->modifiers().testFlag(Qt::AltModifier)) {
        for (QPlainTextEdit* memo : {m_memoInfo, MemoContent(), MemoChatContent()}) {
            if (target == memo || memo->isAncestorOf(target)) {
                memo->selectAll();
                return true;
            }
        }
    }
    // Ctrl+A in the peer list, Enter in the find field.
    return m_peers->HandleKey(target, key);
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
        bool added = false;
        if (m_attachments->HandleDrop(static_cast<QDropEvent*>(event), added)) {
            if (added)
                AttendIncoming(QString(), QString());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
