#include "MessengerFakes.h"
#include "core/Clock.h"
#include "core/DelimitedText.h"
#include "messenger/MessagerConfigMgr.h"
#include "messenger/MessagerProtocol.h"

#include <gtest/gtest.h>

#include "TestClock.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kBroadcast = u"255.255.255.255"_s;
const QString kRelay = u"192.0.2.1"_s;

// One copy of the messenger with everything around it in memory.
struct TCopy
{
    explicit TCopy(const QString& dir, const QString& name, const QString& card, const QString& ip)
    {
        system.Name = name;
        system.Card = card;
        socket.LocalAddress = ip;
        config = std::make_unique<TMessagerConfigMgr>(dir + u"/"_s + name + u".ini"_s, dir, system);
        protocol =
            std::make_unique<TMessagerProtocol>(*config, system, clock, socket, peers, conversation, offers);
    }

    TMessage Presence(TMessageKind kind, bool notify) const
    {
        return {kind, quint8(notify ? 1 : 0), config->UserName, system.Card, {}, {}, {}};
    }
    void Receive(const TMessage& message, const QString& from, quint16 port = MessagerPort)
    {
        protocol->OnDatagram(EncodeMessage(message), from, port);
    }
    void FromRelay(const TMessage& message) { Receive(message, kRelay, RelayPort); }
    QList<TSentDatagram> TakeSent() { return std::exchange(socket.Sent, {}); }
    // What was sent since the last call, one line each: "host:port kind flag" and the
    // decoded texts that are set, e.g. "255.255.255.255:3574 0 1 Me 0A0B0C0D0E0F".
    QStringList Sent()
    {
        QStringList lines;
        for (const TSentDatagram& d : TakeSent()) {
            const TMessage m = d.Decoded();
            QStringList parts{d.Host + u':' + QString::number(d.Port), QString::number(d.Kind()),
                              QString::number(m.Flag)};
            for (const QString& text : {m.Name, m.Card, m.TargetCard, m.Text})
                if (!text.isEmpty())
                    parts.append(text);
            lines.append(parts.join(u' '));
        }
        return lines;
    }

    TFixedSystemInfo system;
    TTestClock clock{QDateTime(QDate(2026, 12, 9), QTime(8, 5, 3))};
    TRecordingSocket socket;
    TMemoryPeerList peers;
    TMemoryConversation conversation;
    TMemoryOffers offers;
    std::unique_ptr<TMessagerConfigMgr> config;
    std::unique_ptr<TMessagerProtocol> protocol;
};

class MessagerProtocolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        me = std::make_unique<TCopy>(dir.path(), u"Me"_s, u"0A0B0C0D0E0F"_s, u"10.0.0.2"_s);
    }
    TMessage Online(const QString& name, const QString& card, bool notify) const
    {
        return {mkOnline, quint8(notify ? 1 : 0), name, card, {}, {}, {}};
    }

    QTemporaryDir dir;
    std::unique_ptr<TCopy> me;
};

} // namespace

TEST_F(MessagerProtocolTest, StartAnnouncesRegistersAndShutdownSaysGoodbyeInOrder)
{
    me->config->ServerAddress = kRelay;
    ASSERT_TRUE(me->protocol->Start());
    EXPECT_EQ(me->socket.OpenPort, 3574);
    EXPECT_EQ(me->protocol->LocalIP(), u"10.0.0.2"_s);
    EXPECT_EQ(me->Sent(), (QStringList{u"255.255.255.255:3574 0 1 Me 0A0B0C0D0E0F"_s,
                                       u"192.0.2.1:5432 0 0 Me 0A0B0C0D0E0F"_s}));

    // The relay accepts: registered; a keep-alive shows the relay that this copy receives, and
    // the list is asked for at once.
    int accepted = 0;
    QObject::connect(me->protocol.get(), &TMessagerProtocol::RegistrationAccepted, [&] { ++accepted; });
    me->FromRelay({mkRegisterReply, 1, {}, {}, {}, {}, {}});
    EXPECT_TRUE(me->protocol->Registered());
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(me->Sent(), (QStringList{u"192.0.2.1:5432 3 0 0A0B0C0D0E0F"_s, u"192.0.2.1:5432 4 0"_s}));

    me->protocol->KeepAlive();
    EXPECT_EQ(me->Sent(), QStringList{u"192.0.2.1:5432 3 0 0A0B0C0D0E0F"_s});

    me->protocol->Shutdown();
    EXPECT_EQ(me->Sent(), (QStringList{u"255.255.255.255:3574 2 1 Me 0A0B0C0D0E0F"_s,
                                       u"192.0.2.1:5432 2 0 Me 0A0B0C0D0E0F"_s}));
    EXPECT_FALSE(me->socket.IsOpen());
    EXPECT_FALSE(me->socket.OnReceived);
}

TEST_F(MessagerProtocolTest, RegistrationRepliesCountOnlyFromAConfiguredRelay)
{
    me->socket.CanOpen = false;
    EXPECT_FALSE(me->protocol->Start());
    EXPECT_TRUE(me->Sent().isEmpty());
    me->socket.CanOpen = true;
    ASSERT_TRUE(me->protocol->Start());
    me->TakeSent();

    QStringList boxes;
    QObject::connect(me->protocol.get(), &TMessagerProtocol::MessageBoxRequested,
                     [&](const QString& text) { boxes.append(text); });
    // No relay set: stray relay answers neither register, complain, list nor punch; the
    // keep-alive is quiet.
    me->Receive({mkRegisterReply, 1, {}, {}, {}, {}, {}}, u"10.0.0.9"_s);
    me->Receive({mkRegisterReply, 0, {}, {}, {}, {}, {}}, u"10.0.0.9"_s);
    me->Receive({mkPeerList, 0, {}, {}, {}, u"DDDDDDDDDDDD"_s, {}}, u"10.0.0.9"_s);
    me->Receive({mkExtranetPeer, 1, u"Dan"_s, u"DDDDDDDDDDDD"_s, {}, {}, {u"192.0.2.12"_s, 40000}},
                u"10.0.0.9"_s);
    me->Receive({mkPunchRequest, 0, {}, {}, {}, {}, {u"192.0.2.13"_s, 3574}}, u"10.0.0.9"_s);
    EXPECT_TRUE(me->peers.Rows.isEmpty());
    me->protocol->KeepAlive();
    EXPECT_FALSE(me->protocol->Registered());
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_TRUE(me->Sent().isEmpty());

    // With a relay set, its kinds count only from its address and port: a LAN host, or the
    // relay's address from another port, makes no box, row, request or punch.
    me->config->ServerAddress = kRelay;
    me->protocol->Refresh();
    me->TakeSent();
    for (const auto& [host, port] : {std::pair{u"10.0.0.9"_s, RelayPort}, std::pair{kRelay, MessagerPort}}) {
        me->Receive({mkRegisterReply, 0, {}, {}, {}, {}, {}}, host, port);
        me->Receive({mkRegisterReply, 1, {}, {}, {}, {}, {}}, host, port);
        me->Receive({mkPeerList, 0, {}, {}, {}, u"DDDDDDDDDDDD"_s, {}}, host, port);
        me->Receive({mkExtranetPeer, 1, u"Dan"_s, u"DDDDDDDDDDDD"_s, {}, {}, {u"192.0.2.12"_s, 40000}}, host,
                    port);
        me->Receive({mkPunchRequest, 0, {}, {}, {}, {}, {u"192.0.2.13"_s, 3574}}, host, port);
    }
    EXPECT_TRUE(me->peers.Rows.isEmpty());
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_FALSE(me->protocol->Registered());
    EXPECT_TRUE(me->Sent().isEmpty());

    // The relay's refusal of the registration asked for shows the duplicate card once, however
    // many refusals follow; keep-alives then only ask, and refresh registers again.
    me->FromRelay({mkRegisterReply, 0, {}, {}, {}, {}, {}});
    me->FromRelay({mkRegisterReply, 0, {}, {}, {}, {}, {}});
    EXPECT_EQ(boxes, QStringList{u"网卡重复！"_s});
    EXPECT_FALSE(me->protocol->Registered());
    me->protocol->KeepAlive();
    EXPECT_EQ(me->Sent(), QStringList{u"192.0.2.1:5432 3 0 0A0B0C0D0E0F"_s});
    me->peers.AddPeer(u"x"_s, u"10.0.0.5"_s, u"1"_s, u"内网"_s);
    me->protocol->Refresh();
    EXPECT_TRUE(me->peers.Rows.isEmpty());
    EXPECT_EQ(me->Sent(), (QStringList{u"255.255.255.255:3574 3 0 0A0B0C0D0E0F"_s,
                                       u"192.0.2.1:5432 0 0 Me 0A0B0C0D0E0F"_s}));
}

TEST_F(MessagerProtocolTest, ACopyTheRelayForgotRegistersAgain)
{
    me->config->ServerAddress = kRelay;
    ASSERT_TRUE(me->protocol->Start());
    int accepted = 0;
    QObject::connect(me->protocol.get(), &TMessagerProtocol::RegistrationAccepted, [&] { ++accepted; });
    // The relay was down at the start: each keep-alive registers again until it answers.
    me->TakeSent();
    me->protocol->KeepAlive();
    EXPECT_EQ(me->Sent(), QStringList{u"192.0.2.1:5432 0 0 Me 0A0B0C0D0E0F"_s});
    me->FromRelay({mkRegisterReply, 1, {}, {}, {}, {}, {}});
    EXPECT_EQ(accepted, 1);
    me->TakeSent();
    me->protocol->KeepAlive();
    EXPECT_EQ(me->Sent(), QStringList{u"192.0.2.1:5432 3 0 0A0B0C0D0E0F"_s});

    // The relay restarted (or lost this copy, or met it at a new port) and took it back from
    // its keep-alive, which carries no name: the copy registers in full, then lists again.
    me->FromRelay({mkRegisterReply, 1, {}, {}, {}, {}, {}});
    EXPECT_EQ(me->Sent(), QStringList{u"192.0.2.1:5432 0 0 Me 0A0B0C0D0E0F"_s});
    EXPECT_EQ(accepted, 1);
    me->FromRelay({mkRegisterReply, 1, {}, {}, {}, {}, {}});
    EXPECT_EQ(accepted, 2);
    EXPECT_EQ(me->Sent(), (QStringList{u"192.0.2.1:5432 3 0 0A0B0C0D0E0F"_s, u"192.0.2.1:5432 4 0"_s}));
}

TEST_F(MessagerProtocolTest, RelayHostNamesAreLookedUpWithoutWaiting)
{
    // A name server that answers only when the test says so. Its state outlives the test, as
    // the lookup thread may.
    struct TNameServer
    {
        std::mutex Mutex;
        std::condition_variable Answered;
        QString Answer;
        bool Given = false;
        std::atomic<int> Lookups = 0;
    };
    const auto dns = std::make_shared<TNameServer>();
    me->protocol->SetRelayLookup([dns](const QString& host) {
        ++dns->Lookups;
        std::unique_lock lock(dns->Mutex);
        dns->Answered.wait(lock, [&] { return dns->Given; });
        return host == u"relay.example"_s ? dns->Answer : QString();
    });
    me->config->ServerAddress = u"relay.example"_s;
    ASSERT_TRUE(me->protocol->Start());
    // The start is over while the lookup runs; the registration waits for the address, and
    // nothing counts as the relay's meanwhile.
    EXPECT_EQ(me->Sent(), QStringList{u"255.255.255.255:3574 0 1 Me 0A0B0C0D0E0F"_s});
    me->Receive({mkPeerList, 0, {}, {}, {}, u"DDDDDDDDDDDD"_s, {}}, kRelay, RelayPort);
    me->protocol->KeepAlive();
    EXPECT_TRUE(me->Sent().isEmpty());
    ASSERT_TRUE(WaitFor([&] { return dns->Lookups == 1; }));

    {
        const std::lock_guard lock(dns->Mutex);
        dns->Answer = kRelay;
        dns->Given = true;
    }
    dns->Answered.notify_all();
    ASSERT_TRUE(WaitFor([&] { return !me->socket.Sent.isEmpty(); }));
    // The kept registrations leave in order; the answer is kept for later sends.
    EXPECT_EQ(me->Sent(), (QStringList{u"192.0.2.1:5432 0 0 Me 0A0B0C0D0E0F"_s,
                                       u"192.0.2.1:5432 0 0 Me 0A0B0C0D0E0F"_s}));
    me->FromRelay({mkRegisterReply, 1, {}, {}, {}, {}, {}});
    EXPECT_TRUE(me->protocol->Registered());
    me->protocol->KeepAlive();
    EXPECT_EQ(me->Sent().last(), u"192.0.2.1:5432 3 0 0A0B0C0D0E0F"_s);
    EXPECT_EQ(dns->Lookups, 1);
}

TEST_F(MessagerProtocolTest, OwnAnnouncementCountsOnlyWithChatSeft)
{
    ASSERT_TRUE(me->protocol->Start());
    me->TakeSent();
    me->config->ChatSeft = false;
    me->Receive(me->Presence(mkOnline, true), u"10.0.0.2"_s);
    EXPECT_TRUE(me->peers.Rows.isEmpty());
    EXPECT_TRUE(me->peers.Notices.isEmpty());
    // A query is answered even from the own address.
    me->Receive({mkQuery, 0, {}, u"0A0B0C0D0E0F"_s, {}, {}, {}}, u"10.0.0.2"_s);
    EXPECT_EQ(me->Sent(), QStringList{u"10.0.0.2:3574 0 0 Me 0A0B0C0D0E0F"_s});

    me->config->ChatSeft = true;
    me->Receive(me->Presence(mkOnline, true), u"10.0.0.2"_s);
    ASSERT_EQ(me->peers.Rows.size(), 1);
    EXPECT_EQ(me->peers.Rows[0], (TPeerRow{u"Me"_s, u"10.0.0.2"_s, u"0A0B0C0D0E0F"_s, u"内网"_s}));
    EXPECT_EQ(me->peers.Notices, QStringList{u"online Me"_s});

    // Quiet when MessagePrompt is off.
    me->config->MessagePrompt = false;
    me->Receive(Online(u"Q"_s, u"111111111111"_s, true), u"10.0.0.7"_s);
    EXPECT_EQ(me->peers.Notices.size(), 1);
    EXPECT_EQ(me->peers.Rows.size(), 2);
}

TEST_F(MessagerProtocolTest, KnownPeerIsUpdatedWithoutAnswerAndACardMovesOnlyWhenItsOldAddressIsSilent)
{
    ASSERT_TRUE(me->protocol->Start());
    me->Receive(Online(u"Ann"_s, u"AAAAAAAAAAAA"_s, false), u"10.0.0.3"_s);
    me->Receive(Online(u"Bob"_s, u"BBBBBBBBBBBB"_s, false), u"10.0.0.4"_s);
    me->TakeSent();

    // Same address with a new name and card: updated at once, no answer.
    me->Receive(Online(u"Annie"_s, u"CCCCCCCCCCCC"_s, true), u"10.0.0.3"_s);
    EXPECT_EQ(me->peers.Rows[0], (TPeerRow{u"Annie"_s, u"10.0.0.3"_s, u"CCCCCCCCCCCC"_s, u"内网"_s}));
    EXPECT_TRUE(me->Sent().isEmpty());

    // Bob's card from a stranger's address: the row stays, Bob's address is asked first.
    me->Receive(Online(u"Bob"_s, u"BBBBBBBBBBBB"_s, true), u"10.0.0.9"_s);
    EXPECT_EQ(me->Sent(), QStringList{u"10.0.0.4:3574 3 0 0A0B0C0D0E0F"_s});
    ASSERT_EQ(me->peers.Rows.size(), 2);
    EXPECT_EQ(me->peers.Rows[1].Address, u"10.0.0.4"_s);
    // Bob answers: both rows are shown, marked as a conflict.
    me->Receive(Online(u"Bob"_s, u"BBBBBBBBBBBB"_s, false), u"10.0.0.4"_s);
    ASSERT_EQ(me->peers.Rows.size(), 3);
    EXPECT_EQ(me->peers.Rows[2], (TPeerRow{u"Bob"_s, u"10.0.0.9"_s, u"BBBBBBBBBBBB"_s, u"内网"_s}));
    EXPECT_EQ(me->peers.States,
              (QList<TPeerState>{TPeerState::Normal, TPeerState::Conflict, TPeerState::Conflict}));
    // The deadline passing later changes nothing more.
    me->clock.AdvanceMs(TMessagerProtocol::MoveCheckMs);
    me->protocol->CheckMovedCards();
    EXPECT_EQ(me->peers.Rows.size(), 3);

    // Offline counts only from the row's own address: the stranger cannot remove Bob.
    me->Receive({mkOffline, 1, u"Zed"_s, u"ZZZZZZZZZZZZ"_s, {}, {}, {}}, u"10.0.0.8"_s);
    me->Receive({mkOffline, 1, u"Bob"_s, u"BBBBBBBBBBBB"_s, {}, {}, {}}, u"10.0.0.8"_s);
    EXPECT_EQ(me->peers.Rows.size(), 3);
    me->Receive({mkOffline, 1, u"Bob"_s, u"BBBBBBBBBBBB"_s, {}, {}, {}}, u"10.0.0.9"_s);
    ASSERT_EQ(me->peers.Rows.size(), 2);
    EXPECT_EQ(me->peers.Rows[1].Address, u"10.0.0.4"_s);
    EXPECT_EQ(me->peers.Notices, (QStringList{u"online Bob"_s, u"offline Bob"_s}));

    // Ann's card from a new address while her old one stays silent: the row moves after the wait.
    me->TakeSent();
    me->Receive(Online(u"Annie"_s, u"CCCCCCCCCCCC"_s, false), u"10.0.0.5"_s);
    EXPECT_EQ(me->Sent(), QStringList{u"10.0.0.3:3574 3 0 0A0B0C0D0E0F"_s});
    me->protocol->CheckMovedCards();
    EXPECT_EQ(me->peers.Rows[0].Address, u"10.0.0.3"_s);
    me->clock.AdvanceMs(TMessagerProtocol::MoveCheckMs);
    me->protocol->CheckMovedCards();
    ASSERT_EQ(me->peers.Rows.size(), 2);
    EXPECT_EQ(me->peers.Rows[0], (TPeerRow{u"Annie"_s, u"10.0.0.5"_s, u"CCCCCCCCCCCC"_s, u"内网"_s}));
}

TEST_F(MessagerProtocolTest, ListedPeersAreAskedEveryTickAndSilentOnesGreyThenGo)
{
    ASSERT_TRUE(me->protocol->Start());
    me->Receive(Online(u"Ann"_s, u"AAAAAAAAAAAA"_s, false), u"10.0.0.3"_s);
    me->Receive(Online(u"Bob"_s, u"BBBBBBBBBBBB"_s, false), u"10.0.0.4"_s);
    me->TakeSent();
    for (int tick = 1; tick <= TMessagerProtocol::MissedTicksOffline; ++tick) {
        me->protocol->KeepAlive();
        EXPECT_EQ(me->Sent(),
                  (QStringList{u"10.0.0.3:3574 3 0 0A0B0C0D0E0F"_s, u"10.0.0.4:3574 3 0 0A0B0C0D0E0F"_s}));
        // Ann answers as a peer of the design does: a quiet presence. Bob is silent.
        me->Receive(Online(u"Ann"_s, u"AAAAAAAAAAAA"_s, false), u"10.0.0.3"_s);
    }
    // Three ticks without an answer: Bob is greyed with the offline notice.
    EXPECT_EQ(me->peers.States, (QList<TPeerState>{TPeerState::Normal, TPeerState::Offline}));
    EXPECT_EQ(me->peers.Notices, QStringList{u"offline Bob"_s});
    // An answer brings him back; three more silent ticks grey him again, the next removes him.
    me->Receive(Online(u"Bob"_s, u"BBBBBBBBBBBB"_s, false), u"10.0.0.4"_s);
    EXPECT_EQ(me->peers.States[1], TPeerState::Normal);
    for (int tick = 0; tick <= TMessagerProtocol::MissedTicksOffline; ++tick) {
        me->protocol->KeepAlive();
        me->Receive(Online(u"Ann"_s, u"AAAAAAAAAAAA"_s, false), u"10.0.0.3"_s);
    }
    ASSERT_EQ(me->peers.Rows.size(), 1);
    EXPECT_EQ(me->peers.Rows[0].Name, u"Ann"_s);
    EXPECT_EQ(me->peers.Notices.size(), 2);
    // A known card under a new name is renamed at once.
    me->Receive(Online(u"Anna"_s, u"AAAAAAAAAAAA"_s, false), u"10.0.0.3"_s);
    EXPECT_EQ(me->peers.Rows[0].Name, u"Anna"_s);
}

TEST_F(MessagerProtocolTest, RefreshesAddNoSecondRowAndAFloodOfNewAddressesIsBounded)
{
    TCopy b(dir.path(), u"Bee"_s, u"BBBBBBBBBBBB"_s, u"10.0.0.3"_s);
    me->config->ChatSeft = false;
    b.config->ChatSeft = false;
    ASSERT_TRUE(b.protocol->Start());
    ASSERT_TRUE(me->protocol->Start());
    b.TakeSent();
    auto exchange = [&] {
        for (int round = 0; round < 10; ++round) {
            const QList<TSentDatagram> fromA = me->TakeSent(), fromB = b.TakeSent();
            if (fromA.isEmpty() && fromB.isEmpty())
                return;
            for (const TSentDatagram& d : fromA)
                if (d.Host == kBroadcast || d.Host == u"10.0.0.3"_s)
                    b.protocol->OnDatagram(d.Bytes, u"10.0.0.2"_s);
            for (const TSentDatagram& d : fromB)
                if (d.Host == kBroadcast || d.Host == u"10.0.0.2"_s)
                    me->protocol->OnDatagram(d.Bytes, u"10.0.0.3"_s);
        }
    };
    exchange();
    me->protocol->Refresh();
    exchange();
    me->protocol->Refresh();
    exchange();
    EXPECT_EQ(me->peers.Rows, (QList<TPeerRow>{{u"Bee"_s, u"10.0.0.3"_s, u"BBBBBBBBBBBB"_s, u"内网"_s}}));
    EXPECT_EQ(b.peers.Rows, (QList<TPeerRow>{{u"Me"_s, u"10.0.0.2"_s, u"0A0B0C0D0E0F"_s, u"内网"_s}}));
    EXPECT_EQ(b.peers.Notices, QStringList{u"online Me"_s});

    // Presences from 1,000 addresses never heard before within one second bring only the
    // bounded number of rows; the next second lets more in, and known addresses always count.
    for (int i = 0; i < 1000; ++i)
        me->Receive(Online(u"x"_s, u"%1"_s.arg(i, 12, 10, QChar(u'0')), true),
                    u"10.1.%1.%2"_s.arg(i / 250).arg(i % 250 + 1));
    // (B's address was the first new one of this second.)
    EXPECT_EQ(me->peers.Rows.size(), TMessagerProtocol::NewAddressesPerSecond);
    me->Receive(Online(u"Bee again"_s, u"BBBBBBBBBBBB"_s, false), u"10.0.0.3"_s);
    EXPECT_EQ(me->peers.Rows[0].Name, u"Bee again"_s);
    me->clock.AdvanceMs(1000);
    me->Receive(Online(u"late"_s, u"DDDDDDDDDDDD"_s, false), u"10.2.0.1"_s);
    EXPECT_EQ(me->peers.Rows.size(), 1 + TMessagerProtocol::NewAddressesPerSecond);
}

TEST_F(MessagerProtocolTest, TakenPortIsToldAndTakenOnceFree)
{
    me->socket.CanOpen = false;
    QList<bool> blocked;
    QObject::connect(me->protocol.get(), &TMessagerProtocol::PortBlocked, [&](quint16 port, bool on) {
        EXPECT_EQ(port, 3574);
        blocked.append(on);
    });
    EXPECT_FALSE(me->protocol->Start());
    EXPECT_EQ(blocked, QList<bool>{true});
    EXPECT_TRUE(me->Sent().isEmpty());
    me->socket.CanOpen = true;
    QElapsedTimer waited;
    waited.start();
    while (blocked.size() < 2 && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(blocked, (QList<bool>{true, false}));
    EXPECT_EQ(me->Sent(), QStringList{u"255.255.255.255:3574 0 1 Me 0A0B0C0D0E0F"_s});
}

TEST_F(MessagerProtocolTest, AnnouncementExchangeEndsAfterOneAnswer)
{
    TCopy b(dir.path(), u"Bee"_s, u"BBBBBBBBBBBB"_s, u"10.0.0.3"_s);
    me->config->ChatSeft = false;
    b.config->ChatSeft = false;
    ASSERT_TRUE(b.protocol->Start());
    ASSERT_TRUE(me->protocol->Start());
    b.TakeSent(); // B was there first; its announcement found nobody

    // Deliver every datagram to the other copy until nothing more is sent.
    int delivered = 0;
    QList<TSentDatagram> fromA = me->TakeSent(), fromB;
    while ((!fromA.isEmpty() || !fromB.isEmpty()) && delivered < 20) {
        for (const TSentDatagram& d : std::as_const(fromA))
            b.protocol->OnDatagram(d.Bytes, u"10.0.0.2"_s);
        for (const TSentDatagram& d : std::as_const(fromB))
            me->protocol->OnDatagram(d.Bytes, u"10.0.0.3"_s);
        delivered += int(fromA.size() + fromB.size());
        fromA = me->TakeSent();
        fromB = b.TakeSent();
    }
    // A's broadcast, B's quiet answer, A's quiet answer; B already knew A. Only B raised a notice.
    EXPECT_EQ(delivered, 3);
    EXPECT_EQ(me->peers.Rows, (QList<TPeerRow>{{u"Bee"_s, u"10.0.0.3"_s, u"BBBBBBBBBBBB"_s, u"内网"_s}}));
    EXPECT_EQ(b.peers.Rows, (QList<TPeerRow>{{u"Me"_s, u"10.0.0.2"_s, u"0A0B0C0D0E0F"_s, u"内网"_s}}));
    EXPECT_TRUE(me->peers.Notices.isEmpty());
    EXPECT_EQ(b.peers.Notices, QStringList{u"online Me"_s});
}

TEST_F(MessagerProtocolTest, PeerListAndExtranetPeersPairThroughTheRelay)
{
    me->config->ServerAddress = kRelay;
    ASSERT_TRUE(me->protocol->Start());
    me->Receive(Online(u"Ann"_s, u"AAAAAAAAAAAA"_s, false), u"10.0.0.3"_s);
    me->TakeSent();

    // The own card and a card already listed get no connect request.
    me->FromRelay({mkPeerList, 0, {}, {}, {}, u"AAAAAAAAAAAA|0A0B0C0D0E0F|DDDDDDDDDDDD||EEEEEEEEEEEE"_s, {}});
    EXPECT_EQ(me->Sent(), (QStringList{u"192.0.2.1:5432 6 0 0A0B0C0D0E0F DDDDDDDDDDDD"_s,
                                       u"192.0.2.1:5432 6 0 0A0B0C0D0E0F EEEEEEEEEEEE"_s}));

    // Two introductions of one peer make two rows, each followed by a punch.
    const TMessage peer{mkExtranetPeer, 1, u"Dan"_s, u"DDDDDDDDDDDD"_s, {}, {}, {u"192.0.2.12"_s, 40000}};
    me->FromRelay(peer);
    me->FromRelay(peer);
    const TPeerRow dan{u"Dan"_s, u"192.0.2.12:40000"_s, u"DDDDDDDDDDDD"_s, u"外网"_s};
    EXPECT_EQ(me->peers.Rows.mid(1), (QList<TPeerRow>{dan, dan}));
    EXPECT_EQ(me->peers.Notices, (QStringList{u"online Dan"_s, u"online Dan"_s}));
    me->FromRelay({mkPunchRequest, 0, {}, {}, {}, {}, {u"192.0.2.13"_s, 3574}});
    EXPECT_EQ(me->Sent(),
              (QStringList{u"192.0.2.12:40000 9 0"_s, u"192.0.2.12:40000 9 0"_s, u"192.0.2.13:3574 9 0"_s}));

    // Kinds a client only sends are ignored on receipt.
    me->Receive({mkListRequest, 0, {}, {}, {}, {}, {}}, u"10.0.0.3"_s);
    me->Receive({mkConnectRequest, 0, {}, u"AAAAAAAAAAAA"_s, u"0A0B0C0D0E0F"_s, {}, {}}, u"10.0.0.3"_s);
    me->Receive({mkPunch, 0, {}, {}, {}, {}, {}}, u"10.0.0.3"_s);
    EXPECT_TRUE(me->Sent().isEmpty());
    EXPECT_EQ(me->peers.Rows.size(), 3);
}

TEST_F(MessagerProtocolTest, TextsAndOffersReachTheConversationAndBusyOffersAreAnswered)
{
    ASSERT_TRUE(me->protocol->Start());
    me->TakeSent();
    me->Receive({mkText, 0, u"Ann"_s, {}, {}, u"<b>hi</b>"_s, {}}, u"10.0.0.3"_s);
    EXPECT_EQ(me->conversation.Lines, QStringList{u"<b>hi</b>"_s});
    EXPECT_EQ(me->conversation.Attended, QStringList{u"Ann"_s});

    me->Receive({mkFileOffer, 0, u"Ann"_s, {}, {}, u"a=/s/a.txt|\"b c=/s/b c\""_s, {}}, u"10.0.0.3"_s);
    EXPECT_EQ(me->offers.Host, u"10.0.0.3"_s);
    EXPECT_EQ(me->offers.Items, (QStringList{u"a=/s/a.txt"_s, u"b c=/s/b c"_s}));
    EXPECT_EQ(me->conversation.Attended, (QStringList{u"Ann"_s, u"Ann"_s}));
    EXPECT_TRUE(me->Sent().isEmpty());

    // A second offer while the first waits: the sender hears we are busy, nothing else changes.
    me->Receive({mkFileOffer, 0, u"Bob"_s, {}, {}, u"x=/s/x"_s, {}}, u"10.0.0.4"_s);
    EXPECT_EQ(me->offers.Host, u"10.0.0.3"_s);
    EXPECT_EQ(me->offers.Items.size(), 2);
    EXPECT_EQ(me->conversation.Attended.size(), 2);
    EXPECT_EQ(
        me->Sent(),
        QStringList{
            u"10.0.0.4:3574 10 0 Me (2026-12-09 08:05:03) Me 对你说：我正在处理附件，请稍后重发您的附件！"_s});
    EXPECT_EQ(me->conversation.Lines.last(),
              u"(2026-12-09 08:05:03) 你对 Bob 说：我正在处理附件，请稍后重发您的附件！"_s);
}

TEST_F(MessagerProtocolTest, LongTextsAndNamesAreNotLost)
{
    ASSERT_TRUE(me->protocol->Start());
    me->TakeSent();
    me->config->UserName = u"一二三四五六七八九十一二三四五六七八九十廿"_s; // 21 units
    QString text;
    for (int i = 0; i < 2500; ++i)
        text += QChar(u'a' + i % 26);
    me->protocol->SendText(u"10.0.0.3"_s, text);
    ASSERT_EQ(me->socket.Sent.size(), 3);
    QString joined;
    for (const TSentDatagram& d : me->TakeSent()) {
        EXPECT_EQ(d.Decoded().Name, u"一二三四五六七八九十一二三四五六七八九十"_s);
        joined += d.Decoded().Text;
    }
    EXPECT_EQ(joined, text);

    // Offers never cut an item: whole items that do not fit are left out.
    QStringList items;
    for (int i = 0; i < 30; ++i)
        items.append(u"f%1=/share/"_s.arg(i) + QString(40, QChar(u'x')));
    EXPECT_FALSE(me->protocol->SendFileOffer(u"10.0.0.3"_s, items));
    ASSERT_EQ(me->socket.Sent.size(), 1);
    const QStringList received = SplitDelimited(me->socket.Sent[0].Decoded().Text, QChar(u'|'));
    ASSERT_FALSE(received.isEmpty());
    EXPECT_EQ(received, items.mid(0, received.size()));
    EXPECT_TRUE(me->protocol->SendFileOffer(u"10.0.0.3"_s, items.mid(0, 3)));
}
