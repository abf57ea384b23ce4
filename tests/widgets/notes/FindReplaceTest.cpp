#include "notes/ui/FindReplace.h"
#include "notes/SearchText.h"
#include "notes/ui/PadMemo.h"
#include "widgets/BaseFrm.h"
#include "widgets/FindDlg.h"
#include "widgets/ReplaceDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

template <typename T> T* Child(QWidget* parent, const QString& name)
{
    T* child = parent->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name.toStdString();
    return child;
}

class FindReplaceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static const bool fonts = (InstallFontSubstitutions(), true);
        Q_UNUSED(fonts);
        owner.resize(400, 300);
        auto* layout = new QVBoxLayout(&owner);
        memo = new TPadMemo(&owner);
        layout->addWidget(memo);
        current = memo;
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        finder = std::make_unique<TFindReplace>(
            &owner, [this] { return current; }, [this](const QString& message) { messages.append(message); });
    }

    void TearDown() override { finder.reset(); }

    void Load(const QString& text, int start = 0, int length = 0)
    {
        memo->SetPageText(text);
        memo->SetSelection(start, length);
    }

    // The selection as (1-based start, length), the way the searches report positions.
    std::pair<int, int> Selection() const { return {memo->SelStart() + 1, memo->SelLength()}; }

    TFindDialog* OpenFind()
    {
        finder->FindActionExecute();
        TFindDialog* dialog = finder->FindDialog();
        EXPECT_TRUE(dialog->isVisible());
        return dialog;
    }

    TReplaceDialog* OpenReplace()
    {
        finder->ReplaceActionExecute();
        TReplaceDialog* dialog = finder->ReplaceDialog();
        EXPECT_TRUE(dialog->isVisible());
        return dialog;
    }

    static void TypeInto(QWidget* dialog, const QString& name, const QString& text)
    {
        auto* edit = Child<QLineEdit>(dialog, name);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    static void Click(QWidget* dialog, const QString& name)
    {
        auto* button = Child<QAbstractButton>(dialog, name);
        ASSERT_TRUE(button->isEnabled()) << name.toStdString();
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    }

    QWidget owner;
    TPadMemo* memo = nullptr;
    TPadMemo* current = nullptr;
    QStringList messages;
    std::unique_ptr<TFindReplace> finder;
};

TEST_F(FindReplaceTest, FindNextWalksDownwardsWithoutWrapping)
{
    Load(u"abcabc"_s);
    TFindDialog* dialog = OpenFind();
    EXPECT_EQ(dialog->windowTitle(), u"查找"_s);
    EXPECT_TRUE(Child<QRadioButton>(dialog, u"DownRadio"_s)->isChecked());
    TypeInto(dialog, u"FindEdit"_s, u"bc"_s);
    Click(dialog, u"FindNextButton"_s);
    EXPECT_EQ(Selection(), std::make_pair(2, 2));
    Click(dialog, u"FindNextButton"_s);
    EXPECT_EQ(Selection(), std::make_pair(5, 2));
    EXPECT_TRUE(messages.isEmpty());
    Click(dialog, u"FindNextButton"_s);
    EXPECT_EQ(messages, QStringList{u"找不到“bc”"_s});
    EXPECT_EQ(Selection(), std::make_pair(5, 2)); // the selection stays
    EXPECT_EQ(finder->FindText(), u"bc"_s);
    EXPECT_EQ(finder->FindOptions(), int(soDown));
    EXPECT_EQ(memo->PageText(), u"abcabc"_s);
}

TEST_F(FindReplaceTest, FindUpwardsAndEnterInTheField)
{
    Load(u"abcabc"_s, 6);
    TFindDialog* dialog = OpenFind();
    Click(dialog, u"UpRadio"_s);
    EXPECT_FALSE(dialog->Down());
    TypeInto(dialog, u"FindEdit"_s, u"abc"_s);
    // Enter in the text field presses the default button, Find Next.
    QTest::keyClick(Child<QLineEdit>(dialog, u"FindEdit"_s), Qt::Key_Return);
    EXPECT_EQ(Selection(), std::make_pair(4, 3));
    QTest::keyClick(Child<QLineEdit>(dialog, u"FindEdit"_s), Qt::Key_Return);
    EXPECT_EQ(Selection(), std::make_pair(1, 3));
    EXPECT_TRUE(messages.isEmpty());
    Click(dialog, u"FindNextButton"_s);
    EXPECT_EQ(messages, QStringList{u"找不到“abc”"_s});
    EXPECT_EQ(finder->FindOptions(), 0);
}

TEST_F(FindReplaceTest, FindMatchCase)
{
    Load(u"xabcxABCx"_s);
    TFindDialog* dialog = OpenFind();
    TypeInto(dialog, u"FindEdit"_s, u"ABC"_s);
    Click(dialog, u"FindNextButton"_s);
    EXPECT_EQ(Selection(), std::make_pair(2, 3));

    Load(u"xabcx"_s);
    Click(dialog, u"MatchCaseCheck"_s);
    EXPECT_TRUE(dialog->MatchCase());
    Click(dialog, u"FindNextButton"_s);
    EXPECT_EQ(messages, QStringList{u"找不到“ABC”"_s});
    EXPECT_EQ(finder->FindOptions(), soDown | soMatchCase);
}

TEST_F(FindReplaceTest, FindTextLongerThanTheRestIsNotFound)
{
    Load(u"abcdef"_s, 4);
    TFindDialog* dialog = OpenFind();
    TypeInto(dialog, u"FindEdit"_s, u"efg"_s);
    Click(dialog, u"FindNextButton"_s);
    EXPECT_EQ(messages, QStringList{u"找不到“efg”"_s});
    EXPECT_EQ(Selection(), std::make_pair(5, 0));
}

TEST_F(FindReplaceTest, FindWorksAcrossLines)
{
    // Each line break is one unit in the editor; matches on later lines land where they are.
    Load(u"first line\nsecond line\nthird"_s);
    TFindDialog* dialog = OpenFind();
    TypeInto(dialog, u"FindEdit"_s, u"LINE"_s);
    Click(dialog, u"FindNextButton"_s);
    EXPECT_EQ(memo->textCursor().selectedText(), u"line"_s);
    EXPECT_EQ(memo->textCursor().blockNumber(), 0);
    Click(dialog, u"FindNextButton"_s);
    EXPECT_EQ(memo->textCursor().selectedText(), u"line"_s);
    EXPECT_EQ(memo->textCursor().blockNumber(), 1);
    EXPECT_EQ(memo->textCursor().positionInBlock(), 11);
}

TEST_F(FindReplaceTest, FindNextCommandAndButtonsWithoutText)
{
    Load(u"abc abc"_s);
    // Without a find text the command opens the dialog, whose button waits for a text.
    finder->FindNextActionExecute();
    TFindDialog* dialog = finder->FindDialog();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(Child<QPushButton>(dialog, u"FindNextButton"_s)->isEnabled());
    TypeInto(dialog, u"FindEdit"_s, u"abc"_s);
    EXPECT_TRUE(Child<QPushButton>(dialog, u"FindNextButton"_s)->isEnabled());
    Click(dialog, u"CancelButton"_s);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Selection(), std::make_pair(1, 0));

    finder->SetSearch(u"abc"_s, QString(), soDown);
    finder->FindNextActionExecute(); // F3
    EXPECT_EQ(Selection(), std::make_pair(1, 3));
    finder->FindNextActionExecute();
    EXPECT_EQ(Selection(), std::make_pair(5, 3));
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(FindReplaceTest, EscapeClosesTheDialogs)
{
    TFindDialog* find = OpenFind();
    QTest::keyClick(Child<QLineEdit>(find, u"FindEdit"_s), Qt::Key_Escape);
    EXPECT_FALSE(find->isVisible());
    TReplaceDialog* replace = OpenReplace();
    QTest::keyClick(Child<QLineEdit>(replace, u"ReplaceEdit"_s), Qt::Key_Escape);
    EXPECT_FALSE(replace->isVisible());
}

TEST_F(FindReplaceTest, CommandsDoNothingWithoutAPage)
{
    current = nullptr;
    finder->FindActionExecute();
    finder->ReplaceActionExecute();
    finder->SetSearch(u"a"_s, u"b"_s, soDown);
    finder->FindNextActionExecute();
    finder->FindNext();
    finder->ReplaceOne();
    finder->ReplaceAll();
    EXPECT_FALSE(finder->FindDialog()->isVisible());
    EXPECT_FALSE(finder->ReplaceDialog()->isVisible());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FindReplaceTest, DialogsStartWithTheLastFindText)
{
    Load(u"one two"_s);
    TFindDialog* find = OpenFind();
    TypeInto(find, u"FindEdit"_s, u"two"_s);
    Click(find, u"FindNextButton"_s);
    find->hide();
    TReplaceDialog* replace = OpenReplace();
    EXPECT_EQ(replace->windowTitle(), u"替换"_s);
    auto* edit = Child<QLineEdit>(replace, u"FindEdit"_s);
    EXPECT_EQ(edit->text(), u"two"_s);
    EXPECT_EQ(edit->selectedText(), u"two"_s);
}

TEST_F(FindReplaceTest, ReplaceSelectsFirstThenReplacesMatchAndSelectsNext)
{
    Load(u"xAbc-aBC-z"_s);
    TReplaceDialog* dialog = OpenReplace();
    TypeInto(dialog, u"FindEdit"_s, u"abc"_s);
    TypeInto(dialog, u"ReplaceEdit"_s, u"#"_s);
    // The first press only finds: the selection is not a match yet.
    Click(dialog, u"ReplaceButton"_s);
    EXPECT_EQ(memo->PageText(), u"xAbc-aBC-z"_s);
    EXPECT_EQ(Selection(), std::make_pair(2, 3));
    Click(dialog, u"ReplaceButton"_s);
    EXPECT_EQ(memo->PageText(), u"x#-aBC-z"_s);
    EXPECT_EQ(Selection(), std::make_pair(4, 3));
    EXPECT_TRUE(messages.isEmpty());
    Click(dialog, u"ReplaceButton"_s);
    EXPECT_EQ(memo->PageText(), u"x#-#-z"_s);
    EXPECT_EQ(messages, QStringList{u"找不到“abc”"_s});
    EXPECT_TRUE(memo->Modified());

    // Each replacement is a step of the editor's undo.
    memo->undo();
    EXPECT_EQ(memo->PageText(), u"x#-aBC-z"_s);
    memo->undo();
    EXPECT_EQ(memo->PageText(), u"xAbc-aBC-z"_s);
}

TEST_F(FindReplaceTest, ReplaceWithMatchCaseLeavesOtherCases)
{
    Load(u"Abc abc"_s, 0, 3);
    TReplaceDialog* dialog = OpenReplace();
    TypeInto(dialog, u"FindEdit"_s, u"abc"_s);
    TypeInto(dialog, u"ReplaceEdit"_s, u"X"_s);
    Click(dialog, u"MatchCaseCheck"_s);
    // "Abc" is selected but is no match with match case: it is kept, the next match selected.
    Click(dialog, u"ReplaceButton"_s);
    EXPECT_EQ(memo->PageText(), u"Abc abc"_s);
    EXPECT_EQ(Selection(), std::make_pair(5, 3));
    Click(dialog, u"ReplaceButton"_s);
    EXPECT_EQ(memo->PageText(), u"Abc X"_s);
    EXPECT_EQ(finder->FindOptions(), soDown | soMatchCase);
}

TEST_F(FindReplaceTest, ReplaceDialogAlwaysSearchesDownwards)
{
    Load(u"ab ab ab"_s, 3, 2);
    TFindDialog* find = OpenFind();
    Click(find, u"UpRadio"_s);
    find->hide();
    TReplaceDialog* dialog = OpenReplace();
    TypeInto(dialog, u"FindEdit"_s, u"ab"_s);
    Click(dialog, u"FindNextButton"_s);
    EXPECT_EQ(Selection(), std::make_pair(7, 2));
    EXPECT_EQ(finder->FindOptions(), int(soDown));
    EXPECT_EQ(memo->PageText(), u"ab ab ab"_s);
}

TEST_F(FindReplaceTest, ReplaceAll)
{
    Load(u"banana"_s, 3);
    TReplaceDialog* dialog = OpenReplace();
    TypeInto(dialog, u"FindEdit"_s, u"A"_s);
    TypeInto(dialog, u"ReplaceEdit"_s, u"b"_s);
    Click(dialog, u"ReplaceAllButton"_s);
    EXPECT_EQ(memo->PageText(), u"bbnbnb"_s);
    EXPECT_TRUE(memo->Modified());
    EXPECT_TRUE(messages.isEmpty());

    Load(u"aaaa\naa"_s);
    TypeInto(dialog, u"FindEdit"_s, u"aa"_s);
    TypeInto(dialog, u"ReplaceEdit"_s, u"x"_s);
    Click(dialog, u"ReplaceAllButton"_s);
    EXPECT_EQ(memo->PageText(), u"xx\nx"_s);
    EXPECT_EQ(memo->document()->blockCount(), 2);

    // One Undo brings the whole text back.
    memo->undo();
    EXPECT_EQ(memo->PageText(), u"aaaa\naa"_s);
}

TEST_F(FindReplaceTest, ReplaceAllThatChangesNothingReportsNotFound)
{
    Load(u"Banana"_s);
    TReplaceDialog* dialog = OpenReplace();
    TypeInto(dialog, u"FindEdit"_s, u"an"_s);
    TypeInto(dialog, u"ReplaceEdit"_s, u"an"_s);
    Click(dialog, u"ReplaceAllButton"_s);
    EXPECT_EQ(messages, QStringList{u"找不到“an”"_s});
    EXPECT_FALSE(memo->Modified());

    messages.clear();
    TypeInto(dialog, u"FindEdit"_s, u"b"_s);
    TypeInto(dialog, u"ReplaceEdit"_s, u"c"_s);
    Click(dialog, u"MatchCaseCheck"_s);
    Click(dialog, u"ReplaceAllButton"_s);
    EXPECT_EQ(messages, QStringList{u"找不到“b”"_s});
    EXPECT_EQ(memo->PageText(), u"Banana"_s);
    EXPECT_FALSE(memo->Modified());
}

TEST_F(FindReplaceTest, WorksOnWhicheverEditorIsCurrent)
{
    auto* other = new TPadMemo(&owner);
    owner.layout()->addWidget(other);
    other->SetPageText(u"zz yy zz"_s);
    Load(u"yy"_s);
    current = other;
    finder->SetSearch(u"zz"_s, u"q"_s, soDown);
    finder->FindNext();
    EXPECT_EQ(other->SelStart(), 0);
    EXPECT_EQ(other->SelLength(), 2);
    finder->ReplaceAll();
    EXPECT_EQ(other->PageText(), u"q yy q"_s);
    EXPECT_EQ(memo->PageText(), u"yy"_s);
}

// Every control lies inside its dialog, none overlaps another, and each caption fits its
// control. JV_SHOT_DIR names a folder for pictures of both dialogs.
TEST_F(FindReplaceTest, DialogLayout)
{
    const QString shots = qEnvironmentVariable("JV_SHOT_DIR");
    OpenFind()->SetFindText(u"内容"_s);
    OpenReplace()->SetFindText(u"abc"_s);
    for (TBaseForm* dialog :
         std::initializer_list<TBaseForm*>{finder->FindDialog(), finder->ReplaceDialog()}) {
        SCOPED_TRACE(dialog->objectName().toStdString());
        QCoreApplication::processEvents();
        const QList<QWidget*> controls = dialog->findChildren<QWidget*>();
        QList<QRect> rects;
        for (QWidget* control : controls) {
            if (!control->isVisible() || control->parentWidget() != dialog)
                continue;
            const QRect r = control->geometry();
            EXPECT_TRUE(dialog->rect().contains(r)) << control->objectName().toStdString();
            for (const QRect& other : rects)
                EXPECT_FALSE(r.intersects(other)) << control->objectName().toStdString();
            rects.append(r);
            if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                const QString caption = QString(button->text()).remove(u'&');
                EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(caption))
                    << button->text().toStdString();
            }
        }
        EXPECT_GE(rects.size(), 5);
        EXPECT_FALSE(dialog->findChildren<QCheckBox*>().isEmpty());
        const QPixmap picture = dialog->grab();
        EXPECT_FALSE(picture.isNull());
        if (!shots.isEmpty()) {
            QDir().mkpath(shots);
            EXPECT_TRUE(picture.save(shots + u'/' + dialog->objectName() + u".png"_s));
        }
    }
}

} // namespace
