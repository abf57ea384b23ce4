#include "relay/RelayServer.h"
#include "core/DelimitedText.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct TOut
{
    TPeerEndpoint To;
    TMessage Message;
};

class RelayServerTest : public ::testing::Test
{
protected:
    RelayServerTest()
        : relay(
              8, [this](const TPeerEndpoint& to, const QByteArray& d) { Record(to, d); },
              [this](const QString& line) { log.append(line); })
    {
    }
    void Record(const TPeerEndpoint& to, const QByteArray& datagram)
    {
        const std::optional<TMessage> decoded = DecodeMessage(datagram);
        ASSERT_TRUE(decoded);
        out.append({to, *decoded});
    }
    void Send(const TMessage& message, const TPeerEndpoint& from)
    {
        relay.HandleDatagram(EncodeMessage(message), from, now);
    }
    void Register(const QString& name, const QString& card, const TPeerEndpoint& from)
    {
        Send({mkOnline, 0, name, card, {}, {}, {}}, from);
    }
    void KeepAlive(const QString& card, const TPeerEndpoint& from)
    {
        Send({mkQuery, 0, {}, card, {}, {}, {}}, from);
    }
    QList<TOut> Take() { return std::exchange(out, {}); }

    TRelayServer relay;
    QList<TOut> out;
    QStringList log;
    qint64 now = 1000;
    const TPeerEndpoint a{u"192.0.2.11"_s, 3574};
    const TPeerEndpoint b{u"192.0.2.12"_s, 3574};
    const TPeerEndpoint c{u"192.0.2.12"_s, 1025};
};

} // namespace

TEST_F(RelayServerTest, RegistersRefusesDuplicateCardsAndForgets)
{
    Register(u"Ann"_s, u"AAAAAAAAAAAA"_s, a);
    Register(u"Bob"_s, u"BBBBBBBBBBBB"_s, b);
    // The same card from another endpoint is refused; from the same endpoint it renews.
    Register(u"Eve"_s, u"AAAAAAAAAAAA"_s, c);
    Register(u"Ann2"_s, u"AAAAAAAAAAAA"_s, a);
    const QList<TOut> replies = Take();
    ASSERT_EQ(replies.size(), 4);
    EXPECT_EQ(replies[0].To, a);
    EXPECT_EQ(replies[0].Message.Kind, mkRegisterReply);
    EXPECT_EQ(replies[0].Message.Flag, 1);
    EXPECT_EQ(replies[2].To, c);
    EXPECT_EQ(replies[2].Message.Flag, 0);
    EXPECT_EQ(replies[3].Message.Flag, 1);
    EXPECT_EQ(relay.ClientCount(), 2);
    EXPECT_TRUE(log.filter(u"refuse AAAAAAAAAAAA from 192.0.2.12:1025"_s).size() == 1)
        << log.join(u'\n').toStdString();

    // Ann keeps herself alive by queries; Bob stays silent and is forgotten after 180 s.
    now += 120000;
    Send({mkQuery, 0, {}, u"AAAAAAAAAAAA"_s, {}, {}, {}}, a);
    now += 61000;
    EXPECT_EQ(relay.ExpireClients(now), 1);
    EXPECT_TRUE(relay.IsRegistered(u"AAAAAAAAAAAA"_s));
    EXPECT_FALSE(relay.IsRegistered(u"BBBBBBBBBBBB"_s));
    // A query from another endpoint keeps nobody alive; an offline from another endpoint is ignored.
    Send({mkOffline, 0, {}, u"AAAAAAAAAAAA"_s, {}, {}, {}}, c);
    EXPECT_TRUE(relay.IsRegistered(u"AAAAAAAAAAAA"_s));
    // Once silent, the card may register from elsewhere.
    now += 181000;
    Register(u"Eve"_s, u"AAAAAAAAAAAA"_s, c);
    ASSERT_EQ(out.size(), 1);
    EXPECT_EQ(out[0].Message.Flag, 1);
    Send({mkOffline, 0, {}, u"AAAAAAAAAAAA"_s, {}, {}, {}}, c);
    EXPECT_EQ(relay.ClientCount(), 0);
    EXPECT_TRUE(Take().size() == 1);
}

TEST_F(RelayServerTest, ListsAndConnectsOnlyRegisteredClients)
{
    Register(u"Ann"_s, u"AAAAAAAAAAAA"_s, a);
    Register(u"Bob"_s, u"BBBBBBBBBBBB"_s, b);
    KeepAlive(u"AAAAAAAAAAAA"_s, a);
    KeepAlive(u"BBBBBBBBBBBB"_s, b);
    Take();
    // An endpoint that never registered gets nothing, however it asks.
    Send({mkListRequest, 0, {}, {}, {}, {}, {}}, c);
    Send({mkConnectRequest, 0, {}, u"AAAAAAAAAAAA"_s, u"BBBBBBBBBBBB"_s, {}, {}}, c);
    EXPECT_TRUE(out.isEmpty());

    Send({mkListRequest, 0, {}, {}, {}, {}, {}}, b);
    QList<TOut> sent = Take();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].To, b);
    EXPECT_EQ(sent[0].Message.Kind, mkPeerList);
    EXPECT_EQ(sent[0].Message.Text, u"AAAAAAAAAAAA|BBBBBBBBBBBB"_s);

    // A new pairing introduces both sides and asks the target to punch.
    Send({mkConnectRequest, 0, {}, u"BBBBBBBBBBBB"_s, u"AAAAAAAAAAAA"_s, {}, {}}, b);
    sent = Take();
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[0].To, b);
    EXPECT_EQ(sent[0].Message, (TMessage{mkExtranetPeer, 1, u"Ann"_s, u"AAAAAAAAAAAA"_s, {}, {}, a}));
    EXPECT_EQ(sent[1].To, a);
    EXPECT_EQ(sent[1].Message, (TMessage{mkExtranetPeer, 1, u"Bob"_s, u"BBBBBBBBBBBB"_s, {}, {}, b}));
    EXPECT_EQ(sent[2].To, a);
    EXPECT_EQ(sent[2].Message, (TMessage{mkPunchRequest, 0, {}, {}, {}, {}, b}));

    // A peer the user checked is already known on both sides: only the punch request.
    Send({mkConnectRequest, 1, {}, u"BBBBBBBBBBBB"_s, u"AAAAAAAAAAAA"_s, {}, {}}, b);
    sent = Take();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].Message.Kind, mkPunchRequest);
    // Unknown targets, oneself, and a forged own card are ignored.
    Send({mkConnectRequest, 0, {}, u"BBBBBBBBBBBB"_s, u"CCCCCCCCCCCC"_s, {}, {}}, b);
    Send({mkConnectRequest, 0, {}, u"BBBBBBBBBBBB"_s, u"BBBBBBBBBBBB"_s, {}, {}}, b);
    Send({mkConnectRequest, 0, {}, u"AAAAAAAAAAAA"_s, u"BBBBBBBBBBBB"_s, {}, {}}, b);
    EXPECT_TRUE(out.isEmpty());
}

TEST_F(RelayServerTest, LongListsAreSplitAndTheTableIsBounded)
{
    TRelayServer big(200, [this](const TPeerEndpoint& to, const QByteArray& d) { Record(to, d); }, {});
    QStringList cards;
    for (int i = 0; i < 200; ++i) {
        const QString card = u"%1"_s.arg(i, 12, 10, QChar(u'0'));
        cards.append(card);
        const TPeerEndpoint from{u"198.51.100.%1"_s.arg(i % 250), 2000 + i};
        big.HandleDatagram(EncodeMessage({mkOnline, 0, u"n"_s, card, {}, {}, {}}), from, now);
        big.HandleDatagram(EncodeMessage({mkQuery, 0, {}, card, {}, {}, {}}), from, now);
    }
    EXPECT_EQ(big.ClientCount(), 200);
    // A flood of made-up cards once the table is full is neither stored nor answered.
    Take();
    for (int i = 0; i < 1000; ++i)
        big.HandleDatagram(EncodeMessage({mkOnline, 0, u"x"_s, u"F%1"_s.arg(i), {}, {}, {}}),
                           {u"203.0.113.9"_s, 1000 + i}, now);
    EXPECT_EQ(big.ClientCount(), 200);
    EXPECT_TRUE(Take().isEmpty());

    big.HandleDatagram(EncodeMessage({mkListRequest, 0, {}, {}, {}, {}, {}}), {u"198.51.100.0"_s, 2000}, now);
    const QList<TOut> lists = Take();
    ASSERT_EQ(lists.size(), 3); // 78 cards of 12 digits fit one field
    QStringList received;
    for (const TOut& list : lists) {
        EXPECT_LE(list.Message.Text.size(), 1023);
        received += SplitDelimited(list.Message.Text, QChar(u'|'));
    }
    EXPECT_EQ(received, cards);

    // Silent clients make room again.
    now += 200000;
    big.HandleDatagram(EncodeMessage({mkOnline, 0, u"x"_s, u"NEWCARD"_s, {}, {}, {}}), {u"203.0.113.9"_s, 9},
                       now);
    EXPECT_EQ(big.ClientCount(), 1);
}

namespace {

// What one destination address received, against what was sent in its name.
struct TTally
{
    qint64 Sent = 0;
    qint64 Received = 0;
};

} // namespace

TEST_F(RelayServerTest, ForgedSourcesCannotTurnTheRelayIntoAReflector)
{
    TRelayLimits limits;
    limits.MaxClients = 64;
    limits.MaxClientsPerAddress = 4;
    limits.BudgetBytes = 3 * 2053;
    limits.BudgetBytesPerSecond = 200;
    limits.LogLinesPerWindow = 3;
    const TPeerEndpoint victim{u"203.0.113.50"_s, 3574};
    TTally tally;
    QStringList lines;
    TRelayServer limited(
        limits,
        [&](const TPeerEndpoint& to, const QByteArray& d) {
            if (to.Address == victim.Address)
                tally.Received += d.size();
        },
        [&](const QString& line) { lines.append(line); });
    const auto forge = [&](const TMessage& message, const TPeerEndpoint& from) {
        const QByteArray bytes = EncodeMessage(message);
        tally.Sent += bytes.size();
        limited.HandleDatagram(bytes, from, now);
    };
    // Real clients, so that lists have something to say.
    for (int i = 0; i < 40; ++i) {
        const TPeerEndpoint from{u"198.51.100.%1"_s.arg(i), 3574};
        const QString card = u"%1"_s.arg(i, 12, 10, QChar(u'0'));
        limited.HandleDatagram(EncodeMessage({mkOnline, 0, u"n"_s, card, {}, {}, {}}), from, now);
        limited.HandleDatagram(EncodeMessage({mkQuery, 0, {}, card, {}, {}, {}}), from, now);
    }

    // One forged registration and ten list requests: only the short answer reaches the victim.
    forge({mkOnline, 0, u"x"_s, u"FORGED000000"_s, {}, {}, {}}, victim);
    for (int i = 0; i < 10; ++i)
        forge({mkListRequest, 0, {}, {}, {}, {}, {}}, victim);
    EXPECT_EQ(tally.Received, 6);
    EXPECT_LE(tally.Received, tally.Sent);

    // Registrations from every port of one address hold only a few places (and are told so).
    for (int port = 1000; port < 1100; ++port)
        forge({mkOnline, 0, u"x"_s, u"F%1"_s.arg(port), {}, {}, {}}, {victim.Address, port});
    EXPECT_EQ(limited.ClientCount(), 40 + 4);

    // A forged keep-alive lets the waiting list go, once; then a list in ten seconds at most,
    // and never more than the address's budget, however hard the forger works for an hour.
    forge({mkQuery, 0, {}, u"FORGED000000"_s, {}, {}, {}}, victim);
    EXPECT_EQ(tally.Received, 6 + 3 * 6 + 2053);
    for (int second = 0; second < 3600; ++second) {
        now += 1000;
        for (int port = 1000; port < 1003; ++port) {
            forge({mkQuery, 0, {}, u"F%1"_s.arg(port), {}, {}, {}}, {victim.Address, port});
            for (int i = 0; i < 20; ++i)
                forge({mkListRequest, 0, {}, {}, {}, {}, {}}, {victim.Address, port});
        }
        limited.Tick(now);
    }
    const qint64 bound = limits.BudgetBytes + limits.BudgetBytesPerSecond * 3601 + 1000;
    EXPECT_LE(tally.Received, bound);
    EXPECT_LT(tally.Received, tally.Sent);
    // The flood of refusals and waits left a few lines a window and the count of the rest.
    EXPECT_LT(lines.size(), 3 * 8 * 400);
    EXPECT_FALSE(lines.filter(u"\"wait\" line(s) left out"_s).isEmpty()) << lines.join(u'\n').toStdString();
    EXPECT_FALSE(lines.filter(u"clients from this address"_s).isEmpty());
}

TEST_F(RelayServerTest, KeepAlivesTakeForgottenClientsBackButNeverACardHeldElsewhere)
{
    Register(u"Ann"_s, u"AAAAAAAAAAAA"_s, a);
    KeepAlive(u"AAAAAAAAAAAA"_s, a);
    Take();

    // The router gave Ann a new port: while the old endpoint may still be alive, the new one's
    // keep-alives, goodbyes and registrations take nothing from it, and keep-alives get no answer.
    const TPeerEndpoint moved{a.Address, 40001};
    now += 60000;
    KeepAlive(u"AAAAAAAAAAAA"_s, moved);
    Send({mkOffline, 0, {}, u"AAAAAAAAAAAA"_s, {}, {}, {}}, moved);
    EXPECT_TRUE(Take().isEmpty());
    EXPECT_TRUE(relay.IsRegistered(u"AAAAAAAAAAAA"_s));
    Register(u"Eve"_s, u"AAAAAAAAAAAA"_s, moved);
    QList<TOut> sent = Take();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].Message, (TMessage{mkRegisterReply, 0, {}, {}, {}, {}, {}}));

    // Once the old endpoint was silent past its time-out, the next keep-alive takes Ann back
    // under her name, and the relay says so with an accepting answer.
    now += 125000;
    KeepAlive(u"AAAAAAAAAAAA"_s, moved);
    sent = Take();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].To, moved);
    EXPECT_EQ(sent[0].Message, (TMessage{mkRegisterReply, 1, {}, {}, {}, {}, {}}));
    EXPECT_EQ(relay.ClientCount(), 1);
    EXPECT_TRUE(log.filter(u"register AAAAAAAAAAAA \"Ann\" at 192.0.2.11:40001 (keep-alive)"_s).size() == 1)
        << log.join(u'\n').toStdString();

    // A relay that restarted knows nobody: a keep-alive registers the client without a name,
    // and until it says its name others are introduced to it by its card.
    TRelayServer restarted(8, [this](const TPeerEndpoint& to, const QByteArray& d) { Record(to, d); }, {});
    restarted.HandleDatagram(EncodeMessage({mkQuery, 0, {}, u"AAAAAAAAAAAA"_s, {}, {}, {}}), a, now);
    restarted.HandleDatagram(EncodeMessage({mkQuery, 0, {}, u"BBBBBBBBBBBB"_s, {}, {}, {}}), b, now);
    EXPECT_EQ(restarted.ClientCount(), 2);
    restarted.HandleDatagram(EncodeMessage({mkOnline, 0, u"Bob"_s, u"BBBBBBBBBBBB"_s, {}, {}, {}}), b, now);
    // Keep-alives after the registration show both receive; the list then goes at once.
    restarted.HandleDatagram(EncodeMessage({mkQuery, 0, {}, u"AAAAAAAAAAAA"_s, {}, {}, {}}), a, now);
    restarted.HandleDatagram(EncodeMessage({mkQuery, 0, {}, u"BBBBBBBBBBBB"_s, {}, {}, {}}), b, now);
    Take();
    restarted.HandleDatagram(
        EncodeMessage({mkConnectRequest, 0, {}, u"BBBBBBBBBBBB"_s, u"AAAAAAAAAAAA"_s, {}, {}}), b, now);
    sent = Take();
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[0].Message.Name, u"AAAAAAAAAAAA"_s);
    EXPECT_EQ(sent[1].Message.Name, u"Bob"_s);
}

TEST_F(RelayServerTest, ListsWaitForAKeepAliveAndComeOncePerInterval)
{
    Register(u"Ann"_s, u"AAAAAAAAAAAA"_s, a);
    Register(u"Bob"_s, u"BBBBBBBBBBBB"_s, b);
    KeepAlive(u"BBBBBBBBBBBB"_s, b);
    Take();
    // Ann asked before showing she receives: her list waits for her keep-alive, and does not
    // name her until then either.
    Send({mkListRequest, 0, {}, {}, {}, {}, {}}, a);
    relay.Tick(now);
    EXPECT_TRUE(Take().isEmpty());
    Send({mkListRequest, 0, {}, {}, {}, {}, {}}, b);
    QList<TOut> sent = Take();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].Message.Text, u"BBBBBBBBBBBB"_s);
    KeepAlive(u"AAAAAAAAAAAA"_s, a);
    sent = Take();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].To, a);
    EXPECT_EQ(sent[0].Message.Text, u"AAAAAAAAAAAA|BBBBBBBBBBBB"_s);

    // Asked again at once: the answer comes when ten seconds have passed, only once.
    Send({mkListRequest, 0, {}, {}, {}, {}, {}}, a);
    Send({mkListRequest, 0, {}, {}, {}, {}, {}}, a);
    now += 9000;
    relay.Tick(now);
    EXPECT_TRUE(Take().isEmpty());
    now += 1000;
    relay.Tick(now);
    relay.Tick(now + 20000);
    EXPECT_EQ(Take().size(), 1);
}
