#include "core/PubUtils.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

} // namespace

TEST(AppLocations, APortableCopyKeepsItsFilesAndCompanionsBesideItself)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString exeDir = root.path() + u"/copy"_s;
    QDir().mkpath(exeDir);
    touch(exeDir + u"/Readme.txt"_s);
    // A share/jotvane folder without the marker (an unrelated tree) changes nothing.
    QDir().mkpath(root.path() + u"/share/jotvane"_s);

    const TAppLocations where = ResolveAppLocations(exeDir, root.path() + u"/xdg"_s, true);
    EXPECT_FALSE(where.installed);
    EXPECT_EQ(where.dataDir, exeDir + u'/');
    EXPECT_EQ(CompanionPath(where, u"Readme.txt"_s), exeDir + u"/Readme.txt"_s);
    EXPECT_EQ(CompanionPath(where, u"Images"_s), exeDir + u"/Images"_s);
    EXPECT_FALSE(QFileInfo::exists(root.path() + u"/xdg/Jotvane"_s));
}

TEST(AppLocations, AnInstalledTreeKeepsUserFilesInTheXdgDataFolderAndReadsCompanionsFromShare)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString prefix = root.path() + u"/usr"_s;
    const QString exeDir = prefix + u"/bin"_s;
    QDir().mkpath(exeDir);
    touch(prefix + u"/share/jotvane/Readme.txt"_s);
    touch(exeDir + u"/jotvane-calendar"_s);
    const QString dataHome = root.path() + u"/home/.local/share"_s;

    // The marker decides even where the folder is writable (the superuser writes everywhere).
    touch(prefix + u"/share/jotvane/installed"_s);
    TAppLocations where = ResolveAppLocations(exeDir, dataHome, true);
    EXPECT_TRUE(where.installed);
    EXPECT_EQ(where.dataDir, dataHome + u"/Jotvane/"_s);
    EXPECT_TRUE(QFileInfo(where.dataDir).isDir()) << "created on first start";
    EXPECT_EQ(CompanionPath(where, u"Readme.txt"_s), prefix + u"/share/jotvane/Readme.txt"_s);
    // Helper programs sit beside the binary; a missing companion is looked for there.
    EXPECT_EQ(CompanionPath(where, u"jotvane-calendar"_s), exeDir + u"/jotvane-calendar"_s);
    EXPECT_EQ(CompanionPath(where, u"Images"_s), exeDir + u"/Images"_s);

    // A folder the user cannot write counts as installed without any marker.
    QFile::remove(prefix + u"/share/jotvane/installed"_s);
    where = ResolveAppLocations(exeDir, dataHome, false);
    EXPECT_TRUE(where.installed);
    EXPECT_EQ(where.dataDir, dataHome + u"/Jotvane/"_s);
    EXPECT_EQ(CompanionPath(where, u"Readme.txt"_s), prefix + u"/share/jotvane/Readme.txt"_s);
    EXPECT_FALSE(ResolveAppLocations(exeDir, dataHome, true).installed);
}

TEST(AppLocations, AnUnsetOrRelativeXdgDataHomeFallsBackToTheHomeFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(root.path() + u"/home"_s));
    const QString exeDir = root.path() + u"/bin"_s;
    QDir().mkpath(exeDir);
    const QString expected = root.path() + u"/home/.local/share/Jotvane/"_s;
    EXPECT_EQ(ResolveAppLocations(exeDir, QString(), false).dataDir, expected);
    EXPECT_EQ(ResolveAppLocations(exeDir, u"relative/share"_s, false).dataDir, expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());
    qputenv("HOME", savedHome);
}
