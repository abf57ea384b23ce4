// The recovery journal of the note window: typed text reaches it within its delay, every way a
// page is written or deleted removes it, and a journal left behind comes back at start.
#include "MainFormFixture.h"

#include "TestClock.h"
#include "TestSupport.h"
#include "core/TextFile.h"
#include "notes/PageJournal.h"
#include "notes/ui/PadMemo.h"
#include "notes/ui/PageSet.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class JournalTest : public MainFormTest
{
protected:
    void BuildWithJournal()
    {
        Build();
        form->Pages().SetJournal(journal.get(), 30);
    }
    // The journal as it is on the disk once the queued work is done: key -> text.
    QHash<QString, QString> OnDisk() const
    {
        journal->Flush();
        QHash<QString, QString> result;
        for (const TJournalEntry& entry : journal->Scan())
            result.insert(entry.readable ? entry.key : entry.path, entry.text);
        return result;
    }
    bool WaitForJournal(const QString& key, const QString& text)
    {
        return WaitFor([&] { return OnDisk().value(key) == text; });
    }

    std::unique_ptr<TPageJournal> journal =
        std::make_unique<TPageJournal>(root.filePath(u"Data/.recovery"_s));
};

TEST_F(JournalTest, TypedTextIsJournaledUntilThePageIsWrittenOrDeleted)
{
    BuildWithJournal();
    Show();
    TPageSet& pages = form->Pages();
    const QString first = pages.PageKey(0);
    Type(u"hello"_s);
    ASSERT_TRUE(WaitForJournal(first, u"hello"_s));
    Type(u" world"_s);
    ASSERT_TRUE(WaitForJournal(first, u"hello world"_s)) << "later changes follow";

    Key(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(pages.PageCount(), 2);
    const QString second = pages.PageKey(1);
    Type(u"second"_s);
    ASSERT_TRUE(WaitForJournal(second, u"second"_s));

    // Writing the pages takes their journals away.
    form->SaveModifiedPages();
    EXPECT_TRUE(OnDisk().isEmpty());
    EXPECT_EQ(FileLines(0).mid(3), QStringList{u"hello world"_s});
    EXPECT_EQ(FileLines(1).mid(3), QStringList{u"second"_s});

    // Changed and changed back without a save: the journal goes too.
    TPadMemo* editor = pages.CurrentEditor();
    Type(u"x"_s);
    ASSERT_TRUE(editor->Modified());
    ASSERT_TRUE(WaitForJournal(second, editor->PageText()));
    editor->undo();
    ASSERT_FALSE(editor->Modified());
    EXPECT_TRUE(WaitFor([&] { return OnDisk().isEmpty(); }));

    // A page made with a text holds it only in memory until it is written.
    form->CreatePage(u"Made"_s, u"made text"_s);
    const QString made = pages.PageKey(2);
    ASSERT_TRUE(WaitForJournal(made, u"made text"_s));
    form->SaveModifiedPages();
    EXPECT_EQ(FileLines(2).mid(3), QStringList{u"made text"_s});
    EXPECT_TRUE(OnDisk().isEmpty());
    pages.SelectPage(1);
    editor->setFocus();

    // A deleted page leaves no journal that would bring it back.
    Type(u"y"_s);
    ASSERT_TRUE(WaitForJournal(second, editor->PageText()));
    msgAnswers = {MsgResultYes};
    Key(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(pages.PageCount(), 2);
    EXPECT_TRUE(OnDisk().isEmpty());
}

// With the page index a start does not read the pages it knows: each text is read when its page
// is first shown. A file gone since the start cannot be read then: the user is told, the page
// cannot be typed into, and whatever reaches its editor anyway stays in the journal, since the
// store never writes over a file it could not read.
TEST_F(JournalTest, PagesKnownFromTheIndexAreReadWhenFirstShown)
{
    SeedPage(u"a.txt"_s, 0, u"Alpha"_s, u"alpha saved"_s);
    SeedPage(u"b.txt"_s, 1, u"Bravo"_s, u"bravo saved"_s);
    SeedPage(u"c.txt"_s, 2, u"Charlie"_s, u"charlie saved"_s);
    StartWritingPageIndex();
    ASSERT_TRUE(QFile::exists(indexFile)) << "the first start writes the index";

    BuildWithJournal();
    ASSERT_TRUE(QFile::remove(dataFolder + u"/c.txt"_s));
    Show();
    TPageSet& pages = form->Pages();
    ASSERT_EQ(pages.PageCount(), 3);
    EXPECT_EQ(pages.PageTitle(2), u"Charlie"_s);
    EXPECT_EQ(pages.CurrentEditor()->PageText(), u"alpha saved\n"_s);
    pages.SelectPage(1);
    EXPECT_EQ(pages.CurrentEditor()->PageText(), u"bravo saved\n"_s);
    EXPECT_TRUE(msgCalls.isEmpty());

    pages.SelectPage(2);
    TPadMemo* editor = pages.CurrentEditor();
    ASSERT_TRUE(WaitFor([&] { return !msgCalls.isEmpty(); }));
    EXPECT_EQ(msgCalls[0].kind, MsgBoxKind::Error);
    EXPECT_TRUE(msgCalls[0].message.contains(u"c.txt"_s)) << msgCalls[0].message.toStdString();
    editor->setFocus();
    Type(u"typed"_s);
    EXPECT_FALSE(editor->Modified()) << "the page cannot be typed into";

    editor->textCursor().insertText(u"pasted"_s);
    ASSERT_TRUE(editor->Modified());
    ASSERT_TRUE(WaitForJournal(pages.PageKey(2), u"pasted"_s));
    EXPECT_THROW(form->SaveModifiedPages(), EFileError);
    EXPECT_FALSE(QFile::exists(dataFolder + u"/c.txt"_s)) << "nothing is written in its place";
    EXPECT_EQ(OnDisk().value(pages.PageKey(2)), u"pasted"_s) << "the text is kept";
    editor->SetModified(false);
}

TEST_F(JournalTest, AJournalLeftBehindComesBackAtStart)
{
    SeedPage(u"a.txt"_s, 0, u"Alpha"_s, u"alpha saved"_s);
    SeedPage(u"b.txt"_s, 1, u"Bravo"_s, u"bravo saved"_s);
    SeedPage(u"c.txt"_s, 2, u"Charlie"_s, u"charlie saved"_s);
    const QByteArray alphaBase = TPageJournal::Fingerprint(u"alpha saved\r\n"_s);
    journal->Write(u"a.txt"_s, u"alpha saved\nand typed"_s, alphaBase); // newer than its page
    journal->Write(u"b.txt"_s, u"bravo saved\n"_s, TPageJournal::Fingerprint(u"bravo saved"_s)); // the same
    journal->Write(u"c.txt"_s, u"charlie typed"_s,
                   TPageJournal::Fingerprint(u"older"_s)); // page written later
    journal->Write(u"gone.txt"_s, u"orphan text"_s);       // its page is gone
    journal->Flush();
    WriteBytes(journal->folder() + u"broken.journal"_s, Utf16Le(u"Jotvane journal 1\r\nx"_s));

    BuildWithJournal();
    TPageSet& pages = form->Pages();
    pages.SelectPage(1);
    const TJournalRecovery recovery = pages.RecoverJournal();
    EXPECT_EQ(recovery.recovered, (QStringList{u"Alpha"_s, u"新建页"_s, u"新建页(1)"_s}));
    EXPECT_EQ(recovery.unreadable, QStringList{journal->folder() + u"broken.journal"_s});
    EXPECT_EQ(pages.PageIndex(), 1) << "the selected page stays selected";

    ASSERT_EQ(pages.PageCount(), 5);
    EXPECT_EQ(pages.EditorAt(0)->PageText(), u"alpha saved\nand typed"_s);
    EXPECT_TRUE(pages.EditorAt(0)->Modified());
    EXPECT_FALSE(pages.EditorAt(1)->Modified());
    EXPECT_EQ(pages.EditorAt(2)->PageText(), u"charlie saved\n"_s) << "the later save is kept";
    // The journal files are read in name order: c.txt, then gone.txt.
    EXPECT_EQ(pages.EditorAt(3)->PageText(), u"charlie typed"_s);
    EXPECT_EQ(pages.EditorAt(4)->PageText(), u"orphan text"_s);
    EXPECT_TRUE(pages.EditorAt(3)->Modified());
    EXPECT_TRUE(pages.EditorAt(4)->Modified());

    // The texts are journaled under their new pages until they are written.
    QHash<QString, QString> left = OnDisk();
    EXPECT_EQ(left.value(pages.PageKey(3)), u"charlie typed"_s);
    EXPECT_EQ(left.value(pages.PageKey(4)), u"orphan text"_s);
    EXPECT_FALSE(left.contains(u"b.txt"_s));
    EXPECT_FALSE(left.contains(u"gone.txt"_s));

    form->SaveModifiedPages();
    EXPECT_EQ(FileLines(0).mid(3), (QStringList{u"alpha saved"_s, u"and typed"_s}));
    EXPECT_EQ(FileLines(4).mid(3), QStringList{u"orphan text"_s});
    left = OnDisk();
    EXPECT_EQ(left.keys(), QStringList{journal->folder() + u"broken.journal"_s})
        << "only the unreadable one stays";
}

// A file or folder that cannot be written: a folder stands where the file was, or a file where
// the folder should be.
void BlockWithFolder(const QString& file)
{
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir().mkdir(file));
}

void BlockWithFile(const QString& folder)
{
    QDir(folder).removeRecursively();
    WriteBytes(folder, "not a folder");
}

TEST_F(JournalTest, TextThatCannotBeSavedAtTheEndGoesToTheJournalOrToAFileOfItsOwn)
{
    BuildWithJournal();
    const QString unsaved = root.filePath(u"home/unsaved"_s);
    form->Pages().SetUnsavedFolders({unsaved});
    Show();
    const QString key = form->Pages().PageKey(0);
    Type(u"typed just now"_s);
    BlockWithFolder(store->fileName(0));
    Release();
    // Written at once, not after the journal's delay.
    EXPECT_EQ(OnDisk().value(key), u"typed just now"_s);
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_EQ(msgCalls[0].kind, MsgBoxKind::Error);
    EXPECT_TRUE(msgCalls[0].message.contains(key)) << "the page file is named";
    EXPECT_TRUE(msgCalls[0].message.contains(u"下次启动"_s)) << msgCalls[0].message.toStdString();
    EXPECT_FALSE(QDir(unsaved).exists());

    // The journal cannot be written either: the text goes to the unsaved folder, and when the
    // session ends nobody is asked.
    ASSERT_TRUE(QDir().rmdir(dataFolder + u'/' + key));
    QDir(journal->folder()).removeRecursively();
    BuildWithJournal(); // a new default page
    // The first folder cannot be made: the next one takes the text.
    WriteBytes(root.filePath(u"file"_s), "not a folder");
    form->Pages().SetUnsavedFolders({root.filePath(u"file/unsaved"_s), unsaved});
    Show();
    msgCalls.clear();
    Type(u"one"_s);
    BlockWithFolder(store->fileName(0));
    BlockWithFile(QDir::cleanPath(journal->folder()));
    {
        const TUnattendedDialogs::TScope unattended(unattendedDialogs);
        form->EndSession();
    }
    EXPECT_TRUE(msgCalls.isEmpty());
    const QStringList copies = QDir(unsaved).entryList(QDir::Files);
    ASSERT_EQ(copies.size(), 1);
    const QString copy = unsaved + u'/' + copies[0];
    EXPECT_TRUE(copies[0].startsWith(u"默认页 "_s)) << copies[0].toStdString();
    EXPECT_EQ(ReadTextFile(copy), u"one\r\n"_s);
    // A later end of the run keeps the newer text in the same file, and says where.
    Type(u" two"_s);
    Release();
    EXPECT_EQ(QDir(unsaved).entryList(QDir::Files), copies);
    EXPECT_EQ(ReadTextFile(copy), u"one two\r\n"_s);
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_TRUE(msgCalls[0].message.contains(copy)) << msgCalls[0].message.toStdString();
}

TEST_F(JournalTest, WithoutAWritableDataFolderNoPageIsMadeAndJournalsWait)
{
    journal = std::make_unique<TPageJournal>(root.filePath(u"elsewhere"_s));
    journal->Write(u"gone.txt"_s, u"orphan text"_s);
    journal->Flush();
    BuildWithJournal();
    Show();
    BlockWithFile(dataFolder);
    Key(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_EQ(msgCalls[0].kind, MsgBoxKind::Error);
    EXPECT_EQ(form->PageCount(), 1) << "no tab without its file";
    EXPECT_EQ(store->count(), 1);

    // A journal that needs a page of its own stays where it is until one can be made.
    const TJournalRecovery recovery = form->Pages().RecoverJournal();
    EXPECT_TRUE(recovery.recovered.isEmpty());
    ASSERT_EQ(recovery.notPlaced.size(), 1);
    EXPECT_TRUE(TPageJournal::RecoveryMessage(recovery).contains(journal->FilePath(u"gone.txt"_s)));
    EXPECT_EQ(form->PageCount(), 1);
    EXPECT_EQ(OnDisk().value(u"gone.txt"_s), u"orphan text"_s);
}

} // namespace
