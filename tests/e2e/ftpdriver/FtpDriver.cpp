// A headless stand-in for the messenger's file hand-over, for the e2e suite and the benchmark.
//   jv_ftpdriver serve <port> <data port> <share folder> [offer <peer> <path> file|dir]...
//     serves until stdin closes (at most --seconds, 600 by default); prints "ready <port>", then
//     "wire<TAB><item>" for each offer as the messenger would send it.
//   jv_ftpdriver get <host> <port> <offered path> file|dir <local target>
//     saves one offer as the messenger's save command does: a file into <local target>, a folder
//     into a new folder of <local target>, whose path it prints. Exit code 0 on success, 1 with the
//     error on stderr.
#include "messenger/ftp/FtpClient.h"
#include "messenger/ftp/FtpNames.h"
#include "messenger/ftp/FtpServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
int Serve(const QStringList& args)
{
    if (args.size() < 3)
        return 2;
    TFtpServer server;
    int seconds = 600;
    QStringList wire;
    for (qsizetype i = 3; i < args.size(); ++i) {
        if (args[i] == u"offer" && i + 3 < args.size()) {
            const bool folder = args[i + 3] == u"dir";
            server.Access().Offer(QHostAddress(args[i + 1]), args[i + 2], folder);
            wire << (folder ? u"Dir="_s : u"File="_s) + WirePath(args[i + 2]);
            i += 3;
        } else if (args[i] == u"--seconds" && i + 1 < args.size()) {
            seconds = args[++i].toInt();
        }
    }
    try {
        server.SetSharePath(args[2]);
    } catch (const EJotvaneError& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    if (!server.Start(quint16(args[0].toUInt()), quint16(args[1].toUInt()))) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    std::printf("ready %u\n", unsigned(server.ControlPort()));
    for (const QString& item : std::as_const(wire))
        std::printf("wire\t%s\n", item.toUtf8().constData());
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    QTimer::singleShot(seconds * 1000, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

int Get(const QStringList& args)
{
    if (args.size() < 5)
        return 2;
    const QString offered = args[2];
    TFtpClient client;
    client.SetHost(args[0]);
    client.SetPort(quint16(args[1].toUInt()));
    client.SetUser(u"ParentDir"_s);
    client.SetPassword(HexText(FolderPart(offered)));
    try {
        client.Connect();
        QString saved = args[4];
        if (args[3] == u"dir")
            saved = client.DownloadFolder(NamePart(offered), args[4]);
        else
            client.Retrieve(HexText(NamePart(offered)), args[4]);
        std::printf("%s\n", saved.toUtf8().constData());
        client.Disconnect();
    } catch (const EJotvaneError& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return 2;
    const QString mode = args.takeFirst();
    if (mode == u"serve")
        return Serve(args);
    if (mode == u"get")
        return Get(args);
    return 2;
}
