#pragma once

#include "messenger/ChatLog.h"
#include "messenger/ProtocolHooks.h"
#include "notes/ui/FindDlg.h"

#include <QHostAddress>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <functional>
#include <memory>

class IClock;
class IDialogService;
class TDownloadController;
class TFtpServer;
class IDatagramSocket;
class IHotKeyGrabber;
class IPeerNotices;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
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
    std::function<std::unique_ptr<IDatagramSocket>()> socket;
    std::function<std::unique_ptr<IHotKeyGrabber>()> hotKeyGrabber;
    IPeerNotices* notices = nullptr;
    // Makes the list that takes in the peers' offers, from the window's offer row (the controls
    // ComboBoxAttachment, btnSendInfo, btnAddFile, btnAddDir, btnDelFileDir, btnSaveFileDir,
    // btnClearFileDir); empty: the window's own list, which only shows what was offered.
    std::function<std::unique_ptr<IOfferList>(TMessagerForm& form)> offerList;
    // The file and folder dialogs of "添加文件[&F]" and "添加文件夹[&D]"; none: the buttons do nothing.
    IDialogService* dialogs = nullptr;
    // The file server that hands the offered items to peers: its control port (0: any free
    // port; negative: no server) and the port its data connections come from.
    int ftpControlPort = -1;
    quint16 ftpDataPort = 5599;
    QHostAddress ftpAddress = QHostAddress(QHostAddress::AnyIPv4);

    // The program's own services: the real socket, clock, hotkey and notices.
    static TMessengerEnvironment Real(const TPlatform* platform, const QString& appFolder)
    {
        TMessengerEnvironment environment;
        environment.platform = platform;
        environment.appFolder = appFolder;
        environment.ftpControlPort = 5588;
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
class TMessagerForm final : public QMainWindow, public IPeerList, public IConversation, public IOfferList
{
    Q_OBJECT
public:
    static constexpr int DefaultWidth = 580;
    static constexpr int DefaultHeight = 590;
    // A changed conversation reaches chat.txt at most this long after the change.
    static constexpr int ChatSaveDelay = 2000; // ms
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
    void SaveChatLog(bool withBackup);

    // IPeerList
    int FindPeerByIP(const QString& address) const override;
    int FindPeerByCard(const QString& card) const override;
    void AddPeer(const QString& name, const QString& address, const QString& card,
                 const QString& type) override;
    void UpdatePeer(int row, const QString& name, const QString& address, const QString& card,
                    const QString& type) override;
    void DeletePeer(int row) override;
    void ClearPeers() override;
    void ShowOnlineNotice(const QString& name) override;
    void ShowOfflineNotice(const QString& name) override;
    bool IsExtranetPeer(int row) const;
    int PeerCount() const;

    // IConversation
    void AppendToConversation(const QString& text) override;
    void AttendIncoming(const QString& name) override;

    // IOfferList
    int PendingOfferCount() const override;
    void AcceptOffer(const QString& senderAddress, const QStringList& items) override;

    // The offer row while composing: "添加文件[&F]", "添加文件夹[&D]" and dropped paths (folders
    // become "Dir=" items, anything else "File="); ignored while receiving.
    void AddOfferFiles();
    void AddOfferFolder();
    void AddDroppedPaths(const QStringList& paths);
    // The download that saves a peer's offer: running, and ending it at once.
    bool DownloadBusy() const;
    void CancelDownload();

    // Commands
    void SendChatMessage();
    void FindInChat();
    void FindActionExecute();
    void FindNextActionExecute();
    void ModifyActionExecute();
    void ListViewUserColumnClick(int column);
    void SelectAll(bool checked);
    void SwitchMode();
    void NewGroup();
    void DeleteGroup();
    void ChooseGroup(int index);
    void FindWhileTyping(const QString& text);
    void FindEnter();
    void UserNameActionExecute();

    // Parts, for the controller and tests
    TMessagerConfigMgr& Config() const { return *m_config; }
    TMessagerProtocol* Protocol() const { return m_protocol; }
    const TChatLog& ChatLog() const { return m_chatLog; }
    QTreeWidget* ListViewUser() const { return m_listViewUser; }
    QComboBox* ComboBoxLabel() const { return m_comboBoxLabel; }
    QComboBox* ComboBoxGroup() const { return m_comboBoxGroup; }
    QComboBox* ComboBoxAttachment() const { return m_comboBoxAttachment; }
    QPlainTextEdit* MemoInfo() const { return m_memoInfo; }
    QPlainTextEdit* MemoContent() const { return m_memoContent; }
    QPlainTextEdit* MemoChatContent() const { return m_memoChatContent; }
    QTabWidget* PageControl() const { return m_pageControl; }
    QPushButton* SendButton() const { return m_btnSendInfo; }
    TFindDialog* FindDialog() const { return m_findDialog; }
    IHotKeyGrabber* HotKeyGrabber() const { return m_hotKeyGrabber.get(); }
    const TPlatform* Platform() const { return m_env.platform; }
    TFtpServer* FtpServer() const { return m_ftpServer.get(); }
    TDownloadController* Downloads() const { return m_downloads; }
    QAction* Action(const QString& objectName) const;
    QString FindText() const { return m_findText; }
    int SortColumn() const { return m_sortColumn; }
    int SortDirection(int column) const { return m_sortDirections[column]; }
    bool ConversationChanged() const;
    // The hint shown for a control of this window, or "" for none of its own.
    QString HintFor(const QWidget* control) const;

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
    void AppendOffer(const QString& item);
    void CreateMenus();
    void CreateChatPage();
    void PlaceWindow();
    void MakeFullyVisible();
    void CreateHotKey();
    void LoadChatLog();
    void ToggleOption(QAction* action, bool& setting);
    void SortPeers();
    void PeerChanged(QTreeWidgetItem* item, int column);
    void SetChecked(QTreeWidgetItem* item, bool checked);
    QStringList ConversationLines() const;
    QStringList InputLines() const;
    void ShowNotice(const QString& title, const QString& text);
    bool HandleKey(QWidget* target, const QKeyEvent* key);
    void ChatContentChanged();
    void PageChanged(int index);

    TMessengerEnvironment m_env;
    std::unique_ptr<const IClock> m_ownClock;
    std::unique_ptr<TMessagerConfigMgr> m_config;
    std::unique_ptr<IDatagramSocket> m_socket;
    std::unique_ptr<TFtpServer> m_ftpServer;
    std::unique_ptr<IOfferList> m_offerList;
    TDownloadController* m_downloads = nullptr; // m_offerList when it saves offers
    TMessagerProtocol* m_protocol = nullptr;
    TChatLog m_chatLog;
    std::unique_ptr<IHotKeyGrabber> m_hotKeyGrabber;
    // Without a parent, so that it shows while the messenger is hidden.
    std::unique_ptr<TNoticeWindow> m_noticeWindow;
    QPointer<TFindDialog> m_findDialog;

    QTabWidget* m_pageControl = nullptr;
    QTreeWidget* m_listViewUser = nullptr;
    QPushButton* m_btnRefreshUserList = nullptr;
    QComboBox* m_comboBoxLabel = nullptr;
    QComboBox* m_comboBoxGroup = nullptr;
    QPushButton* m_btnNewGroup = nullptr;
    QPushButton* m_btnDelGroup = nullptr;
    QPushButton* m_btnSelectAll = nullptr;
    QPushButton* m_btnSelectNone = nullptr;
    QPlainTextEdit* m_memoInfo = nullptr;
    QPushButton* m_btnSendInfo = nullptr;
    QComboBox* m_comboBoxAttachment = nullptr;
    QPushButton* m_btnAddFile = nullptr;
    QPushButton* m_btnAddDir = nullptr;
    QPushButton* m_btnDelFileDir = nullptr;
    QPushButton* m_btnSaveFileDir = nullptr;
    QPushButton* m_btnClearFileDir = nullptr;
    QPlainTextEdit* m_memoContent = nullptr;
    QPlainTextEdit* m_memoChatContent = nullptr;
    QAction* m_modifyAction = nullptr;

    QTimer m_chatSaveTimer;
    QRect m_wantedFrame; // the frame the window is placed at when first shown
    bool m_placed = false;
    int m_sortColumn = 0;
    int m_sortDirections[4] = {0, 0, 0, 0};
    QString m_findText;
    int m_findOptions = 0;
    QString m_offerHost;
    bool m_shutDown = false;
    bool m_loading = false;
};
