// The search over all pages from the note window: pages known only from the page index are
// read for it without getting an editor, an editor's unsaved text is searched as it stands,
// and a chosen match shows in its page, selected, while the window stays open for F3.
#include "MainFormFixture.h"

#include "TestClock.h"
#include "TestSupport.h"
#include "core/TextFile.h"
#include "notes/PageSearcher.h"
#include "notes/SearchResults.h"
#include "notes/ui/PadMemo.h"
#include "notes/ui/PageSet.h"
#include "notes/ui/SearchAllDlg.h"
#include "notes/ui/SearchAllPages.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

class SearchAllTest : public MainFormTest
{
protected:
    QHash<QString, QByteArray> Files() const
    {
        QHash<QString, QByteArray> files;
        for (const QString& path : seeded)
            files.insert(path, ReadBytes(path));
        return files;
    }
    // Types query into the open search window and waits until its search has ended.
    void Search(const QString& query)
    {
        TSearchAllPages* search = form->findChild<TSearchAllPages*>();
        ASSERT_NE(search, nullptr);
        bool finished = false;
        QObject context;
        QObject::connect(&search->Searcher(), &TPageSearcher::finished, &context,
                         [&](int ended, int, int, const QStringList&) {
                             finished = ended == form->findChild<TSearchAllPages*>()->Searcher().Current();
                         });
        QLineEdit* edit = dialog()->findChild<QLineEdit*>(u"SearchEdit"_s);
        edit->selectAll();
        // Keys where the test library can type them; Chinese arrives as an input method's text.
        if (query.toLatin1() == query.toUtf8())
            QTest::keyClicks(edit, query);
        else
            edit->insert(query);
        ASSERT_TRUE(WaitFor([&] { return finished; }, 20000));
        QApplication::processEvents();
    }
    TSearchAllDialog* dialog() const { return form->findChild<TSearchAllDialog*>(); }
    TSearchResults& results() const { return form->findChild<TSearchAllPages*>()->Results(); }
    QString status() const { return dialog()->findChild<QLabel*>(u"StatusLabel"_s)->text(); }
    QStringList rows() const
    {
        QStringList texts;
        for (int row = 0; row < results().rowCount(); ++row)
            texts.append(results().RowText(row));
        return texts;
    }
    QString selected() const { return form->Pages().CurrentEditor()->textCursor().selectedText(); }
};

TEST_F(SearchAllTest, TheCommandFollowsTheFindCommandsWithAKeyOfItsOwn)
{
    Build();
    QAction* command = form->Commands().action(Command::SearchAllPages);
    EXPECT_EQ(command->text(), u"在所有页面中查找(&L)..."_s);
    EXPECT_EQ(command->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    const QList<QAction*> edit = form->menuBar()->findChild<QMenu*>(u"EditMenu"_s)->actions();
    EXPECT_EQ(edit.indexOf(command), edit.indexOf(form->Commands().action(Command::Replace)) + 1);
    // No two commands of the note window answer the same key.
    QHash<QKeySequence, QString> owners;
    for (QAction* action : form->Commands().all())
        for (const QKeySequence& key : action->shortcuts()) {
            EXPECT_EQ(owners.value(key, action->objectName()), action->objectName())
                << key.toString().toStdString();
            owners.insert(key, action->objectName());
        }
}

TEST_F(SearchAllTest, FindsWordsOnUnreadPagesAndInUnsavedEditsAndShowsTheChosenMatch)
{
    SeedPage(u"a.txt"_s, 0, u"Alpha"_s, u"first page"_s);
    SeedPage(u"b.txt"_s, 1, u"Bravo"_s, u"an Apple a day\r\nkeeps the doctor away\r\nＡＰＰＬＥ pie"_s);
    SeedPage(u"c.txt"_s, 2, u"Charlie"_s, u"cherry only"_s);
    SeedPage(u"d.txt"_s, 3, u"苹果 Delta"_s, u"no fruit here\r\nbut a doctor"_s);
    StartWritingPageIndex();
    // This start knows the pages from the index: only the first is read, when it is shown.
    Build();
    Show();
    TPageSet& pages = form->Pages();
    ASSERT_EQ(pages.PageCount(), 4);
    pages.SelectPage(2);
    TPadMemo* charlie = pages.CurrentEditor();
    charlie->setFocus();
    charlie->moveCursor(QTextCursor::EndOfLine);
    QTest::keyClicks(charlie, u" and an apple for the doctor"_s);
    ASSERT_TRUE(charlie->Modified());
    pages.SelectPage(0);
    pages.CurrentEditor()->setFocus();
    const QHash<QString, QByteArray> before = Files();

    Key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_NE(dialog(), nullptr);
    ASSERT_TRUE(dialog()->isVisible());
    ASSERT_TRUE(WaitFor(
        [&] { return QApplication::focusWidget() == dialog()->findChild<QLineEdit*>(u"SearchEdit"_s); }));

    Search(u"apple DOCTOR"_s);
    EXPECT_EQ(rows(), (QStringList{u"Bravo  1: an Apple a day"_s, u"Bravo  2: keeps the doctor away"_s,
                                   u"Bravo  3: ＡＰＰＬＥ pie"_s,
                                   u"Charlie  1: cherry only and an apple for the doctor"_s,
                                   u"Charlie  1: cherry only and an apple for the doctor"_s}));
    EXPECT_EQ(status(), u"“apple DOCTOR”：5 处匹配，2 个页面"_s);
    EXPECT_EQ(dialog()->windowTitle(), u"在所有页面中查找 - “apple DOCTOR”：5 处匹配，2 个页面"_s);
    QPoint highlight;
    results().RowText(2, &highlight);
    EXPECT_EQ(highlight, QPoint(10, 5)) << "the full-width word is highlighted";
    // Searching read no page into an editor and wrote nothing.
    EXPECT_FALSE(pages.HasEditor(1));
    EXPECT_FALSE(pages.HasEditor(3));
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(pages.PageIndex(), 0);

    // A word in the title and one in the text; Chinese as it is.
    Search(u"苹果 doctor"_s);
    EXPECT_EQ(rows(), (QStringList{u"苹果 Delta  (标题)"_s, u"苹果 Delta  2: but a doctor"_s}));
    Search(u"cherry zebra"_s);
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(status(), u"找不到“cherry zebra”"_s);

    // Enter on the second match shows its page with the match selected; the window stays.
    Search(u"apple"_s);
    ASSERT_EQ(results().rowCount(), 3);
    Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    EXPECT_EQ(pages.PageIndex(), 1);
    EXPECT_EQ(selected(), u"ＡＰＰＬＥ"_s);
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_EQ(QApplication::activeWindow(), dialog());
    // F3 goes on to the next match, in the next page: the unsaved text's place.
    Key(Qt::Key_F3);
    EXPECT_EQ(pages.PageIndex(), 2);
    EXPECT_EQ(pages.CurrentEditor()->SelStart(), 19);
    EXPECT_EQ(selected(), u"apple"_s);
    // From the note window too, and Shift+F3 back.
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    pages.CurrentEditor()->setFocus();
    Key(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(pages.PageIndex(), 1);
    EXPECT_EQ(selected(), u"ＡＰＰＬＥ"_s);
    Key(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(selected(), u"Apple"_s);

    // A match edited away since is looked for again nearby.
    pages.SelectPage(2);
    pages.CurrentEditor()->SetSelection(0, 0);
    pages.CurrentEditor()->textCursor().insertText(u"ripe "_s);
    QListView* list = dialog()->findChild<QListView*>(u"ResultList"_s);
    const QPoint row2 = list->visualRect(results().index(2)).center();
    // A double click is two clicks close together; the second one arrives as a double click.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row2);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row2);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, row2);
    EXPECT_EQ(pages.PageIndex(), 2);
    EXPECT_EQ(pages.CurrentEditor()->SelStart(), 24);
    EXPECT_EQ(selected(), u"apple"_s);

    dialog()->close();
    pages.CurrentEditor()->SetModified(false);
    EXPECT_EQ(Files(), before);
}

} // namespace
