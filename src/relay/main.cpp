// jotvane-relay: pairs messenger copies that cannot see each other's broadcasts.
#include "relay/RelayServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QSocketNotifier>
#include <QTimer>
#include <QUdpSocket>

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

void LogLine(const QString& line)
{
    const QString stamped = QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + u' ' + line + u'\n';
    std::fputs(stamped.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"jotvane-relay"_s);
    QCoreApplication::setApplicationVersion(u"1.0"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Relay server of the Jotvane messenger: registers messenger copies by their network-card "
        "address and introduces them to each other across address translators."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(u"port"_s, u"UDP port to listen on (default 5432)."_s, u"port"_s,
                                        QString::number(RelayPort));
    const QCommandLineOption bindOption(u"bind"_s, u"IPv4 address to listen on (default all)."_s,
                                        u"address"_s, u"0.0.0.0"_s);
    const QCommandLineOption maxOption(u"max-clients"_s, u"Most clients held at once (default 1024)."_s,
                                       u"count"_s, QString::number(TRelayServer::DefaultMaxClients));
    const QCommandLineOption perAddressOption(
        u"max-per-address"_s, u"Most clients held for one source address (default 16)."_s, u"count"_s,
        QString::number(TRelayLimits{}.MaxClientsPerAddress));
    parser.addOption(portOption);
    parser.addOption(bindOption);
    parser.addOption(maxOption);
    parser.addOption(perAddressOption);
    parser.process(app);

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    bool maxOk = false;
    const int maxClients = parser.value(maxOption).toInt(&maxOk);
    bool perAddressOk = false;
    const int perAddress = parser.value(perAddressOption).toInt(&perAddressOk);
    const QHostAddress bindAddress(parser.value(bindOption));
    if (!portOk || port == 0 || port > 65535 || !maxOk || maxClients < 1 || !perAddressOk || perAddress < 1 ||
        bindAddress.protocol() != QAbstractSocket::IPv4Protocol) {
        // The relay is a program of its own, without the note program's logging category: its
        // complaints name it, and go to standard error as written, whatever a QT_LOGGING_RULES
        // meant for the note program says.
        std::fputs("jotvane-relay: invalid --port, --bind, --max-clients or --max-per-address (see --help)\n",
                   stderr);
        return 2;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        std::perror("jotvane-relay: socketpair");
        return 1;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
        LogLine(u"stopping"_s);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    QUdpSocket socket;
    if (!socket.bind(bindAddress, quint16(port), QAbstractSocket::DontShareAddress)) {
        std::fprintf(stderr, "jotvane-relay: cannot listen on %s:%u: %s\n",
                     qPrintable(bindAddress.toString()), port, qPrintable(socket.errorString()));
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    TRelayLimits limits;
    limits.MaxClients = maxClients;
    limits.MaxClientsPerAddress = perAddress;
    TRelayServer server(
        limits,
        [&socket](const TPeerEndpoint& to, const QByteArray& datagram) {
            socket.writeDatagram(datagram, QHostAddress(to.Address), quint16(to.Port));
        },
        LogLine);

    QObject::connect(&socket, &QUdpSocket::readyRead, &app, [&] {
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket.receiveDatagram(MaxDatagramSize + 1);
            bool isV4 = false;
            const quint32 v4 = datagram.senderAddress().toIPv4Address(&isV4);
            if (!datagram.isValid() || !isV4)
                continue;
            const TPeerEndpoint from{QHostAddress(v4).toString(), datagram.senderPort()};
            server.HandleDatagram(datagram.data(), from, clock.elapsed());
        }
    });

    QTimer sweep;
    // Lists that had to wait go out within a second of their time.
    sweep.setInterval(1000);
    QObject::connect(&sweep, &QTimer::timeout, &app, [&] { server.Tick(clock.elapsed()); });
    sweep.start();

    LogLine(u"listening on "_s + bindAddress.toString() + u':' + QString::number(port) + u", at most "_s +
            QString::number(maxClients) + u" clients, "_s + QString::number(perAddress) + u" per address"_s);
    const int result = app.exec();
    LogLine(u"stopped with "_s + QString::number(server.ClientCount()) + u" client(s) registered"_s);
    return result;
}
