#include "app/SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

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
