#pragma once

#include "messenger/ProtocolHooks.h"
#include "messenger/ui/AttachmentRow.h"
#include "messenger/ui/ConversationView.h"
#include "messenger/ui/MessengerParts.h"
#include "messenger/ui/PeerListView.h"

#include <QDir>
#include <QHostAddress>
#include <QMainWindow>
#include <QMap>
#include <QRect>
#include <QStandardPaths>

#include <functional>
#include <memory>

class IClock;
class QKeyEvent;
class IDialogService;
class TDownloadController;
class TFtpServer;
class IDatagramSocket;
class IHotKeyGrabber;
class IPeerNotices;
class QAction;
class QComboBox;
class QLabel;
class QTimer;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class TMessagerConfigMgr;
class TMessagerProtocol;
class TNoticeWindow;
struct TPlatform;

// What the messenger window is built from. Empty members take the real service.
class TMessagerForm;

struct TMessengerEnvironment
{
    const TPlatform* platform = nullptr; // required: the computer's name and card, the tools
    QString appFolder;                   // the folder of MSGConfig.ini and chat.txt, with "/"
    const IClock* clock = nullptr;
    // The socket, the hotkey's grabber and the offer list; none: a UDP socket, the desktop's
    // hotkey and the window's own list, which only shows what was offered.
    std::shared_ptr<IMessengerParts> parts;
    IPeerNotices* notices = nullptr;
    // required: every box and dialog of the window, the file and folder dialogs of "添加文件[&F]"
    // and "添加文件夹[&D]" among them.
    IDialogService* dialogs = nullptr;
    // The file server that hands the offered items to peers: its control port (0: any free
    // port; negative: no server) and the port its data connections come from.
    int ftpControlPort = -1;
    quint16 ftpDataPort = 5599;
    QHostAddress ftpAddress = QHostAddress(QHostAddress::AnyIPv4);
    // Where the conversation is kept when chat.txt cannot be written at the end, in order of
    // preference; none: it is only reported.
    QStringList unsavedFolders;

    // The program's own services: the real socket, clock, hotkey and notices.
    static TMessengerEnvironment Real(const TPlatform* platform, const QString& appFolder)
    {
        TMessengerEnvironment environment;
        environment.platform = platform;
        environment.appFolder = appFolder;
        environment.ftpControlPort = 5588;
        // The folders that keep unsaved pages keep an unsaved conversation too.
        environment.unsavedFolders = {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                          u"/Jotvane/unsaved",
                                      QDir::homePath() + u"/Jotvane unsaved"};
        return environment;
    }
};

// The offer list that saves the peers' offers from this copy's window: the download controller
// on the window's offer row, with its own dialogs, 保存 and 清空 bound.
std::unique_ptr<IOfferList> MakeDownloadOffers(TMessagerForm& form, IDialogService& dialogs);

// The messenger window "Jotvane-信使": the online peers with their groups, the message box and
// the conversation on the page "通讯(&C)", a copy of the conversation on "记录(&N)". It reads
// MSGConfig.ini and starts the datagram protocol when created; ShutdownMessenger says goodbye
// and writes chat.txt and MSGConfig.ini. Closing from the title bar or Esc only hides it.
// The peer list, the conversation and the offer row are parts of their own; the window keeps
// the layout, the menus, its events and the wiring between the parts and the protocol.
class TMessagerForm final : public QMainWindow, public IConversation
{
    Q_OBJECT
public:
    static constexpr int DefaultWidth = 580;
    static constexpr int DefaultHeight = 590;
    // The id of Ctrl+Alt+D with the messenger's own grabber.
    static constexpr int HotKeyId = 1;

    explicit TMessagerForm(TMessengerEnvironment environment, QWidget* parent = nullptr);
    ~TMessagerForm() override;
    Q_DISABLE_COPY_MOVE(TMessagerForm)

    void ShowMessenger();
    void HideMessenger();
    // The shutdown sequence; runs once, later calls do nothing.
    void ShutdownMessenger();
    bool IsShutDown() const { return m_shutDown; }
    void StoreBounds();
    // Writes chat.txt without backup and stores the bounds (before a backup copies the files).
    void SaveState();
    void SaveChatLog(bool withBackup) { m_conversation->Save(withBackup); }

    // IConversation: the line shows at once.
    void AppendToConversation(const QString& text) override
    {
        m_conversation->Append(text);
        m_conversation->FlushPending();
    }
    void AttendIncoming(const QString& name, const QString& senderAddress) override;

    // The download that saves a peer's offer: running, and ending it at once.
    bool DownloadBusy() const;
    void CancelDownload();

    // Commands
    void SendChatMessage();
    void UserNameActionExecute();

    // Parts, for the controller and tests
    TPeerListView& Peers() const { return *m_peers; }
    TConversationView& Conversation() const { return *m_conversation; }
    TAttachmentRow& Attachments() const { return *m_attachments; }
    TMessagerConfigMgr& Config() const { return *m_config; }
    TMessagerProtocol* Protocol() const { return m_protocol; }
    const TChatLog& ChatLog() const { return m_conversation->ChatLog(); }
    QTreeWidget* ListViewUser() const { return m_peers->View(); }
    QComboBox* ComboBoxLabel() const { return m_peers->ComboBoxLabel(); }
    QComboBox* ComboBoxGroup() const { return m_peers->ComboBoxGroup(); }
    QComboBox* ComboBoxAttachment() const { return m_attachments->ComboBoxAttachment(); }
    QPlainTextEdit* MemoInfo() const { return m_memoInfo; }
    QPlainTextEdit* MemoContent() const { return m_conversation->MemoContent(); }
    QPlainTextEdit* MemoChatContent() const { return m_conversation->MemoChatContent(); }
    QTabWidget* PageControl() const { return m_pageControl; }
    QPushButton* SendButton() const { return m_btnSendInfo; }
    TFindDialog* FindDialog() const { return m_conversation->FindDialog(); }
    IHotKeyGrabber* HotKeyGrabber() const { return m_hotKeyGrabber.get(); }
    const TPlatform* Platform() const { return m_env.platform; }
    TFtpServer* FtpServer() const { return m_ftpServer.get(); }
    TDownloadController* Downloads() const { return m_downloads; }
    QAction* Action(const QString& objectName) const { return findChild<QAction*>(objectName); }
    bool ConversationChanged() const { return m_conversation->Changed(); }
    // The hint shown for a control of this window, or "" for none of its own.
    QString HintFor(const QWidget* control) const;
    // What the window tells above the peer list (a port taken, the log not saved), "" for nothing.
    QString StatusText() const;

signals:
    // The shutdown sequence has run: the window may be released.
    void messengerShutDown();
    // A download of a peer's offer has ended.
    void downloadEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StartFileServer();
    void CreateMenus();
    void CreateChatPage();
    void PlaceWindow();
    void MakeFullyVisible();
    void CreateHotKey();
    void ToggleOption(QAction* action, bool& setting);
    bool HandleKey(QWidget* target, const QKeyEvent* key);
    void SetStatus(const QString& key, const QString& text);
    void KeepUnsavedConversation();

    TMessengerEnvironment m_env;
    std::unique_ptr<const IClock> m_ownClock;
    std::unique_ptr<TMessagerConfigMgr> m_config;
    std::unique_ptr<IDatagramSocket> m_socket;
    std::unique_ptr<TFtpServer> m_ftpServer;
    std::unique_ptr<IOfferList> m_offerList;
    TDownloadController* m_downloads = nullptr; // m_offerList when it saves offers
    TMessagerProtocol* m_protocol = nullptr;
    // What the datagram handling appends is drawn once per pass of the event loop, so that a
    // burst of lines costs one update of the view.
    struct TIncoming final : IConversation
    {
        explicit TIncoming(TMessagerForm& form) : Form(form) {}
        void AppendToConversation(const QString& text) override { Form.m_conversation->Append(text); }
        void AttendIncoming(const QString& name, const QString& address) override
        {
            Form.AttendIncoming(name, address);
        }
        TMessagerForm& Form;
    } m_incoming{*this};
    std::unique_ptr<IHotKeyGrabber> m_hotKeyGrabber;
    // Without a parent, so that it shows while the messenger is hidden.
    std::unique_ptr<TNoticeWindow> m_noticeWindow;

    QTabWidget* m_pageControl = nullptr;
    TPeerListView* m_peers = nullptr;
    TConversationView* m_conversation = nullptr;
    TAttachmentRow* m_attachments = nullptr;
    QPlainTextEdit* m_memoInfo = nullptr;
    QPushButton* m_btnSendInfo = nullptr;
    QAction* m_modifyAction = nullptr;
    QLabel* m_statusLabel = nullptr;
    QMap<QString, QString> m_status;
    QTimer* m_ftpRetryTimer = nullptr;
    bool m_attendedThisPass = false;

    QRect m_wantedFrame; // the frame the window is placed at when first shown
    bool m_placed = false;
    bool m_shutDown = false;
};
