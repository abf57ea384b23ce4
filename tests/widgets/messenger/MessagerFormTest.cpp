// The messenger window on a recording socket: the peer list and its groups, sending and the
// conversation, the chat log's save moments, find, the hotkey and the controller's commands.
#include "FakeDialogService.h"
#include "FakeHotKeyGrabber.h"
#include "FakePlatform.h"
#include "MessengerFakes.h"
#include "TestClock.h"
#include "TestSupport.h"
#include "config/AppConfigMgr.h"
#include "core/Clock.h"
#include "core/DelimitedText.h"
#include "core/PubUtils.h"
#include "core/TextFile.h"
#include "messenger/ChatComposer.h"
#include "messenger/MessagerConfigMgr.h"
#include "messenger/MessagerProtocol.h"
#include "messenger/ftp/FtpServer.h"
#include "messenger/ftp/ui/DownSum.h"
#include "messenger/ftp/ui/FtpDownloadController.h"
#include "messenger/ui/MessagerFrm.h"
#include "messenger/ui/MessengerController.h"
#include "messenger/ui/PeerNotices.h"
#include "platform/AppUtils.h"
#include "widgets/CommandTable.h"
#include "widgets/FindDlg.h"
#include "widgets/InputFrm.h"
#include "widgets/MsgBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Records every datagram into a list that outlives the window (which owns its socket).
class TLoggedSocket final : public IDatagramSocket
{
public:
    explicit TLoggedSocket(QList<TSentDatagram>& log, bool& free) : m_log(log), m_free(free) {}
    bool Open(quint16) override { return m_open = m_free; }
    void Close() override { m_open = false; }
    bool IsOpen() const override { return m_open; }
    bool Send(const QString& host, quint16 port, const QByteArray& bytes) override
    {
        m_log.append({host, port, bytes});
        return m_open;
    }
    QString LocalIPv4() const override { return u"10.0.0.2"_s; }

private:
    QList<TSentDatagram>& m_log;
    bool& m_free;
    bool m_open = false;
};

class TRecordingNotices final : public IPeerNotices
{
public:
    void ShowNotice(const QString& title, const QString& text) override { Shown << title + text; }
    QStringList Shown;
};

class MessagerFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        folder = root.path() + u'/';
        clock.Set(QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0)));
        dialogs.messageBox = [this](const TMsgBoxCall& call) {
            messages << call.message;
            return MsgResultOK;
        };
        dialogs.modal = [this](QDialog& dialog) {
            if (auto* summary = qobject_cast<TfrmDownSum*>(&dialog)) {
                summaries << summary->SavedPath();
                return int(QDialog::Accepted);
            }
            auto* input = qobject_cast<TInputForm*>(&dialog);
            if (input == nullptr || !inputAnswer)
                return int(QDialog::Rejected);
            prompts << input->PromptLabel()->text();
            input->ValueEdit()->setText(*inputAnswer);
            return int(QDialog::Accepted);
        };
    }
    void TearDown() override { form.reset(); }

    // The window's socket and hotkey, kept for the test, and when it shares, the download
    // controller on its offer row.
    struct TTestParts final : IMessengerParts
    {
        TTestParts(MessagerFormTest& owner, bool shares) : test(owner), sharing(shares) {}
        std::unique_ptr<IDatagramSocket> socket() override
        {
            auto s = std::make_unique<TLoggedSocket>(test.sent, test.portFree);
            test.socket = s.get();
            return s;
        }
        std::unique_ptr<IHotKeyGrabber> hotKeyGrabber() override
        {
            auto g = std::make_unique<FakeHotKeyGrabber>();
            test.grabber = g.get();
            return g;
        }
        std::unique_ptr<IOfferList> offerList(TMessagerForm& f) override
        {
            return sharing ? MakeDownloadOffers(f, test.dialogs) : nullptr;
        }
        MessagerFormTest& test;
        bool sharing;
    };

    TMessengerEnvironment Environment()
    {
        TMessengerEnvironment env;
        env.platform = &platform.services();
        env.appFolder = folder;
        env.clock = &clock;
        env.parts = std::make_shared<TTestParts>(*this, false);
        env.notices = &notices;
        env.dialogs = &dialogs;
        return env;
    }
    // The window with its own file server on loopback and the download controller on its row.
    TMessengerEnvironment SharingEnvironment()
    {
        TMessengerEnvironment env = Environment();
        env.ftpControlPort = 0;
        env.ftpDataPort = 0;
        env.ftpAddress = QHostAddress(QHostAddress::LocalHost);
        env.parts = std::make_shared<TTestParts>(*this, true);
        return env;
    }
    void Build()
    {
        form = std::make_unique<TMessagerForm>(Environment());
        sent.clear();
    }
    void Receive(TMessageKind kind, const QString& name, const QString& text, const QString& from)
    {
        socket->OnReceived(EncodeMessage({kind, 0, name, {}, {}, text, {}}), from, 3574);
    }
    QStringList Names() const
    {
        QStringList names;
        for (int i = 0; i < form->Peers().PeerCount(); ++i)
            names << form->ListViewUser()->topLevelItem(i)->text(0);
        return names;
    }
    QStringList Checked() const
    {
        QStringList names;
        for (int i = 0; i < form->Peers().PeerCount(); ++i)
            if (form->ListViewUser()->topLevelItem(i)->checkState(0) == Qt::Checked)
                names << form->ListViewUser()->topLevelItem(i)->text(0);
        return names;
    }
    void Check(const QString& name, bool on = true)
    {
        for (int i = 0; i < form->Peers().PeerCount(); ++i)
            if (form->ListViewUser()->topLevelItem(i)->text(0) == name)
                form->ListViewUser()->topLevelItem(i)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
    QStringList SentTexts() const
    {
        QStringList texts;
        for (const TSentDatagram& d : sent)
            if (d.Kind() == mkText)
                texts << d.Host + u' ' + d.Decoded().Text;
        return texts;
    }
    void ChooseMode(const QString& mode)
    {
        form->ComboBoxLabel()->setCurrentText(mode);
        form->Peers().SwitchMode();
    }

    QTemporaryDir root;
    QString folder;
    FakePlatform platform;
    TTestClock clock;
    TRecordingNotices notices;
    QList<TSentDatagram> sent;
    bool portFree = true;
    TLoggedSocket* socket = nullptr;
    FakeHotKeyGrabber* grabber = nullptr;
    std::unique_ptr<TMessagerForm> form;
    FakeDialogService dialogs;
    QStringList messages;
    QStringList prompts;
    // The paths the download summaries showed.
    QStringList summaries;
    std::optional<QString> inputAnswer;
};

} // namespace

TEST_F(MessagerFormTest, SortsByCodeUnitAndFlipsDirectionsOnHeaderClicks)
{
    Build();
    EXPECT_EQ(form->windowTitle(), u"Jotvane-信使"_s);
    EXPECT_EQ(form->PageControl()->tabText(0), u"通讯(&C)"_s);
    EXPECT_EQ(form->ListViewUser()->headerItem()->text(1), u"IP地址"_s);
    form->Peers().AddPeer(u"bob"_s, u"10.0.0.9"_s, u"000000000009"_s, u"内网"_s);
    form->Peers().AddPeer(u"Bob"_s, u"10.0.0.3"_s, u"000000000003"_s, u"内网"_s);
    form->Peers().AddPeer(u"alice"_s, u"10.0.0.5"_s, u"000000000005"_s, u"内网"_s);
    EXPECT_EQ(Names(), QStringList({u"Bob"_s, u"alice"_s, u"bob"_s}));
    form->Peers().ListViewUserColumnClick(0); // the same header: descending
    EXPECT_EQ(Names(), QStringList({u"bob"_s, u"alice"_s, u"Bob"_s}));
    form->Peers().ListViewUserColumnClick(1); // another header: its own flag flipped, so descending
    EXPECT_EQ(Names(), QStringList({u"bob"_s, u"alice"_s, u"Bob"_s}));
    form->Peers().ListViewUserColumnClick(1);
    EXPECT_EQ(Names(), QStringList({u"Bob"_s, u"alice"_s, u"bob"_s}));
    // A renamed row is placed again; rows are found by address and card.
    form->Peers().UpdatePeer(form->Peers().FindPeerByIP(u"10.0.0.9"_s), u"Zed"_s, u"10.0.0.9"_s,
                             u"000000000009"_s, u"内网"_s);
    EXPECT_EQ(form->Peers().FindPeerByCard(u"000000000009"_s), 2);
    EXPECT_EQ(Names(), QStringList({u"Bob"_s, u"alice"_s, u"Zed"_s}));
    form->Peers().DeletePeer(form->Peers().FindPeerByIP(u"10.0.0.3"_s));
    EXPECT_FALSE(Names().contains(u"Bob"_s));
}

TEST_F(MessagerFormTest, FindsWhileTypingAndChecksOnEnter)
{
    Build();
    for (const QString& name : {u"Wang Li"_s, u"li"_s, u"LI"_s})
        form->Peers().AddPeer(name, u"10.0.0."_s + QString::number(form->Peers().PeerCount() + 2), u"AB"_s,
                              u"内网"_s);
    form->show();
    QLineEdit* edit = form->ComboBoxGroup()->lineEdit();
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClicks(edit, u"lI"_s);
    EXPECT_EQ(form->ListViewUser()->currentItem()->text(0), u"LI"_s); // "LI" sorts first
    EXPECT_TRUE(Checked().isEmpty());
    edit->setText(u" li "_s);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(Checked(), QStringList({u"LI"_s}));
    form->ListViewUser()->setFocus();
    QTest::keyClick(form->ListViewUser(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Checked().size(), 3);
}

TEST_F(MessagerFormTest, GroupsAreMadeChosenDeletedAndStored)
{
    Build();
    for (const QString& name : {u"Li Lei"_s, u"Li"_s, u"Lei"_s, u"x_y"_s, u"x"_s, u"y"_s})
        form->Peers().AddPeer(name, u"10.0.0."_s + QString::number(form->Peers().PeerCount() + 2), u"AB"_s,
                              u"内网"_s);
    ChooseMode(u"分组"_s);
    Check(u"Li Lei"_s);
    Check(u"x_y"_s);
    inputAnswer = u"a|b c"_s;
    form->Peers().NewGroup();
    EXPECT_EQ(prompts, QStringList({u"请输入分组名:       "_s}));
    EXPECT_EQ(form->Config().UserGroup, u"\"a|b c=Li Lei_x_y\""_s);
    // Choosing it splits the members at the blank and at every "_".
    form->Peers().SelectAll(false);
    Check(u"Li Lei"_s);
    form->Peers().ChooseGroup(0);
    EXPECT_EQ(Checked(), QStringList({u"Lei"_s, u"Li"_s, u"x"_s, u"y"_s}));
    // Back in find mode and again in group mode, the group is read back intact.
    ChooseMode(u"查找"_s);
    EXPECT_FALSE(form->findChild<QWidget*>(u"btnNewGroup"_s)->isEnabled());
    ChooseMode(u"分组"_s);
    ASSERT_EQ(form->ComboBoxGroup()->count(), 1);
    EXPECT_EQ(form->ComboBoxGroup()->itemText(0), u"a|b c=Li Lei_x_y"_s);
    form->ComboBoxGroup()->setCurrentIndex(0);
    form->Peers().DeleteGroup();
    EXPECT_EQ(form->Config().UserGroup, QString());
}

TEST_F(MessagerFormTest, SendsToTheCheckedPeersAndLogsTheOwnLine)
{
    Build();
    form->Config().UserName = u"Me"_s;
    form->Peers().AddPeer(u"B"_s, u"10.0.0.3"_s, u"0000000000B0"_s, u"内网"_s);
    form->Peers().AddPeer(u"C"_s, u"10.0.0.4"_s, u"0000000000C0"_s, u"内网"_s);
    form->show();
    form->MemoInfo()->setPlainText(u"one\ntwo\nthree"_s);
    form->MemoInfo()->setFocus();
    QTest::keyClick(form->MemoInfo(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(messages, QStringList({u"请选择发送目标！"_s}));
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(form->MemoInfo()->toPlainText(), u"one\ntwo\nthree"_s);

    Check(u"B"_s);
    QTest::keyClick(form->MemoInfo(), Qt::Key_Return, Qt::ControlModifier);
    const QString stamp = u"(2026-12-09 10:00:00) "_s;
    EXPECT_EQ(SentTexts(), QStringList({u"10.0.0.3 "_s + stamp + u"Me 对 B 说："_s, u"10.0.0.3   one"_s,
                                        u"10.0.0.3 two"_s, u"10.0.0.3 three\r\n"_s}));
    EXPECT_TRUE(form->MemoInfo()->toPlainText().isEmpty());
    EXPECT_EQ(form->MemoContent()->toPlainText(), stamp + u"你对 B 说：\n  one\ntwo\nthree\n"_s);

    // Blanks only, with an offer to a local and an extranet peer: no text, the offer, the note.
    sent.clear();
    form->Peers().AddPeer(u"D"_s, u"198.51.100.7:40001"_s, u"0000000000D0"_s, u"外网"_s);
    form->Peers().SelectAll(true);
    form->MemoInfo()->setPlainText(u"   "_s);
    form->ComboBoxAttachment()->addItem(u"File=/tmp/report.txt"_s);
    form->SendChatMessage();
    int offers = 0;
    for (const TSentDatagram& d : sent)
        offers += d.Kind() == mkFileOffer ? 1 : 0;
    EXPECT_EQ(offers, 2);
    EXPECT_EQ(SentTexts().size(), 4);
    EXPECT_TRUE(form->MemoContent()->toPlainText().endsWith(
        u"其中有1个外网好友因为目前不支持远程文件传送而不能收到这些文件(夹)\n"_s));
    EXPECT_EQ(form->Attachments().PendingOfferCount(), 0);
}

TEST_F(MessagerFormTest, AnOfferTooLongForOneDatagramKeepsTheRestListedAndSaysSo)
{
    Build();
    form->Peers().AddPeer(u"B"_s, u"10.0.0.3"_s, u"0000000000B0"_s, u"内网"_s);
    Check(u"B"_s);
    QStringList items;
    for (int i = 0; i < 40; ++i)
        items << u"File=/home/user/文档/项目资料/第%1份文件_年度报告_最终版本.txt"_s.arg(i, 2, 10,
                                                                                         QChar(u'0'));
    form->ComboBoxAttachment()->addItems(items);
    form->SendChatMessage();
    QStringList offered;
    for (const TSentDatagram& d : sent) {
        if (d.Kind() == mkFileOffer)
            offered += SplitDelimited(d.Decoded().Text, QChar(u'|'));
    }
    ASSERT_GT(offered.size(), 1);
    ASSERT_LT(offered.size(), 40);
    // What did not fit stays listed, in order, and the user is told which items those are.
    QStringList left;
    for (int i = 0; i < form->ComboBoxAttachment()->count(); ++i)
        left << form->ComboBoxAttachment()->itemText(i);
    EXPECT_EQ(left, items.mid(offered.size()));
    const QString own = form->MemoContent()->toPlainText();
    EXPECT_TRUE(own.contains(u"没有发出，仍留在列表中"_s)) << own.toStdString();
    EXPECT_TRUE(own.contains(OfferedName(items[offered.size()])));
    // The announcing texts name only what was offered.
    EXPECT_FALSE(SentTexts().join(u'\n').contains(OfferedName(items.last())));
}

TEST_F(MessagerFormTest, IncomingTextsChecksTheSenderOnlyWhenNobodyIsChecked)
{
    Build();
    form->Config().MessageJump = false;
    form->Peers().AddPeer(u"B"_s, u"10.0.0.3"_s, u"0000000000B0"_s, u"内网"_s);
    form->Peers().AddPeer(u"C"_s, u"10.0.0.4"_s, u"0000000000C0"_s, u"内网"_s);
    form->PageControl()->setCurrentIndex(1);
    TMessage text{mkText, 0, u"B"_s, {}, {}, u"<b>not bold</b>"_s, {}};
    socket->OnReceived(EncodeMessage(text), u"10.0.0.3"_s, 3574);
    EXPECT_EQ(form->PageControl()->currentIndex(), 0);
    EXPECT_EQ(Checked(), QStringList({u"B"_s}));
    QCoreApplication::processEvents();
    EXPECT_EQ(form->MemoContent()->toPlainText(), u"<b>not bold</b>"_s);
    form->Peers().SelectAll(false);
    Check(u"C"_s);
    form->AttendIncoming(u"B"_s, u"10.0.0.3"_s);
    EXPECT_EQ(Checked(), QStringList({u"C"_s}));
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MessagerFormTest, ChecksOfAnExtranetRowAskForAConnection)
{
    Build();
    form->Config().ServerAddress = u"198.51.100.1"_s;
    form->Peers().AddPeer(u"D"_s, u"198.51.100.7:40001"_s, u"0000000000D0"_s, u"外网"_s);
    for (int round = 0; round < 2; ++round) {
        form->Peers().SelectAll(true);
        form->Peers().SelectAll(false);
    }
    QStringList kinds;
    for (const TSentDatagram& d : sent)
        kinds << QString::number(int(d.Kind())) + u'@' + d.Host;
    EXPECT_EQ(kinds.count(u"9@198.51.100.7"_s), 2) << kinds.join(u' ').toStdString(); // punches
    EXPECT_EQ(kinds.filter(u"6@"_s).size(), 2);                                       // connect requests
}

TEST_F(MessagerFormTest, ChatLogIsSavedSoonAfterAChangeAndBackedUpAtChangedHides)
{
    WriteTextFileLines(folder + u"chat.txt"_s, {u"earlier"_s});
    Build();
    EXPECT_EQ(form->MemoContent()->toPlainText(), u"earlier"_s);
    EXPECT_FALSE(form->ConversationChanged());
    // A flood of texts: every line is kept and reaches chat.txt within moments.
    for (int i = 0; i < 10000; ++i)
        form->AppendToConversation(u"line "_s + QString::number(i));
    QCoreApplication::processEvents();
    EXPECT_EQ(form->MemoContent()->document()->blockCount(), 10001);
    EXPECT_TRUE(WaitUntil([&] {
        return QFileInfo::exists(folder + u"chat.txt"_s) &&
               ReadTextFileLines(folder + u"chat.txt"_s).size() == 10001;
    }));
    EXPECT_FALSE(QFileInfo::exists(folder + u"chat_bak.txt"_s));

    form->ShowMessenger();
    form->HideMessenger();
    const QByteArray backup = ReadFileBytes(folder + u"chat_bak.txt"_s);
    EXPECT_EQ(DecodeText(backup).count(u"\r\n"_s), 10001);
    QFile::remove(folder + u"chat_bak.txt"_s);
    form->ShowMessenger();
    form->HideMessenger();
    EXPECT_FALSE(QFileInfo::exists(folder + u"chat_bak.txt"_s));
}

TEST_F(MessagerFormTest, FindsInTheConversationAndItsCopy)
{
    Build();
    form->show();
    form->Conversation().FindNextActionExecute(); // nothing searched yet: the dialog opens
    ASSERT_NE(form->FindDialog(), nullptr);
    EXPECT_TRUE(form->FindDialog()->isVisible());
    form->AppendToConversation(u"Hello there\r\nhello again"_s);
    form->MemoContent()->moveCursor(QTextCursor::Start); // appending left the caret at the end
    form->FindDialog()->SetFindText(u"HELLO"_s);
    emit form->FindDialog()->FindClicked();
    EXPECT_EQ(form->MemoContent()->textCursor().selectedText(), u"Hello"_s);
    form->Conversation().FindNextActionExecute();
    EXPECT_EQ(form->MemoContent()->textCursor().selectionStart(), 12);
    form->Conversation().FindNextActionExecute();
    EXPECT_EQ(messages, QStringList({u"找不到“HELLO”"_s}));
    form->PageControl()->setCurrentIndex(1);
    EXPECT_EQ(form->MemoChatContent()->toPlainText(), form->MemoContent()->toPlainText());
    form->FindDialog()->close();

    // Modify, edit, save: the edited text is the log.
    QAction* modify = form->Action(u"mnuModify"_s);
    modify->trigger();
    EXPECT_EQ(modify->text(), u"保存(&S)"_s);
    EXPECT_FALSE(form->MemoContent()->isReadOnly());
    form->MemoContent()->setPlainText(u"edited"_s);
    modify->trigger();
    EXPECT_EQ(modify->text(), u"修改(&M)"_s);
    EXPECT_TRUE(form->MemoContent()->isReadOnly());
    EXPECT_EQ(ReadTextFileLines(folder + u"chat.txt"_s), QStringList({u"edited"_s}));
}

TEST_F(MessagerFormTest, ShutdownSaysGoodbyeAndWritesItsFiles)
{
    Build();
    EXPECT_TRUE(grabber->isRegistered(TMessagerForm::HotKeyId));
    EXPECT_EQ(grabber->registered.value(TMessagerForm::HotKeyId),
              QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_D));
    grabber->press(TMessagerForm::HotKeyId);
    EXPECT_TRUE(form->isVisible());
    grabber->press(TMessagerForm::HotKeyId);
    EXPECT_FALSE(form->isVisible());
    // The close box hides and keeps the messenger online.
    form->show();
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(sent.isEmpty());

    form->Config().UserGroup = u"g=a_b"_s;
    form->AppendToConversation(u"bye"_s);
    form->ShutdownMessenger();
    EXPECT_FALSE(grabber->isRegistered(TMessagerForm::HotKeyId));
    ASSERT_FALSE(sent.isEmpty());
    EXPECT_EQ(sent.last().Kind(), mkOffline);
    EXPECT_EQ(ReadTextFileLines(folder + u"chat.txt"_s), QStringList({u"bye"_s}));
    TMessagerConfigMgr stored(folder + u"MSGConfig.ini"_s, folder, platform.systemInfo);
    stored.LoadSettings();
    EXPECT_EQ(stored.UserGroup, u"g=a_b"_s);
    // Placed at the top right of the work area, 580 × 590 with its frame.
    EXPECT_EQ(stored.WindowBounds.Right - stored.WindowBounds.Left, TMessagerForm::DefaultWidth);
    EXPECT_EQ(stored.WindowBounds.Bottom - stored.WindowBounds.Top, TMessagerForm::DefaultHeight);
    EXPECT_EQ(stored.WindowBounds.Top, QGuiApplication::primaryScreen()->availableGeometry().top() + 1);
}

TEST_F(MessagerFormTest, ControllerCreatesHidesActivatesAndCloses)
{
    QMainWindow window;
    TCommandTable commands(&window);
    TAppConfigMgr config(folder + u"Config.ini"_s);
    {
        TMessengerController controller(commands, config, Environment());
        controller.Start();
        ASSERT_NE(controller.Messenger(), nullptr);
        EXPECT_FALSE(controller.Messenger()->isVisible()); // HideOnStart
        EXPECT_FALSE(controller.Messenger()->Action(u"ActionExit"_s)->isVisible());
        EXPECT_EQ(sent.value(0).Kind(), mkOnline); // still announced
        EXPECT_TRUE(commands.action(Command::Messager)->isChecked());
        commands.action(Command::ShowMessager)->trigger();
        EXPECT_TRUE(controller.Messenger()->isVisible());
        commands.action(Command::HideOnStart)->trigger();
        EXPECT_FALSE(config.HideOnStart);
        controller.CloseMessenger();
        EXPECT_EQ(controller.Messenger(), nullptr);
        EXPECT_EQ(sent.last().Kind(), mkOffline);
        commands.action(Command::ShowMessager)->trigger(); // a fresh window
        ASSERT_NE(controller.Messenger(), nullptr);
        EXPECT_TRUE(controller.Messenger()->isVisible());
        controller.Messenger()->Config().UserName = u"Last"_s;
    }
    // Releasing the controller closes the messenger, which writes its settings.
    TMessagerConfigMgr stored(folder + u"MSGConfig.ini"_s, folder, platform.systemInfo);
    stored.LoadSettings();
    EXPECT_EQ(stored.UserName, u"Last"_s);
}

TEST_F(MessagerFormTest, HintsFollowTheOptionAndAnEmptyUserNameIsTaken)
{
    Build();
    struct TToolTipCounter : QObject
    {
        int Count = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            Count += event->type() == QEvent::ToolTip ? 1 : 0;
            return false;
        }
    } counter;
    QWidget* label = form->ComboBoxLabel();
    label->installEventFilter(&counter);
    auto hover = [label] {
        QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), label->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(label, &event);
    };
    hover();
    EXPECT_EQ(counter.Count, 1);
    EXPECT_EQ(form->HintFor(form->ComboBoxGroup()),
              u"请输入要查找的好友名字拼音首字母(声母)组合来快速定位,回车键会自动选中。"_s);
    ChooseMode(u"分组"_s);
    EXPECT_EQ(form->HintFor(form->ComboBoxGroup()),
              u"请选择好友分组实现多选，如果还没有则请选择好友后新建。"_s);
    // "动态提示(&H)" off: no hint anywhere while the messenger exists.
    form->Action(u"ActionShowHint"_s)->trigger();
    EXPECT_FALSE(form->Config().ShowHint);
    hover();
    EXPECT_EQ(counter.Count, 1);
    label->removeEventFilter(&counter);

    form->Action(u"ActionNotepad"_s)->trigger();
    form->Action(u"ActionCalendar"_s)->trigger();
    form->Action(u"ActionAddressBook"_s)->trigger();
    EXPECT_EQ(platform.shell.opened.value(0), u"notepad.exe"_s);
    // The companion programs are found beside the executable (or in an installed tree's share
    // folder), as from the note window, never in the data folder.
    EXPECT_TRUE(platform.shell.started.value(0).startsWith(CompanionPath(u"jotvane-calendar"_s) + u'|'));
    EXPECT_TRUE(platform.shell.started.value(1).startsWith(CompanionPath(AddressBookProgram()) + u'|'));

    inputAnswer = QString();
    form->Action(u"ActionUserName"_s)->trigger();
    EXPECT_EQ(prompts, QStringList({u"请输入尊姓大名:       "_s}));
    EXPECT_EQ(form->Config().UserName, QString());
}

namespace {

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QPushButton* Button(QWidget* form, const char* name)
{
    return form->findChild<QPushButton*>(QLatin1StringView(name));
}

} // namespace

// A folder is added, offered to a peer (which opens the server to that peer only) and then, as an
// offer taken in, saved through the window's own row: the tree arrives whole.
TEST_F(MessagerFormTest, OfferedFolderIsServedToItsPeerAndSavedFromTheRow)
{
    const QString source = folder + u"发送/资料"_s;
    Write(source + u"/说明.txt"_s, "top\r\n");
    Write(source + u"/子目录/数据.bin"_s, QByteArray(300000, 'x'));
    QDir().mkpath(source + u"/空"_s);
    form = std::make_unique<TMessagerForm>(SharingEnvironment());
    ASSERT_NE(form->FtpServer(), nullptr);
    ASSERT_NE(form->Downloads(), nullptr);
    EXPECT_EQ(form->FtpServer()->ShareRoot(), folder + u"SharePath/"_s);

    dialogs.pickFolder = [&](const QString& title, QString& path) {
        EXPECT_EQ(title, u"要添加的文件夹为："_s);
        path = source;
        return true;
    };
    Button(form.get(), "btnAddDir")->click();
    // A file dropped on the input box is added, not pasted as text.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(source + u"/说明.txt"_s)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->MemoInfo()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->MemoInfo()->viewport(), &drop);
    EXPECT_TRUE(form->MemoInfo()->toPlainText().isEmpty());
    EXPECT_EQ(form->ComboBoxAttachment()->count(), 2);
    EXPECT_EQ(form->ComboBoxAttachment()->itemText(0), u"Dir="_s + source);
    EXPECT_EQ(form->ComboBoxAttachment()->currentText(), u"File="_s + source + u"/说明.txt"_s);
    // "添加文件[&F]" takes several files at once, in the order chosen; the last one ends selected.
    dialogs.openFileNames = [&](const QString&, const QString&) {
        return QStringList{source + u"/子目录/数据.bin"_s, source + u"/说明.txt"_s};
    };
    Button(form.get(), "btnAddFile")->click();
    EXPECT_EQ(form->ComboBoxAttachment()->count(), 4);
    EXPECT_EQ(form->ComboBoxAttachment()->itemText(2), u"File="_s + source + u"/子目录/数据.bin"_s);
    EXPECT_EQ(form->ComboBoxAttachment()->currentIndex(), 3);

    // Nothing was offered yet: no peer may log in for the folder.
    const QHostAddress peer(QHostAddress::LocalHost);
    EXPECT_TRUE(form->FtpServer()->Access().OfferedIn(peer, folder + u"发送"_s).isEmpty());
    form->Peers().AddPeer(u"B"_s, u"127.0.0.1"_s, u"0000000000B0"_s, u"内网"_s);
    Check(u"B"_s);
    form->SendChatMessage();
    EXPECT_EQ(form->Attachments().PendingOfferCount(), 0);
    EXPECT_EQ(form->FtpServer()->Access().OfferedIn(peer, folder + u"发送"_s).size(), 1);
    EXPECT_EQ(form->FtpServer()->Access().OfferedIn(QHostAddress(u"127.0.0.2"_s), folder + u"发送"_s).size(),
              0);

    // The same items come back as a peer's offer: the row turns to receiving and saves them.
    form->Downloads()->Client().SetPort(form->FtpServer()->ControlPort());
    form->Downloads()->AcceptOffer(u"127.0.0.1"_s, {u"Dir="_s + source});
    EXPECT_FALSE(Button(form.get(), "btnAddFile")->isEnabled());
    EXPECT_TRUE(Button(form.get(), "btnSaveFileDir")->isEnabled());
    if (const QString shots = qEnvironmentVariable("JV_SCREENSHOTS"); !shots.isEmpty())
        form->grab().save(shots + u"/offer-row-receiving.png"_s);
    QDropEvent again(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->MemoInfo()->viewport(), &again); // ignored while receiving
    EXPECT_EQ(form->Attachments().PendingOfferCount(), 1);
    const QString target = folder + u"收到"_s;
    QDir().mkpath(target);
    dialogs.pickFolder = [&](const QString&, QString& path) {
        path = target;
        return true;
    };
    Button(form.get(), "btnSaveFileDir")->click();
    EXPECT_EQ(summaries, QStringList({target + u"/资料"_s}));
    EXPECT_EQ(Contents(target + u"/资料/说明.txt"_s), QByteArray("top\r\n"));
    EXPECT_EQ(Contents(target + u"/资料/子目录/数据.bin"_s), QByteArray(300000, 'x'));
    EXPECT_TRUE(QFileInfo(target + u"/资料/空"_s).isDir());
    EXPECT_TRUE(form->MemoContent()->toPlainText().contains(u"最近保存的文件(夹):"_s + target + u"/资料"_s));
    EXPECT_EQ(form->Attachments().PendingOfferCount(), 0);
    EXPECT_TRUE(Button(form.get(), "btnAddFile")->isEnabled());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();

    // "清空[&C]" while composing withdraws what was offered.
    Button(form.get(), "btnClearFileDir")->click();
    TFtpAccess::TMiss miss = TFtpAccess::TMiss::Unknown;
    EXPECT_TRUE(form->FtpServer()->Access().OfferedIn(peer, folder + u"发送"_s, &miss).isEmpty());
    EXPECT_EQ(miss, TFtpAccess::TMiss::Ended);
}

// The note window exits (from the tray) while a download runs inside the messenger: the download
// is cancelled and the window released only after the download's loop has unwound.
TEST_F(MessagerFormTest, ExitDuringADownloadCancelsItFirst)
{
    const QString source = folder + u"大"_s;
    Write(source + u"/big.bin"_s, QByteArray(40 * 1024 * 1024, 'b'));
    QMainWindow window;
    TCommandTable commands(&window);
    TAppConfigMgr config(folder + u"Config.ini"_s);
    config.HideOnStart = false;
    TMessengerController controller(commands, config, SharingEnvironment());
    ASSERT_TRUE(controller.CreateMessenger(false));
    TMessagerForm* messenger = controller.Messenger();
    messenger->FtpServer()->Access().Offer(QHostAddress(QHostAddress::LocalHost), source, true);
    messenger->Downloads()->Client().SetPort(messenger->FtpServer()->ControlPort());
    messenger->Downloads()->AcceptOffer(u"127.0.0.1"_s, {u"Dir="_s + source});
    const QString target = folder + u"to"_s;
    QDir().mkpath(target);
    dialogs.pickFolder = [&](const QString&, QString& path) {
        path = target;
        return true;
    };
    bool closedWhileBusy = false;
    QTimer::singleShot(0, &controller, [&] {
        closedWhileBusy = controller.Messenger() && controller.Messenger()->DownloadBusy();
        controller.CloseMessenger();
    });
    Button(messenger, "btnSaveFileDir")->click();
    EXPECT_TRUE(closedWhileBusy);
    EXPECT_TRUE(WaitUntil([&] { return controller.Messenger() == nullptr; }));
    EXPECT_NE(QFileInfo(target + u"/大/big.bin"_s).size(), 40 * 1024 * 1024);
}

TEST_F(MessagerFormTest, SameNamedPeersAreToldApartByAddressForRepliesAndGroups)
{
    Build();
    form->Config().MessageJump = false;
    form->Peers().AddPeer(u"乙"_s, u"10.0.0.3"_s, u"AAAAAAAAAAAA"_s, u"内网"_s);
    form->Peers().AddPeer(u"乙"_s, u"10.0.0.4"_s, u"BBBBBBBBBBBB"_s, u"内网"_s);
    form->Peers().AddPeer(u"丙"_s, u"10.0.0.5"_s, u"CCCCCCCCCCCC"_s, u"内网"_s);
    // The first 乙 writes: the reply goes to that address, not to the other 乙.
    Receive(mkText, u"乙"_s, u"(t) 乙 对 大家 说："_s, u"10.0.0.3"_s);
    QCoreApplication::processEvents();
    ASSERT_EQ(Checked(), QStringList{u"乙"_s});
    EXPECT_TRUE(form->Peers().IsChecked(form->Peers().FindPeerByIP(u"10.0.0.3"_s)));
    form->MemoInfo()->setPlainText(u"hello"_s);
    form->SendChatMessage();
    for (const TSentDatagram& d : sent)
        EXPECT_EQ(d.Host, u"10.0.0.3"_s);
    EXPECT_FALSE(sent.isEmpty());
    // The own line tells the shared name by its address.
    EXPECT_TRUE(form->MemoContent()->toPlainText().contains(u"你对 乙(10.0.0.3) 说："_s));

    // A group made of that row checks that row again, not the first 乙 by name.
    form->Peers().SelectAll(false);
    form->Peers().SetChecked(form->Peers().FindPeerByIP(u"10.0.0.4"_s), true);
    ChooseMode(u"分组"_s);
    inputAnswer = u"g"_s;
    form->Peers().NewGroup();
    EXPECT_EQ(form->Config().UserGroup, u"g=乙@BBBBBBBBBBBB"_s);
    form->Peers().SelectAll(false);
    form->Peers().ChooseGroup(0);
    EXPECT_TRUE(form->Peers().IsChecked(form->Peers().FindPeerByIP(u"10.0.0.4"_s)));
    EXPECT_FALSE(form->Peers().IsChecked(form->Peers().FindPeerByIP(u"10.0.0.3"_s)));

    // A row shown as a conflict or as offline says why.
    form->Peers().SetPeerState(0, TPeerState::Conflict);
    EXPECT_FALSE(form->ListViewUser()->topLevelItem(0)->toolTip(1).isEmpty());
    form->Peers().SetPeerState(0, TPeerState::Normal);
    EXPECT_TRUE(form->ListViewUser()->topLevelItem(0)->toolTip(1).isEmpty());
}

TEST_F(MessagerFormTest, NewRowsTakeTheirPlaceWithoutDisturbingTheRowTheUserIsOn)
{
    Build();
    form->Peers().AddPeer(u"m"_s, u"10.0.0.3"_s, u"000000000003"_s, u"内网"_s);
    QTreeWidgetItem* chosen = form->ListViewUser()->topLevelItem(0);
    form->ListViewUser()->setCurrentItem(chosen);
    for (int i = 0; i < 2000; ++i)
        form->Peers().AddPeer(u"p%1"_s.arg((i * 7919) % 2000), u"10.1.%1.%2"_s.arg(i / 200).arg(i % 200),
                              u"%1"_s.arg(i, 12, 10, QChar(u'0')), u"内网"_s);
    const QStringList names = Names();
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) { return a < b; });
    EXPECT_EQ(names, sorted);
    EXPECT_EQ(form->ListViewUser()->currentItem(), chosen);
}

TEST_F(MessagerFormTest, TakenPortsAreToldInTheWindowUntilTheyAreFree)
{
    portFree = false;
    Build();
    EXPECT_TRUE(form->StatusText().contains(u"3574"_s)) << form->StatusText().toStdString();
    EXPECT_FALSE(form->findChild<QLabel*>(u"LabelStatus"_s)->isHidden());
    portFree = true;
    EXPECT_TRUE(WaitUntil([&] { return form->StatusText().isEmpty(); }, 20000));
    EXPECT_TRUE(form->findChild<QLabel*>(u"LabelStatus"_s)->isHidden());
    EXPECT_FALSE(sent.isEmpty()); // the announcement, once the port was taken

    // The file server's port taken by another listener.
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost));
    TMessengerEnvironment env = SharingEnvironment();
    env.ftpControlPort = other.serverPort();
    form = std::make_unique<TMessagerForm>(env);
    EXPECT_TRUE(form->StatusText().contains(QString::number(other.serverPort())));
    other.close();
    EXPECT_TRUE(WaitUntil([&] { return form->StatusText().isEmpty(); }, 20000));
    EXPECT_EQ(form->FtpServer()->ControlPort(), env.ftpControlPort);
}

TEST_F(MessagerFormTest, ShiftEnterBreaksTheLineAndAFullDiskIsToldAndTheConversationKept)
{
    TMessengerEnvironment env = Environment();
    env.unsavedFolders = {folder + u"unsaved"_s};
    // A chat.txt that can be neither appended to nor replaced, as on a full disk.
    ASSERT_TRUE(QDir(folder).mkdir(u"chat.txt"_s));
    form = std::make_unique<TMessagerForm>(env);
    sent.clear();
    form->Config().MessageJump = false;
    form->Peers().AddPeer(u"B"_s, u"10.0.0.3"_s, u"0000000000B0"_s, u"内网"_s);
    form->Peers().SelectAll(true);
    form->MemoInfo()->setFocus();
    QTest::keyClicks(form->MemoInfo(), u"one"_s);
    QTest::keyClick(form->MemoInfo(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(form->MemoInfo(), u"two"_s);
    form->SendChatMessage();
    EXPECT_EQ(SentTexts().mid(1), (QStringList{u"10.0.0.3   one"_s, u"10.0.0.3 two\r\n"_s}));
    EXPECT_FALSE(form->MemoContent()->toPlainText().contains(QChar::LineSeparator));

    // chat.txt cannot be written: the window says so at once, and keeps the lines.
    Receive(mkText, u"B"_s, u"while the disk is full"_s, u"10.0.0.3"_s);
    EXPECT_TRUE(WaitUntil([&] { return form->StatusText().contains(u"chat.txt"_s); }, 10000))
        << form->StatusText().toStdString();
    form->ShutdownMessenger();
    const QStringList kept = QDir(folder + u"unsaved"_s).entryList(QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(kept[0].startsWith(u"chat "_s));
    EXPECT_TRUE(ReadTextFile(folder + u"unsaved/"_s + kept[0]).contains(u"while the disk is full"_s));
}

TEST_F(MessagerFormTest, TheRelaysRefusalIsShownAfterTheDatagramHandlingNotInsideIt)
{
    WriteBytes(folder + u"MSGConfig.ini"_s, "[Messager]\r\nServerAddress=198.51.100.1\r\n");
    Build();
    const TMessage refusal{mkRegisterReply, 0, {}, {}, {}, {}, {}};
    // From a LAN host the refusal means nothing; from the relay the box waits until the socket
    // handler has returned, and the texts behind it are handled meanwhile.
    socket->OnReceived(EncodeMessage(refusal), u"10.0.0.9"_s, RelayPort);
    socket->OnReceived(EncodeMessage(refusal), u"198.51.100.1"_s, RelayPort);
    socket->OnReceived(EncodeMessage({mkText, 0, u"B"_s, {}, {}, u"behind the refusal"_s, {}}), u"10.0.0.3"_s,
                       MessagerPort);
    EXPECT_TRUE(messages.isEmpty());
    // Received lines are drawn once per pass of the event loop.
    EXPECT_TRUE(WaitUntil([&] { return form->MemoContent()->toPlainText() == u"behind the refusal"_s; }))
        << form->MemoContent()->toPlainText().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return !messages.isEmpty(); }));
    EXPECT_EQ(messages, QStringList{u"网卡重复！"_s});
}

TEST_F(MessagerFormTest, PastItsLimitTheLogRollsItsOlderLinesIntoTheBackup)
{
    Build();
    form->Conversation().SetSizeLimit(8000);
    for (int i = 0; i < 300; ++i)
        Receive(mkText, u"B"_s, u"line %1 ......................"_s.arg(i, 3, 10, QChar(u'0')),
                u"10.0.0.3"_s);
    QCoreApplication::processEvents();
    // The view keeps the newer lines only; the older ones are in chat_bak.txt, none lost.
    const QStringList view = form->Conversation().Lines();
    EXPECT_LT(view.join(u'\n').size(), 4000);
    EXPECT_TRUE(view.last().startsWith(u"line 299"_s));
    EXPECT_TRUE(WaitUntil([&] { return QFileInfo::exists(folder + u"chat_bak.txt"_s); }));
    form->Conversation().StopAutoSave();
    const QStringList backup = ReadTextFileLines(folder + u"chat_bak.txt"_s);
    const QStringList log = ReadTextFileLines(folder + u"chat.txt"_s);
    EXPECT_EQ(log, view);
    EXPECT_EQ(backup.size() + log.size(), 300);
    EXPECT_TRUE(backup.first().startsWith(u"line 000"_s));
}
