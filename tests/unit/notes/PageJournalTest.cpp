#include "notes/PageJournal.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TestSupport.h"

using namespace Qt::StringLiterals;

namespace {

class PageJournalTest : public ::testing::Test
{
protected:
    QString folder() const { return m_dir.path() + u"/Data/.recovery/"_s; }
    QStringList files() const { return QDir(folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    TJournalEntry entry(const QString& text, const QByteArray& base) const
    {
        TJournalEntry e;
        e.key = u"{A}.txt"_s;
        e.text = text;
        e.base = base;
        e.readable = true;
        return e;
    }

    QTemporaryDir m_dir;
};

TEST_F(PageJournalTest, WritesAreReadBackExactlyAndRemovalsFollowInOrder)
{
    const QString text = u"第一行\r\nsecond\nthird\r"_s;
    {
        TPageJournal journal(m_dir.path() + u"/Data/.recovery"_s);
        journal.Write(u"{A}.txt"_s, u"older"_s, "b1");
        journal.Write(u"{A}.txt"_s, text, "b2");
        journal.Write(u"../escape/x.txt"_s, u"kept inside"_s);
        journal.Write(u"{B}.txt"_s, u"gone soon"_s);
        journal.Remove(u"{B}.txt"_s);
        // The destructor finishes the queue.
    }
    ASSERT_EQ(files().size(), 2) << files().join(u' ').toStdString();
    EXPECT_FALSE(QFile::exists(m_dir.path() + u"/Data/escape/x.txt.journal"_s));

    TPageJournal journal(folder());
    const QList<TJournalEntry> entries = journal.Scan();
    ASSERT_EQ(entries.size(), 2);
    QHash<QString, TJournalEntry> byKey;
    for (const TJournalEntry& e : entries) {
        EXPECT_TRUE(e.readable) << e.error.toStdString();
        byKey.insert(e.key, e);
    }
    EXPECT_EQ(byKey[u"{A}.txt"_s].text, text) << "line breaks are kept as they were";
    EXPECT_EQ(byKey[u"{A}.txt"_s].base, QByteArray("b2"));
    EXPECT_EQ(byKey[u"../escape/x.txt"_s].text, u"kept inside"_s);

    // A write and a removal of the same key, then a write again: the last one wins.
    journal.Remove(u"{A}.txt"_s);
    journal.Write(u"{A}.txt"_s, u"again"_s);
    journal.Remove(u"../escape/x.txt"_s);
    journal.Flush();
    ASSERT_EQ(journal.Scan().size(), 1);
    EXPECT_EQ(journal.Scan().first().text, u"again"_s);
    EXPECT_TRUE(journal.LastError().isEmpty());
}

TEST_F(PageJournalTest, RecoveryRules)
{
    const QString saved = u"line one\r\nline two\r\n"_s;
    const QByteArray base = TPageJournal::Fingerprint(saved);
    // The same text with the editor's line breaks has the same fingerprint.
    EXPECT_EQ(TPageJournal::Fingerprint(u"line one\nline two"_s), base);

    // Journal newer than the page: the page still holds the text the changes started from.
    const TJournalEntry newer = entry(u"line one\nline two and more\n"_s, base);
    EXPECT_EQ(TPageJournal::Decide(newer, &saved), TJournalAction::IntoPage);
    // Same as the page: nothing to bring back.
    const TJournalEntry same = entry(u"line one\nline two\n"_s, base);
    EXPECT_EQ(TPageJournal::Decide(same, &saved), TJournalAction::Discard);
    // The page is gone: the text becomes a page of its own.
    EXPECT_EQ(TPageJournal::Decide(newer, nullptr), TJournalAction::AsNewPage);
    // The page was written after the journal: neither text replaces the other.
    const QString rewritten = u"something else\r\n"_s;
    EXPECT_EQ(TPageJournal::Decide(newer, &rewritten), TJournalAction::AsNewPage);
    // Without a base the journal is taken as the newer text.
    EXPECT_EQ(TPageJournal::Decide(entry(u"x"_s, {}), &rewritten), TJournalAction::IntoPage);
    // An unreadable journal is kept.
    TJournalEntry unreadable = entry(u"x"_s, base);
    unreadable.readable = false;
    EXPECT_EQ(TPageJournal::Decide(unreadable, nullptr), TJournalAction::Keep);
    EXPECT_EQ(TPageJournal::Decide(unreadable, &saved), TJournalAction::Keep);
}

TEST_F(PageJournalTest, FilesThatAreNoCompleteJournalAreReportedUnreadable)
{
    QDir().mkpath(folder());
    const QByteArray good = TPageJournal::Encode(u"{A}.txt"_s, u"some text"_s, "abc");
    WriteBytes(folder() + u"cut.journal"_s, good.left(good.size() - 2));
    WriteBytes(folder() + u"longer.journal"_s, good + Utf16Le(u"x"_s).mid(2));
    WriteBytes(folder() + u"odd.journal"_s, good.left(good.size() - 1));
    WriteBytes(folder() + u"foreign.journal"_s, Utf16Le(u"not a journal\r\nk\r\n\r\n0\r\n"_s));
    WriteBytes(folder() + u"ok.journal"_s, good);
    WriteBytes(folder() + u"other.txt"_s, good); // not a journal's name: not listed

    const QList<TJournalEntry> entries = TPageJournal(folder()).Scan();
    ASSERT_EQ(entries.size(), 5);
    for (const TJournalEntry& e : entries) {
        const bool ok = e.path.endsWith(u"/ok.journal"_s);
        EXPECT_EQ(e.readable, ok) << e.path.toStdString();
        EXPECT_EQ(e.error.isEmpty(), ok) << e.path.toStdString();
        if (ok) {
            EXPECT_EQ(e.text, u"some text"_s);
        }
    }
}

TEST_F(PageJournalTest, TheNoticeNamesThePagesAndTheKeptFiles)
{
    TJournalRecovery recovery;
    EXPECT_TRUE(recovery.isEmpty());
    recovery.recovered = {u"默认页"_s, u"Shopping"_s};
    recovery.unreadable = {u"/tmp/a/Data/.recovery/x.journal"_s};
    const QString message = TPageJournal::RecoveryMessage(recovery);
    EXPECT_TRUE(message.contains(u"“默认页”"_s));
    EXPECT_TRUE(message.contains(u"“Shopping”"_s));
    EXPECT_TRUE(message.contains(u"/tmp/a/Data/.recovery/x.journal"_s));

    // A long list is cut, and says how many pages there were.
    TJournalRecovery many;
    for (int i = 0; i < 1000; ++i)
        many.recovered.append(u"P%1"_s.arg(i));
    const QString long_ = TPageJournal::RecoveryMessage(many);
    EXPECT_TRUE(long_.contains(u"“P19”"_s));
    EXPECT_FALSE(long_.contains(u"“P20”"_s));
    EXPECT_TRUE(long_.contains(u"1000"_s));
}

TEST_F(PageJournalTest, UnsavedCopiesGetSafeNamesOfTheirOwn)
{
    const QDateTime now(QDate(2026, 3, 4), QTime(5, 6, 7));
    const QString unsaved = m_dir.path() + u"/unsaved"_s;
    // No folder, no hidden name, no control character: the title is made safe.
    const QString title = u" ../我的/笔记\tx "_s;
    const QString first = TPageJournal::UnsavedCopyPath(unsaved, title, now);
    EXPECT_EQ(first, unsaved + u"/_._我的_笔记_x 2026-03-04 050607.txt"_s);
    QDir().mkpath(unsaved);
    WriteBytes(first, "taken");
    EXPECT_EQ(TPageJournal::UnsavedCopyPath(unsaved, title, now),
              unsaved + u"/_._我的_笔记_x 2026-03-04 050607(1).txt"_s);
    EXPECT_EQ(TPageJournal::UnsavedCopyPath(unsaved, u"  "_s, now), unsaved + u"/2026-03-04 050607.txt"_s);
}

} // namespace
