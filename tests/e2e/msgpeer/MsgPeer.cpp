// A headless messenger peer for the LAN suites: the real protocol and UDP socket, with the peer
// list, conversation and offers in memory. Commands arrive on stdin, one a line:
//   list | check <card> | say <card> <text> | refresh | keepalive | stats | quit
// and events leave on stdout, one a line: READY, ADD, UPDATE, DEL, STATE, NOTICE, LINE, FROM,
// MSGBOX, REGISTERED, PEERS/PEER/END, SENT, BLOCKED. --tick sets the keep-alive period in ms;
// with --wait-port a taken port is waited for (BLOCKED, then READY) instead of ending. Tabs separate fields;
// CR and LF inside texts are written \r, \n.
#include "MessengerFakes.h"
#include "core/Clock.h"
#include "messenger/DatagramSocket.h"
#include "messenger/MessagerConfigMgr.h"
#include "messenger/MessagerProtocol.h"
#include "platform/linux/HostSystemInfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

void Emit(const QString& line)
{
    QString escaped = line;
    escaped.replace(u'\r', u"\\r"_s).replace(u'\n', u"\\n"_s);
    std::fputs((escaped + u'\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QString Row(const TPeerRow& row)
{
    return row.Name + u'\t' + row.Address + u'\t' + row.Card + u'\t' + row.Type;
}

// The in-memory list, telling every change.
class TReportingPeerList final : public IPeerList
{
public:
    int PeerCount() const override { return List.PeerCount(); }
    TPeerInfo PeerAt(int row) const override { return List.PeerAt(row); }
    int FindPeerByIP(const QString& address) const override { return List.FindPeerByIP(address); }
    int FindPeerByCard(const QString& card) const override { return List.FindPeerByCard(card); }
    void AddPeer(const QString& name, const QString& address, const QString& card,
                 const QString& type) override
    {
        List.AddPeer(name, address, card, type);
        Emit(u"ADD\t"_s + Row(List.Rows.last()));
    }
    void UpdatePeer(int row, const QString& name, const QString& address, const QString& card,
                    const QString& type) override
    {
        List.UpdatePeer(row, name, address, card, type);
        Emit(u"UPDATE\t"_s + Row(List.Rows.at(row)));
    }
    void DeletePeer(int row) override
    {
        Emit(u"DEL\t"_s + Row(List.Rows.at(row)));
        List.DeletePeer(row);
    }
    void ClearPeers() override { List.ClearPeers(); }
    void SetPeerState(int row, TPeerState state) override
    {
        if (List.States.value(row) == state)
            return;
        List.SetPeerState(row, state);
        static const char* const names[] = {"normal", "conflict", "offline"};
        Emit(u"STATE\t"_s + QLatin1String(names[int(state)]) + u'\t' + Row(List.Rows.at(row)));
    }
    void ShowOnlineNotice(const QString& name) override { Emit(u"NOTICE\tonline\t"_s + name); }
    void ShowOfflineNotice(const QString& name) override { Emit(u"NOTICE\toffline\t"_s + name); }

    TMemoryPeerList List;
};

class TReportingConversation final : public IConversation
{
public:
    void AppendToConversation(const QString& text) override { Emit(u"LINE\t"_s + text); }
    void AttendIncoming(const QString& name, const QString& senderAddress) override
    {
        Emit(u"FROM\t"_s + name + u'\t' + senderAddress);
    }
};

// Counts what leaves, for the benchmark's total.
class TCountingSocket final : public IDatagramSocket
{
public:
    bool Open(quint16 port) override
    {
        m_inner.OnReceived = [this](const QByteArray& bytes, const QString& sender, quint16 senderPort) {
            if (OnReceived)
                OnReceived(bytes, sender, senderPort);
        };
        return m_inner.Open(port);
    }
    void Close() override { m_inner.Close(); }
    bool IsOpen() const override { return m_inner.IsOpen(); }
    bool Send(const QString& host, quint16 port, const QByteArray& bytes) override
    {
        ++Count;
        return m_inner.Send(host, port, bytes);
    }
    QString LocalIPv4() const override { return m_inner.LocalIPv4(); }

    int Count = 0;

private:
    TUdpDatagramSocket m_inner;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption dirOption(u"dir"_s, u"Folder of MSGConfig.ini."_s, u"folder"_s);
    const QCommandLineOption nameOption(u"name"_s, u"User name."_s, u"name"_s);
    const QCommandLineOption serverOption(u"server"_s, u"Relay server address."_s, u"address"_s);
    const QCommandLineOption noSelfOption(u"no-self"_s, u"Do not list the own computer."_s);
    const QCommandLineOption tickOption(u"tick"_s, u"Keep-alive period in ms."_s, u"ms"_s);
    const QCommandLineOption waitPortOption(u"wait-port"_s, u"Wait for a taken port."_s);
    parser.addOptions({dirOption, nameOption, serverOption, noSelfOption, tickOption, waitPortOption});
    parser.process(app);

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return 1;
    struct sigaction action = {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);

    HostSystemInfo system;
    const QString dir = parser.value(dirOption);
    TMessagerConfigMgr config(dir + u"/MSGConfig.ini"_s, dir, system);
    if (parser.isSet(nameOption))
        config.UserName = parser.value(nameOption);
    config.ServerAddress = parser.value(serverOption);
    config.ChatSeft = !parser.isSet(noSelfOption);

    TSystemClock clock;
    TCountingSocket socket;
    TReportingPeerList peers;
    TReportingConversation conversation;
    TMemoryOffers offers;
    TMessagerProtocol protocol(config, system, clock, socket, peers, conversation, offers);
    QObject::connect(&protocol, &TMessagerProtocol::MessageBoxRequested, &app,
                     [](const QString& text) { Emit(u"MSGBOX\t"_s + text); });
    QObject::connect(&protocol, &TMessagerProtocol::RegistrationAccepted, &app,
                     [] { Emit(u"REGISTERED"_s); });

    auto finish = [&] {
        protocol.Shutdown();
        Emit(u"BYE"_s);
        QCoreApplication::quit();
    };
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, finish);

    auto command = [&](const QString& line) {
        const QString verb = line.section(u' ', 0, 0);
        const QString card = line.section(u' ', 1, 1);
        const int row = peers.List.FindPeerByCard(card);
        if (verb == u"list"_s) {
            Emit(u"PEERS"_s);
            for (const TPeerRow& r : std::as_const(peers.List.Rows))
                Emit(u"PEER\t"_s + Row(r));
            Emit(u"END"_s);
        } else if (verb == u"check"_s && row >= 0) {
            // What checking an extranet row in the window does.
            const TPeerRow& r = peers.List.Rows.at(row);
            TPeerEndpoint endpoint;
            if (r.Type == TMessagerProtocol::ExtranetPeerType && SplitEndpoint(r.Address, endpoint)) {
                protocol.SendConnectRequest(r.Card, true);
                protocol.SendPunch(endpoint);
            }
        } else if (verb == u"say"_s && row >= 0) {
            const TPeerRow& r = peers.List.Rows.at(row);
            const QString text = line.section(u' ', 2);
            TPeerEndpoint endpoint;
            if (r.Type == TMessagerProtocol::ExtranetPeerType && SplitEndpoint(r.Address, endpoint))
                protocol.SendText(endpoint.Address, text, quint16(endpoint.Port));
            else
                protocol.SendText(r.Address, text);
        } else if (verb == u"refresh"_s) {
            protocol.Refresh();
        } else if (verb == u"keepalive"_s) {
            // What the minute timer does, without waiting a minute.
            protocol.KeepAlive();
        } else if (verb == u"stats"_s) {
            Emit(u"SENT\t"_s + QString::number(socket.Count));
        } else if (verb == u"quit"_s) {
            finish();
        }
    };

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            finish();
            return;
        }
        pending.append(buffer, got);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            command(line);
        }
    });

    if (parser.isSet(tickOption))
        protocol.SetKeepAliveInterval(parser.value(tickOption).toInt());
    auto ready = [&] { Emit(u"READY\t"_s + protocol.LocalIP() + u'\t' + protocol.GetNetworkCardAddress()); };
    QObject::connect(&protocol, &TMessagerProtocol::PortBlocked, &app, [&](quint16 port, bool blocked) {
        if (blocked)
            Emit(u"BLOCKED\t"_s + QString::number(port));
        else
            ready();
    });
    if (!protocol.Start()) {
        if (!parser.isSet(waitPortOption)) {
            Emit(u"BINDFAIL"_s);
            return 1;
        }
    } else {
        ready();
    }
    return app.exec();
}
