#include "app/SingleInstance.h"
#include "app/Startup.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

// One copy holds the lock; a second is refused until the first lets go, and the file goes with
// the holder. A file left behind by a copy that crashed is no lock: its system lock ended with it.
TEST(InstanceLock, OneHolderAtATimeAndTheFileGoesWithIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u".Jotvane.lock"_s);
    {
        QFile left(path);
        ASSERT_TRUE(left.open(QIODevice::WriteOnly));
        left.write("4242\njotvane\nsome-host\n");
    }
    TInstanceLock first(path);
    TInstanceLock second(path);
    ASSERT_EQ(first.tryLock(), TInstanceLock::TResult::Locked);
    EXPECT_EQ(first.tryLock(), TInstanceLock::TResult::Locked); // taking it again changes nothing
    EXPECT_EQ(second.tryLock(), TInstanceLock::TResult::HeldByOther);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray::number(QCoreApplication::applicationPid()) + "\njotvane\n");
    file.close();

    first.unlock();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(second.tryLock(), TInstanceLock::TResult::Locked);
    EXPECT_TRUE(QFile::exists(path));
    second.unlock();
    second.unlock();

    TInstanceLock nowhere(dir.filePath(u"missing/.Jotvane.lock"_s));
    EXPECT_EQ(nowhere.tryLock(), TInstanceLock::TResult::CannotLock);
}

TEST(InstanceCommands, ReachTheRunningCopyWithTheirTokenAndNothingElseDoes)
{
    EXPECT_EQ(RemoteCommand({u"jotvane"_s, u"--toggle"_s}), u"toggle"_s);
    EXPECT_EQ(RemoteCommand({u"jotvane"_s, u"--hide"_s, u"--show"_s}), u"hide"_s);
    EXPECT_EQ(RemoteCommand({u"jotvane"_s, u"/min"_s, u"--toggle"_s}), QString())
        << "only the first argument";
    EXPECT_TRUE(RemoteCommandStartsCopy(u"toggle"_s));
    EXPECT_FALSE(RemoteCommandStartsCopy(u"hide"_s));

    QTemporaryDir dir;
    const QString name = dir.filePath(u"instance.sock"_s);
    EXPECT_FALSE(SendInstanceCommand(name, u"toggle"_s, {}, 200)) << "no running copy";

    TInstanceServer server;
    ASSERT_TRUE(server.listen(name));
    QList<QStringList> received;
    QObject::connect(&server, &TInstanceServer::commandReceived,
                     [&](const QString& command, const QString& token) {
                         received << QStringList{command, token};
                     });
    // The sender waits for the answer while this thread's loop serves the socket.
    auto send = [&](const QString& command, const QString& token) {
        std::atomic<int> result{-1};
        std::thread sender([&] { result = SendInstanceCommand(name, command, token, 3000) ? 1 : 0; });
        EXPECT_TRUE(WaitFor([&] { return result >= 0; }));
        sender.join();
        return result == 1;
    };
    EXPECT_TRUE(send(u"toggle"_s, u"sway-token-1"_s));
    EXPECT_TRUE(send(u"hide"_s, {}));
    EXPECT_TRUE(send(u"show"_s, u"a token with blanks"_s)) << "an unusable token is left behind";
    EXPECT_FALSE(send(u"quit"_s, {})) << "an unknown request is refused";
    EXPECT_EQ(received,
              (QList<QStringList>{{u"toggle"_s, u"sway-token-1"_s}, {u"hide"_s, {}}, {u"show"_s, {}}}));
}
