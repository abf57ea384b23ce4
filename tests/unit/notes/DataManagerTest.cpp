#include "notes/DataManager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "FakePlatform.h"
#include "TestClock.h"
#include "TestSupport.h"
#include "core/Clock.h"
#include "core/TextFile.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

class PageStoreTest : public ::testing::Test
{
protected:
    QString folder() const { return m_dir.path() + u"/Data/"_s; }
    QString pagePath(const QString& name) const { return folder() + name; }
    void seed(const QString& name, const QByteArray& bytes)
    {
        QDir().mkpath(folder());
        WriteBytes(pagePath(name), bytes);
    }
    QStringList titles(TDataManager& store)
    {
        QStringList result;
        for (const TPageItem& page : store.GetPages())
            result.append(page.Title);
        return result;
    }

    QTemporaryDir m_dir;
    FakeTrash m_trash;
};

} // namespace

TEST_F(PageStoreTest, MissingFolderGivesNoPagesAndFirstPageCreatesIt)
{
    TDataManager store(folder(), m_trash);
    EXPECT_EQ(store.count(), 0);
    EXPECT_TRUE(store.GetPages().isEmpty());
    EXPECT_EQ(store.AddPage(u"默认页"_s), 0);
    const QString path = store.fileName(0);
    EXPECT_TRUE(QRegularExpression(
                    u"/Data/\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}\\.txt$"_s)
                    .match(path)
                    .hasMatch())
        << path.toStdString();
    EXPECT_EQ(ReadBytes(path), QByteArray("\xFF\xFE"
                                          "0\0\r\0\n\0",
                                          8) +
                                   Utf16Le(u"默认页\r\n\r\n"_s).mid(2));
    EXPECT_EQ(store.AddPage(u"新建页"_s), 1);
}

TEST_F(PageStoreTest, SavePageWritesKeyTitleBlankLineAndTextLines)
{
    TDataManager store(folder(), m_trash);
    store.AddPage(u"A"_s);
    store.SavePage(0, u"标题"_s, u"one\r\ntwo\r\n"_s);
    EXPECT_EQ(ReadBytes(store.fileName(0)), Utf16Le(u"0\r\n标题\r\n\r\none\r\ntwo\r\n"_s));
    // A lone LF and a text without final break give the same file.
    store.SavePage(0, u"标题"_s, u"one\ntwo"_s);
    EXPECT_EQ(ReadBytes(store.fileName(0)), Utf16Le(u"0\r\n标题\r\n\r\none\r\ntwo\r\n"_s));
    const TPageItems pages = store.GetPages();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages[0].Index, 0);
    EXPECT_EQ(pages[0].FileName, store.fileName(0));
    EXPECT_EQ(pages[0].Title, u"标题"_s);
    EXPECT_EQ(pages[0].Text, u"one\r\ntwo\r\n"_s);
    // Positions outside the list do nothing.
    store.SavePage(5, u"x"_s, u"y"_s);
    store.SavePage(-1, u"x"_s, u"y"_s);
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files).size(), 1);
}

TEST_F(PageStoreTest, MovePageRenumbersAndSurvivesARestart)
{
    {
        TDataManager store(folder(), m_trash);
        for (const QString& title : {u"A"_s, u"B"_s, u"C"_s})
            store.AddPage(title);
        const QString a = store.fileName(0);
        store.MovePage(0, 2);
        EXPECT_EQ(titles(store), (QStringList{u"B"_s, u"C"_s, u"A"_s}));
        EXPECT_EQ(store.fileName(2), a);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(ReadTextFileLines(store.fileName(i)).first(), QString::number(i));
        store.MovePage(1, 1);
        store.MovePage(0, 3);
        EXPECT_EQ(titles(store), (QStringList{u"B"_s, u"C"_s, u"A"_s}));
    }
    TDataManager reopened(folder(), m_trash);
    EXPECT_EQ(titles(reopened), (QStringList{u"B"_s, u"C"_s, u"A"_s}));
}

TEST(PageOrder, ExchangeSortDecidesTheOrderOfEqualKeys)
{
    QStringList files{u"A"_s, u"B"_s, u"C"_s};
    QList<int> keys{1, 1, 0};
    TDataManager::SortByKeys(files, keys);
    EXPECT_EQ(files, (QStringList{u"C"_s, u"B"_s, u"A"_s}));
    EXPECT_EQ(keys, (QList<int>{0, 1, 1}));

    files = {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s};
    keys = {3, -2, 7, 0, 3};
    TDataManager::SortByKeys(files, keys);
    EXPECT_EQ(keys, (QList<int>{-2, 0, 3, 3, 7}));
    EXPECT_EQ(files, (QStringList{u"b"_s, u"d"_s, u"a"_s, u"e"_s, u"c"_s}));
}

TEST_F(PageStoreTest, KeysOutOfOrderAreSortedAndRenumberedAtTheScan)
{
    seed(u"a.txt"_s, Utf16Le(u"5\r\nA\r\n\r\n"_s));
    seed(u"b.txt"_s, Utf16Le(u"9\r\nB\r\n\r\n"_s));
    seed(u"c.txt"_s, Utf16Le(u"1\r\nC\r\n\r\n"_s));
    TDataManager store(folder(), m_trash);
    EXPECT_EQ(titles(store), (QStringList{u"C"_s, u"A"_s, u"B"_s}));
    EXPECT_EQ(ReadBytes(pagePath(u"c.txt"_s)), Utf16Le(u"0\r\nC\r\n\r\n"_s));
    EXPECT_EQ(ReadBytes(pagePath(u"a.txt"_s)), Utf16Le(u"1\r\nA\r\n\r\n"_s));
    EXPECT_EQ(ReadBytes(pagePath(u"b.txt"_s)), Utf16Le(u"2\r\nB\r\n\r\n"_s));
}

TEST_F(PageStoreTest, ForeignEncodingsAreReadAndWrittenBackAsUtf16)
{
    seed(u"utf8.txt"_s, "\xEF\xBB\xBF"
                        "0\r\n" +
                            u"中文"_s.toUtf8() + "\r\n\r\nline\r\n");
    seed(u"ansi.txt"_s, "1\r\n\xC4\xE3\xBA\xC3\r\n\r\n\xC4\xE3\r\n");
    seed(u"be.txt"_s, EncodeText(u"2\r\nBE\r\n\r\nx"_s, TTextEncoding::Utf16BE));
    TDataManager store(folder(), m_trash);
    ASSERT_EQ(store.count(), 3);
    EXPECT_EQ(titles(store), (QStringList{u"中文"_s, u"你好"_s, u"BE"_s}));
    EXPECT_EQ(store.GetPages()[1].Text, u"你\r\n"_s);
    // A scan that finds every key in place writes nothing.
    EXPECT_EQ(ReadBytes(pagePath(u"ansi.txt"_s)), QByteArray("1\r\n\xC4\xE3\xBA\xC3\r\n\r\n\xC4\xE3\r\n"));
    store.RenamePage(0, u"改"_s);
    EXPECT_EQ(ReadBytes(pagePath(u"utf8.txt"_s)), Utf16Le(u"0\r\n改\r\n\r\nline\r\n"_s));
    store.MovePage(1, 2);
    EXPECT_EQ(ReadBytes(pagePath(u"ansi.txt"_s)), Utf16Le(u"2\r\n你好\r\n\r\n你\r\n"_s));
    EXPECT_EQ(ReadBytes(pagePath(u"be.txt"_s)), Utf16Le(u"1\r\nBE\r\n\r\nx\r\n"_s));
}

TEST_F(PageStoreTest, UnmarkedUtf8PageIsReadAsUtf8AndSavedWithoutMojibake)
{
    // A page written by a Linux editor: UTF-8, no mark, LF line ends.
    seed(u"linux.txt"_s, u"0\n笔记\n\n第一行\n"_s.toUtf8());
    TDataManager store(folder(), m_trash);
    ASSERT_EQ(store.count(), 1);
    const TPageItems pages = store.GetPages();
    EXPECT_EQ(pages[0].Title, u"笔记"_s);
    EXPECT_EQ(pages[0].Text, u"第一行\r\n"_s);
    store.RenamePage(0, u"笔记本"_s);
    EXPECT_EQ(ReadBytes(pagePath(u"linux.txt"_s)), Utf16Le(u"0\r\n笔记本\r\n\r\n第一行\r\n"_s));
}

TEST_F(PageStoreTest, OnlyVisibleTxtFilesArePages)
{
    seed(u".hidden.txt"_s, Utf16Le(u"0\r\nH\r\n\r\n"_s));
    seed(u"note.doc"_s, Utf16Le(u"0\r\nD\r\n\r\n"_s));
    seed(u"UPPER.TXT"_s, Utf16Le(u"0\r\nU\r\n\r\n"_s));
    QDir().mkpath(pagePath(u"folder.txt"_s));
    // A fifo would hold the start for ever; a link to a page is a page.
    ASSERT_EQ(::mkfifo(QFile::encodeName(pagePath(u"pipe.txt"_s)).constData(), 0600), 0);
    seed(u"real.doc"_s, Utf16Le(u"0\r\nL\r\n\r\n"_s));
    ASSERT_TRUE(QFile::link(pagePath(u"real.doc"_s), pagePath(u"link.txt"_s)));
    TDataManager store(folder(), m_trash);
    QStringList found = titles(store);
    found.sort();
    EXPECT_EQ(found, (QStringList{u"L"_s, u"U"_s}));
}

TEST_F(PageStoreTest, EveryKindOfLineEndReadsAsTheLinesItEnds)
{
    const std::pair<const char*, std::pair<QString, QString>> cases[] = {
        {"0\rT\r\rA\rB", {u"T"_s, u"A\r\nB\r\n"_s}},
        {"1\nT\n\nA\n\nB\n", {u"T"_s, u"A\r\n\r\nB\r\n"_s}},
        {"2\r\nT\r\n\r\nA\r\n\r", {u"T"_s, u"A\r\n\r\n"_s}},
        {"3\r\nT\r\n\r\n\n\r", {u"T"_s, u"\r\n\r\n"_s}},
        {"4\r\n\n\r\n\r\n", {QString(), u"\r\n"_s}},
        {"5\r\nOnly a title", {u"Only a title"_s, QString()}},
    };
    for (const auto& [bytes, expected] : cases)
        seed(u"p%1.txt"_s.arg(bytes[0]), QByteArray(bytes));
    TDataManager store(folder(), m_trash);
    const TPageItems pages = store.GetPages();
    ASSERT_EQ(pages.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(pages[i].Title, cases[i].second.first) << i;
        EXPECT_EQ(pages[i].Text, cases[i].second.second) << i;
    }
}

TEST_F(PageStoreTest, UsersOwnFileBecomesAPageAndItsFirstLineTakesTheKey)
{
    seed(u"a.txt"_s, Utf16Le(u"0\r\nFirst\r\n\r\n"_s));
    seed(u"z.txt"_s, "my notes\r\nTitle line\r\nthird\r\nbody\r\n");
    TDataManager store(folder(), m_trash);
    ASSERT_EQ(store.count(), 2);
    // No key counts as 0, so the foreign file sorts among the first pages and is renumbered.
    const TPageItems pages = store.GetPages();
    int foreign = QFileInfo(pages[0].FileName).fileName() == u"z.txt"_s ? 0 : 1;
    EXPECT_EQ(pages[foreign].Title, u"Title line"_s);
    EXPECT_EQ(pages[foreign].Text, u"body\r\n"_s);
    EXPECT_EQ(ReadBytes(pagePath(u"z.txt"_s)),
              Utf16Le(QString::number(foreign) + u"\r\nTitle line\r\nthird\r\nbody\r\n"_s));
}

TEST_F(PageStoreTest, ShortFilesReadWithEmptyLinesAndLoseNothing)
{
    seed(u"a.txt"_s, Utf16Le(u"0\r\nA\r\n\r\n"_s));
    seed(u"one.txt"_s, "only line");
    seed(u"empty.txt"_s, QByteArray());
    TDataManager store(folder(), m_trash);
    ASSERT_EQ(store.count(), 3);
    for (const TPageItem& page : store.GetPages()) {
        if (page.FileName.endsWith(u"a.txt"_s))
            EXPECT_EQ(page.Title, u"A"_s);
        else if (page.FileName.endsWith(u"one.txt"_s))
            EXPECT_EQ(page.Text, u"only line\r\n"_s);
        else
            EXPECT_EQ(page.Text, QString());
    }
    // The renumbering kept the one line as page text.
    const QStringList one = ReadTextFileLines(pagePath(u"one.txt"_s));
    ASSERT_EQ(one.size(), 4);
    EXPECT_EQ(one[0].toInt() >= 0 && !one[0].isEmpty(), true);
    EXPECT_TRUE(one[1].isEmpty() && one[2].isEmpty());
    EXPECT_EQ(one[3], u"only line"_s);
    // Renaming a one-line file leaves its content alone.
    seed(u"key.txt"_s, Utf16Le(u"3\r\n"_s));
    TDataManager again(folder(), m_trash);
    const int keyPage = again.count() - 1;
    ASSERT_TRUE(again.fileName(keyPage).endsWith(u"key.txt"_s));
    again.RenamePage(keyPage, u"new"_s);
    EXPECT_EQ(ReadTextFileLines(pagePath(u"key.txt"_s)), QStringList{QString::number(keyPage)});
}

TEST_F(PageStoreTest, DeletePageGoesToTheTrashOrForGoodAndRenumbers)
{
    TDataManager store(folder(), m_trash);
    for (const QString& title : {u"A"_s, u"B"_s, u"C"_s})
        store.AddPage(title);
    const QString a = store.fileName(0);
    const QString b = store.fileName(1);
    store.DeletePage(0, true);
    EXPECT_EQ(m_trash.trashed, QStringList{a});
    EXPECT_EQ(titles(store), (QStringList{u"B"_s, u"C"_s}));
    EXPECT_EQ(ReadTextFileLines(b).first(), u"0"_s);
    store.DeletePage(0, false);
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(m_trash.trashed.size(), 1);
    EXPECT_EQ(titles(store), QStringList{u"C"_s});
    // A file the trash refuses keeps its page: the failure is reported, not hidden.
    m_trash.succeed = false;
    EXPECT_THROW(store.DeletePage(0, true), EFileError);
    EXPECT_EQ(titles(store), QStringList{u"C"_s});
    m_trash.succeed = true;
    store.DeletePage(0, true);
    EXPECT_EQ(store.count(), 0);
}

TEST_F(PageStoreTest, ReadPageKeyLooksOnlyAtTheFirstSixteenBytes)
{
    int key = -1;
    seed(u"k.txt"_s, Utf16Le(u"42\r\nT\r\n"_s));
    EXPECT_TRUE(TDataManager::ReadPageKey(pagePath(u"k.txt"_s), key));
    EXPECT_EQ(key, 42);
    seed(u"long.txt"_s, Utf16Le(u"12345678\r\n"_s));
    EXPECT_TRUE(TDataManager::ReadPageKey(pagePath(u"long.txt"_s), key));
    EXPECT_EQ(key, 1234567);
    seed(u"lf.txt"_s, "7\nT\n");
    EXPECT_TRUE(TDataManager::ReadPageKey(pagePath(u"lf.txt"_s), key));
    EXPECT_EQ(key, 7);
    seed(u"bad.txt"_s, "g1\r\n");
    EXPECT_FALSE(TDataManager::ReadPageKey(pagePath(u"bad.txt"_s), key));
    EXPECT_FALSE(TDataManager::ReadPageKey(pagePath(u"none.txt"_s), key));
}

TEST_F(PageStoreTest, ANewPageThatCannotBeWrittenLeavesNoEntryBehind)
{
    TDataManager store(folder(), m_trash);
    store.AddPage(u"A"_s);
    // A file where the folder should be: no page file can be created in it.
    QDir(folder()).removeRecursively();
    WriteBytes(m_dir.path() + u"/Data"_s, "not a folder");
    try {
        store.AddPage(u"B"_s);
        ADD_FAILURE() << "a page was made without its folder";
    } catch (const EFileError& error) {
        EXPECT_TRUE(error.message().contains(u"已有同名的文件"_s)) << error.message().toStdString();
    }
    EXPECT_EQ(store.count(), 1);
    QFile::remove(m_dir.path() + u"/Data"_s);
    QDir().mkpath(folder());
    EXPECT_EQ(store.AddPage(u"C"_s), 1);
    EXPECT_EQ(ReadTextFileLines(store.fileName(1)), (QStringList{u"1"_s, u"C"_s, QString()}));
}

TEST_F(PageStoreTest, FilesThatDoNotDecodeWithoutLossAreLeftAloneAndNamed)
{
    // UTF-16 LE without a mark, a NUL in the middle, and bytes that are no GB18030.
    const QByteArray unmarked = Utf16Le(u"2\r\nT\r\n\r\n"_s + QString(5000, u'x')).mid(2);
    const QByteArray nul = QByteArray("5\r\nN\r\n\r\nab") + '\0' + QByteArray(60000, 'c');
    const QByteArray invalid("7\r\nB\r\n\r\n\x81\x20\xFF\r\n");
    seed(u"unmarked.txt"_s, unmarked);
    seed(u"nul.txt"_s, nul);
    seed(u"invalid.txt"_s, invalid);
    seed(u"good.txt"_s, "9\r\nG\r\n\r\ntext\r\n");
    // A file that cannot be opened at all is no page either, and is named with the reason.
    ASSERT_TRUE(QFile::link(pagePath(u"missing"_s), pagePath(u"dangling.txt"_s)));
    TDataManager store(folder(), m_trash);
    EXPECT_EQ(titles(store), QStringList{u"G"_s});
    EXPECT_EQ(store.skippedFiles().size(), 3);
    EXPECT_TRUE(store.ScanProblems().contains(u"无法读取文件 \""_s + pagePath(u"dangling.txt"_s) +
                                              u"\"。文件或文件夹不存在。"_s))
        << store.ScanProblems().toStdString();
    EXPECT_TRUE(store.skippedFiles().join(u'\n').contains(u"nul.txt (含有空字符)"_s))
        << store.skippedFiles().join(u'\n').toStdString();
    // The page still moves to place 0 and a new page joins it; the foreign files keep every byte.
    store.AddPage(u"new"_s);
    EXPECT_EQ(ReadBytes(pagePath(u"good.txt"_s)), Utf16Le(u"0\r\nG\r\n\r\ntext\r\n"_s));
    EXPECT_EQ(ReadBytes(pagePath(u"unmarked.txt"_s)), unmarked);
    EXPECT_EQ(ReadBytes(pagePath(u"nul.txt"_s)), nul);
    EXPECT_EQ(ReadBytes(pagePath(u"invalid.txt"_s)), invalid);
}

TEST_F(PageStoreTest, APageThatCannotBeRenumberedKeepsItsPlaceAndIsReported)
{
    seed(u"a.txt"_s, Utf16Le(u"5\r\nA\r\n\r\n"_s));
    seed(u"b.txt"_s, Utf16Le(u"7\r\nB\r\n\r\n"_s));
    // The folder is mounted read-only in a child's own mount namespace.
    const QByteArray path = QFile::encodeName(folder());
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            ::_exit(77);
        TDataManager store(folder(), m_trash);
        const bool ok =
            titles(store) == QStringList{u"A"_s, u"B"_s} && store.ScanProblems().contains(u"磁盘是只读的"_s);
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // Outside, nothing was changed.
    EXPECT_EQ(ReadBytes(pagePath(u"a.txt"_s)), Utf16Le(u"5\r\nA\r\n\r\n"_s));
}

TEST_F(PageStoreTest, ManyPagesAreReadOnceInKeyOrderAndAPageWrittenSinceIsReadAgain)
{
    // Enough files for the scan to read them on several threads, named in the reverse order of
    // their keys, a page larger than one read and a foreign file among them.
    constexpr int kPages = 300;
    for (int i = 0; i < kPages; ++i)
        seed(u"p%1.txt"_s.arg(i, 3, 10, QChar(u'0')),
             Utf16Le(u"%1\r\nT%1\r\n\r\nline %1\r\n"_s.arg(kPages - 1 - i)));
    const QString big = QString(100000, u'x') + u"\r\n"_s;
    seed(u"big.txt"_s, Utf16Le(u"%1\r\nBig\r\n\r\n"_s.arg(kPages) + big));
    seed(u"foreign.txt"_s, QByteArray("\xFF\xFE\x41", 3));
    TDataManager store(folder(), m_trash);
    ASSERT_EQ(store.count(), kPages + 1);
    EXPECT_EQ(store.skippedFiles().size(), 1);
    store.SavePage(5, u"rewritten"_s, u"new text"_s);
    const TPageItems pages = store.GetPages();
    ASSERT_EQ(pages.size(), kPages + 1);
    EXPECT_EQ(pages[kPages].Text, big);
    for (int i = 0; i < kPages; ++i) {
        if (i == 5)
            continue;
        EXPECT_EQ(pages[i].Index, i);
        EXPECT_EQ(pages[i].FileName, store.fileName(i));
        EXPECT_EQ(pages[i].Title, u"T%1"_s.arg(i));
        EXPECT_EQ(pages[i].Text, u"line %1\r\n"_s.arg(i));
    }
    EXPECT_EQ(pages[5].Title, u"rewritten"_s);
    EXPECT_EQ(pages[5].Text, u"new text\r\n"_s);
    // Taken once: a second call reads the files.
    EXPECT_EQ(store.GetPages()[5].Text, u"new text\r\n"_s);
}

TEST_F(PageStoreTest, AReadBegunAheadIsTakenOverOnlyByTheStoreOfItsFolder)
{
    seed(u"a.txt"_s, Utf16Le(u"0\r\nFirst\r\n\r\none\r\n"_s));
    const QByteArray second = Utf16Le(u"1\r\nSecond\r\n\r\ntwo\r\n"_s);
    seed(u"b.txt"_s, second);
    const QString otherFolder = m_dir.path() + u"/Other"_s;
    QDir().mkpath(otherFolder);
    {
        // Named without its trailing separator, it is still the store's folder.
        TPageReadAhead ahead(m_dir.path() + u"/Data"_s);
        TDataManager store(folder(), m_trash, &ahead);
        EXPECT_EQ(titles(store), (QStringList{u"First"_s, u"Second"_s}));
    }
    {
        // A read of another folder is not the store's: it reads its own.
        TPageReadAhead ahead(otherFolder);
        TDataManager store(folder(), m_trash, &ahead);
        EXPECT_EQ(titles(store), (QStringList{u"First"_s, u"Second"_s}));
        TDataManager other(otherFolder, m_trash, &ahead);
        EXPECT_EQ(other.count(), 0);
    }
    // A read nobody takes over changes nothing.
    {
        TPageReadAhead dropped(folder());
    }
    EXPECT_EQ(ReadBytes(pagePath(u"b.txt"_s)), second);
}

// The page index gives the key and title of every file unchanged since it was written, and the
// text comes when asked for. A file changed in place, a new file and a damaged index are read
// whole; a text that cannot be read is never written over.
TEST_F(PageStoreTest, ThePageIndexStandsInForFilesThatHaveNotChanged)
{
    seed(u"a.txt"_s, Utf16Le(u"0\r\nFirst\r\n\r\none\r\n"_s));
    seed(u"b.txt"_s, Utf16Le(u"1\r\nSecond\r\n\r\ntwo\r\n"_s));
    seed(u"c.txt"_s, Utf16Le(u"2\r\nThird\r\n\r\nthree\r\n"_s));
    const QString index = m_dir.path() + u"/cache/pages.idx"_s;
    const auto textRead = [](const TPageItems& pages) {
        QList<bool> read;
        for (const TPageItem& page : pages)
            read.append(page.TextRead);
        return read;
    };
    {
        TDataManager store(folder(), m_trash, nullptr, index);
        EXPECT_EQ(textRead(store.GetPages()), (QList<bool>{true, true, true}));
        EXPECT_FALSE(QFile::exists(index)) << "files changed a moment ago are not kept";
    }
    {
        // Four seconds on, the files have been left alone long enough to be kept.
        const TTestClock later(QDateTime::currentDateTime().addSecs(4));
        TDataManager store(folder(), m_trash, nullptr, index, &later);
        EXPECT_EQ(titles(store), (QStringList{u"First"_s, u"Second"_s, u"Third"_s}));
    }
    ASSERT_TRUE(QFile::exists(index));

    // "Second" becomes "SECOND" in place: same size, same file.
    {
        QFile b(pagePath(u"b.txt"_s));
        ASSERT_TRUE(b.open(QIODevice::ReadWrite));
        ASSERT_TRUE(b.seek(8));
        b.write(Utf16Le(u"SECOND"_s).mid(2));
    }
    seed(u"d.txt"_s, Utf16Le(u"3\r\nFourth\r\n\r\nfour\r\n"_s));
    {
        TDataManager store(folder(), m_trash, nullptr, index);
        const TPageItems pages = store.GetPages();
        EXPECT_EQ(textRead(pages), (QList<bool>{false, true, false, true}));
        EXPECT_EQ(pages[1].Title, u"SECOND"_s);
        EXPECT_EQ(pages[2].Title, u"Third"_s);
        EXPECT_EQ(store.ReadPageText(0), u"one\r\n"_s);

        const QByteArray third = ReadBytes(pagePath(u"c.txt"_s));
        ASSERT_TRUE(QFile::remove(pagePath(u"c.txt"_s)));
        EXPECT_THROW(store.ReadPageText(2), EFileError);
        EXPECT_THROW(store.SavePage(2, u"Third"_s, u"typed\r\n"_s), EFileError);
        EXPECT_FALSE(QFile::exists(pagePath(u"c.txt"_s)));
        WriteBytes(pagePath(u"c.txt"_s), third);
        EXPECT_EQ(store.ReadPageText(2), u"three\r\n"_s);
        store.SavePage(2, u"Third"_s, u"typed\r\n"_s);
        EXPECT_EQ(store.ReadPageText(2), u"typed\r\n"_s) << "a text read again may be written";
    }

    WriteBytes(index, QByteArray(64, 'x'));
    TDataManager store(folder(), m_trash, nullptr, index);
    const TPageItems pages = store.GetPages();
    EXPECT_EQ(textRead(pages), (QList<bool>{true, true, true, true}));
    EXPECT_EQ(pages[0].Text, u"one\r\n"_s);
}
