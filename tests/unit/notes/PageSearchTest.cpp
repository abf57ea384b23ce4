#include "notes/PageSearch.h"
#include "notes/PageSearcher.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "core/TextFile.h"

using namespace Qt::StringLiterals;

namespace {

QList<TPageMatch> Match(const QString& query, const QString& title, const QString& text)
{
    return MatchPage(PageSearch::Words(query), PageSearch::Fold(title), PageSearch::Fold(text));
}

TEST(PageMatcherTest, FoldsCaseAndWidthButKeepsChineseAndEveryPosition)
{
    const QString mixed = u"Ａｂｃ１２３ ÄÖ Straße 中文 ＡＢＣ，！"_s;
    const QString folded = PageSearch::Fold(mixed);
    ASSERT_EQ(folded.size(), mixed.size());
    EXPECT_EQ(folded, u"abc123 äö straße 中文 abc，！"_s); // full-width punctuation stays as it is
    EXPECT_EQ(PageSearch::Words(u"  Foo\tbar　ｆｏｏ 中文  "_s),
              (QStringList{u"foo"_s, u"bar"_s, u"中文"_s}));
    EXPECT_TRUE(PageSearch::Words(u" 　\t"_s).isEmpty());
}

TEST(PageMatcherTest, EveryWordMustOccurSomewhereOnThePage)
{
    const QString text = u"first line\nthe Quick brown fox\nquick again, ＱＵＩＣＫ\n"_s;
    // Case and width do not matter; each occurrence is one match, with its line.
    EXPECT_EQ(Match(u"quick"_s, u"Title"_s, text),
              (QList<TPageMatch>{{false, 15, 5, 2}, {false, 31, 5, 3}, {false, 44, 5, 3}}));
    // Several words in any order, each found where it is.
    EXPECT_EQ(Match(u"fox FIRST"_s, u"Title"_s, text),
              (QList<TPageMatch>{{false, 0, 5, 1}, {false, 27, 3, 2}}));
    // One word missing: no match at all, not even of the others.
    EXPECT_TRUE(Match(u"quick zebra"_s, u"Title"_s, text).isEmpty());
    // A word in the title and another in the text: the page matches, title first.
    EXPECT_EQ(Match(u"brown shopping"_s, u"Shopping list"_s, text),
              (QList<TPageMatch>{{true, 0, 8, 0}, {false, 21, 5, 2}}));
    // No words: nothing.
    EXPECT_TRUE(Match(u"  "_s, u"Title"_s, text).isEmpty());
}

TEST(PageMatcherTest, ChineseMatchesExactlyAndOccurrencesDoNotOverlap)
{
    EXPECT_EQ(Match(u"会议"_s, u"笔记"_s, u"明天开会议\n会议室"_s),
              (QList<TPageMatch>{{false, 3, 2, 1}, {false, 6, 2, 2}}));
    EXPECT_TRUE(
        Match(u"會議"_s, u"笔记"_s, u"明天开会议"_s).isEmpty()); // traditional forms are other characters
    EXPECT_EQ(Match(u"aa"_s, QString(), u"aaaa"_s), (QList<TPageMatch>{{false, 0, 2, 1}, {false, 2, 2, 1}}));
}

class PageSearcherTest : public ::testing::Test
{
protected:
    struct TRun
    {
        QList<TPageHits> hits;
        int matches = -1;
        int pages = -1;
        QStringList unreadable;
        int batches = 0;
    };

    // Runs one search to its end and gathers what arrives.
    TRun Search(TPageSearcher& searcher, const QList<TSearchPage>& pages, const QString& query)
    {
        TRun run;
        bool done = false;
        QObject context;
        QObject::connect(&searcher, &TPageSearcher::found, &context, [&](int, const QList<TPageHits>& hits) {
            run.hits += hits;
            ++run.batches;
        });
        QObject::connect(&searcher, &TPageSearcher::finished, &context,
                         [&](int, int matches, int searched, const QStringList& unreadable) {
                             run.matches = matches;
                             run.pages = searched;
                             run.unreadable = unreadable;
                             done = true;
                         });
        searcher.Start(pages, query);
        EXPECT_TRUE(WaitFor([&] { return done; }, 20000));
        return run;
    }

    QString WritePage(const QString& name, const QString& title, const QString& text)
    {
        const QString path = m_dir.path() + u"/"_s + name;
        QStringList lines{u"0"_s, title, QString()};
        lines += SplitLines(text);
        WriteTextFileLines(path, lines);
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(PageSearcherTest, SearchesUnreadPagesKeptTextsAndUnsavedEditsWithoutChangingFiles)
{
    const QString unread = WritePage(u"a.txt"_s, u"Unread"_s, u"apple pie\r\nbanana split\r\n"_s);
    const QString edited = WritePage(u"b.txt"_s, u"Edited"_s, u"apple on disk\r\n"_s);
    const QString gone = m_dir.path() + u"/missing.txt"_s;
    const QByteArray unreadBytes = ReadBytes(unread);
    const QList<TSearchPage> pages = {
        {unread, u"Unread"_s, QString(), false, false},
        // The editor holds text that is not on disk yet: that text is searched.
        {edited, u"Edited"_s, u"banana in the editor\nand an apple\n"_s, true, true},
        {u"kept.txt"_s, u"Kept"_s, u"line one\r\nbanana and apple\r\n"_s, true, false},
        {gone, u"Gone"_s, QString(), false, false},
        {u"other.txt"_s, u"Other"_s, u"nothing here\n"_s, true, false},
    };

    TPageSearcher searcher;
    const TRun run = Search(searcher, pages, u"APPLE banana"_s);
    ASSERT_EQ(run.hits.size(), 3);
    EXPECT_EQ(run.matches, 6);
    EXPECT_EQ(run.pages, 3);
    ASSERT_EQ(run.unreadable.size(), 1);
    EXPECT_TRUE(run.unreadable[0].startsWith(u"Gone："_s)) << run.unreadable[0].toStdString();

    EXPECT_EQ(run.hits[0].page, 0);
    EXPECT_EQ(run.hits[0].text, u"apple pie\nbanana split\n"_s); // read from the file, one LF per break
    EXPECT_EQ(run.hits[0].matches, (QList<TPageMatch>{{false, 0, 5, 1}, {false, 10, 6, 2}}));
    EXPECT_EQ(run.hits[1].page, 1);
    EXPECT_EQ(run.hits[1].matches, (QList<TPageMatch>{{false, 0, 6, 1}, {false, 28, 5, 2}}));
    EXPECT_EQ(run.hits[2].page, 2);
    EXPECT_EQ(run.hits[2].text, u"line one\nbanana and apple\n"_s);
    EXPECT_EQ(run.hits[2].matches, (QList<TPageMatch>{{false, 9, 6, 2}, {false, 20, 5, 2}}));

    // The texts read are kept, the editor's never.
    EXPECT_EQ(searcher.KeptPages(), 3);
    EXPECT_EQ(ReadBytes(unread), unreadBytes);

    // A later search finds the page read the first time even when its file has gone meanwhile,
    // and an edit made since in an editor counts at once.
    ASSERT_TRUE(QFile::remove(unread));
    QList<TSearchPage> later = pages;
    later[1].text = u"pear\n"_s;
    const TRun second = Search(searcher, later, u"pie"_s);
    ASSERT_EQ(second.hits.size(), 1);
    EXPECT_EQ(second.hits[0].file, unread);
    EXPECT_TRUE(Search(searcher, later, u"editor"_s).hits.isEmpty());
}

TEST_F(PageSearcherTest, ANewSearchEndsTheOneUnderWay)
{
    QList<TSearchPage> pages;
    for (int i = 0; i < 3000; ++i)
        pages.append({u"p%1.txt"_s.arg(i), u"Page"_s, u"common word %1\n"_s.arg(i), true, false});
    TPageSearcher searcher;
    QList<int> searchesSeen;
    QObject::connect(&searcher, &TPageSearcher::found, &searcher,
                     [&](int search, const QList<TPageHits>&) { searchesSeen.append(search); });
    const int first = searcher.Start(pages, u"common"_s);
    const int second = searcher.Start(pages, u"word 2999"_s);
    ASSERT_NE(first, second);
    ASSERT_TRUE(searcher.Wait(20000));
    ASSERT_TRUE(WaitFor([&] { return searchesSeen.contains(second); }));
    EXPECT_FALSE(searchesSeen.contains(first)) << "results of an ended search never arrive";
}

} // namespace
