#include "platform/AppUtils.h"
#include "platform/linux/DesktopShell.h"
#include "platform/linux/FreedesktopTrash.h"
#include "platform/linux/XdgAutostart.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FakePlatform.h"
#include "TestSupport.h"

#include <sys/stat.h>

using namespace Qt::StringLiterals;

TEST(SendMailTo, TrimsAndPrefixesOnlyWhenTheExactPrefixIsMissing)
{
    FakePlatform platform;
    SendMailTo(platform.services(), u"  someone@example.org \t"_s);
    SendMailTo(platform.services(), u"mailto:a@example.org"_s);
    SendMailTo(platform.services(), u"MAILTO:b@example.org"_s);
    EXPECT_EQ(platform.shell.opened, (QStringList{u"mailto:someone@example.org"_s, u"mailto:a@example.org"_s,
                                                  u"mailto:MAILTO:b@example.org"_s}));
}

TEST(ShellCommands, ReportTheShellsAnswer)
{
    FakePlatform platform;
    EXPECT_TRUE(ShellOpen(platform.services(), u" calc.exe "_s));
    EXPECT_EQ(platform.shell.opened, QStringList{u"calc.exe"_s});
    EXPECT_GT(ShellRun(platform.services(), u"/opt/tool"_s, u"-a \"b c\""_s, u"/tmp"_s), 32);
    EXPECT_EQ(platform.shell.started, QStringList{u"/opt/tool|-a b c|/tmp"_s});
    platform.shell.succeed = false;
    EXPECT_FALSE(ShellOpen(platform.services(), u"x"_s));
    EXPECT_LE(ShellRun(platform.services(), u"x"_s, QString(), QString()), 32);
}

TEST(SetRunOnStartup, WritesTheExecutableWithItsParameters)
{
    FakePlatform platform;
    EXPECT_TRUE(SetRunOnStartup(platform.services(), true, false, u"Jotvane"_s, u"/min"_s));
    EXPECT_TRUE(SetRunOnStartup(platform.services(), false, false, QString(), QString()));
    ASSERT_EQ(platform.autostart.calls.size(), 2);
    EXPECT_EQ(platform.autostart.calls[0],
              u"on|Jotvane|"_s + QCoreApplication::applicationFilePath() + u"|/min"_s);
    EXPECT_EQ(platform.autostart.calls[1], u"off|"_s + QCoreApplication::applicationName() + u"|"_s +
                                               QCoreApplication::applicationFilePath() + u"|"_s);
}

TEST(XdgAutostart, WritesAQuotedDesktopEntryAndRemovesIt)
{
    QTemporaryDir dir;
    XdgAutostart autostart(dir.path() + u"/autostart"_s);
    // Removing an entry that does not exist succeeds and changes nothing.
    EXPECT_TRUE(autostart.setEntry(false, u"Jotvane"_s, u"/a b/jotvane"_s, {u"/min"_s}));
    EXPECT_FALSE(QFile::exists(autostart.entryPath(u"Jotvane"_s)));
    ASSERT_TRUE(autostart.setEntry(true, u"Jotvane"_s, u"/a b/jotvane"_s, {u"/min"_s}));
    const QString entry = QString::fromUtf8(ReadBytes(autostart.entryPath(u"Jotvane"_s)));
    EXPECT_TRUE(entry.startsWith(u"[Desktop Entry]\n"_s));
    EXPECT_TRUE(entry.contains(u"\nExec=\"/a b/jotvane\" /min\n"_s)) << entry.toStdString();
    EXPECT_TRUE(entry.contains(u"\nType=Application\n"_s));
    // Every start asks again: an entry already as asked is left as it is, another is rewritten.
    const auto inode = [&] {
        struct stat info = {};
        ::stat(QFile::encodeName(autostart.entryPath(u"Jotvane"_s)).constData(), &info);
        return info.st_ino;
    };
    const auto before = inode();
    ASSERT_TRUE(autostart.setEntry(true, u"Jotvane"_s, u"/a b/jotvane"_s, {u"/min"_s}));
    EXPECT_EQ(inode(), before);
    ASSERT_TRUE(autostart.setEntry(true, u"Jotvane"_s, u"/moved/jotvane"_s, {u"/min"_s}));
    EXPECT_TRUE(ReadBytes(autostart.entryPath(u"Jotvane"_s)).contains("\nExec=/moved/jotvane /min\n"));
    EXPECT_TRUE(autostart.setEntry(false, u"Jotvane"_s, u"/a b/jotvane"_s, {u"/min"_s}));
    EXPECT_FALSE(QFile::exists(autostart.entryPath(u"Jotvane"_s)));
}

TEST(FilesThroughTheShell, RecycleAndDeleteGoThroughTheTrashService)
{
    QTemporaryDir dir;
    const QString file = dir.path() + u"/a.txt"_s;
    WriteBytes(file, "x");
    FakePlatform platform;
    EXPECT_TRUE(RecycleFile(platform.services(), file));
    EXPECT_EQ(platform.trash.trashed, QStringList{file});
    EXPECT_FALSE(QFile::exists(file));
    platform.trash.succeed = false;
    EXPECT_FALSE(DeletePathSilently(platform.services(), dir.path()));
    EXPECT_EQ(platform.trash.removed, QStringList{dir.path()});
}

// A fresh account: the data folder does not exist yet. The file must arrive in the trash there,
// not in a "files" folder beside the program's working folder.
TEST(FreedesktopTrash, MovesIntoATrashItMakesOnAFreshAccount)
{
    QTemporaryDir dir;
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    const QString savedCwd = QDir::currentPath();
    const QString data = dir.path() + u"/fresh/data"_s;
    qputenv("XDG_DATA_HOME", data.toLocal8Bit());
    QDir().mkpath(dir.path() + u"/cwd"_s);
    QDir::setCurrent(dir.path() + u"/cwd"_s);
    WriteBytes(dir.path() + u"/page.txt"_s, "text");
    FreedesktopTrash trash;
    const bool moved = trash.moveToTrash(dir.path() + u"/page.txt"_s);
    QDir::setCurrent(savedCwd);
    qputenv("XDG_DATA_HOME", savedData);
    EXPECT_TRUE(moved);
    EXPECT_FALSE(QFile::exists(dir.path() + u"/page.txt"_s));
    EXPECT_EQ(ReadBytes(data + u"/Trash/files/page.txt"_s), QByteArray("text"));
    EXPECT_TRUE(QDir(data + u"/Trash/info"_s).exists());
    EXPECT_FALSE(QDir(dir.path() + u"/cwd/files"_s).exists());
    EXPECT_FALSE(trash.moveToTrash(dir.path() + u"/page.txt"_s)) << "a file that is gone";
}

TEST(FreedesktopTrash, DeletesFilesAndTreesForGood)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + u"/tree/sub"_s);
    WriteBytes(dir.path() + u"/tree/sub/f"_s, "x");
    WriteBytes(dir.path() + u"/single"_s, "y");
    FreedesktopTrash trash;
    EXPECT_TRUE(trash.removePermanently(dir.path() + u"/tree"_s));
    EXPECT_TRUE(trash.removePermanently(dir.path() + u"/single"_s));
    EXPECT_FALSE(QFile::exists(dir.path() + u"/tree"_s));
    EXPECT_FALSE(QFile::exists(dir.path() + u"/single"_s));
    EXPECT_FALSE(trash.removePermanently(dir.path() + u"/single"_s));
}

TEST(DesktopShell, MapsTheWindowsToolsAndLeavesOtherNames)
{
    DesktopShell shell;
    EXPECT_EQ(shell.mapProgram(u"/usr/bin/foo"_s), u"/usr/bin/foo"_s);
    const QString notepad = shell.mapProgram(u"NOTEPAD.EXE"_s);
    EXPECT_FALSE(notepad.isEmpty());
}
