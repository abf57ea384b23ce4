// The page set of the note window: page commands through their keys, the rules for titles,
// deleting and renaming, the page keys, dragging tabs, and what reaches the page files.
#include "MainFormFixture.h"

#include "TestSupport.h"
#include "core/TextFile.h"
#include "notes/ui/PadMemo.h"
#include "notes/ui/PageSet.h"
#include "widgets/InputFrm.h"
#include "widgets/Layer.h"
#include "widgets/LayerList.h"
#include "widgets/PadTabSet.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kNew = u"新建页"_s;
const QString kDefault = u"默认页"_s;

QString Numbered(int n)
{
    return u"新建页(%1)"_s.arg(n);
}

// Answers the next rename dialog with text (OK) or cancels it (no text), recording what the
// dialog showed.
struct RenameAnswer
{
    QString caption, prompt, shown;
    int calls = 0;
};

void AnswerRename(FakeDialogService& dialogs, RenameAnswer& seen, std::optional<QString> answer)
{
    dialogs.modal = [&seen, answer](QDialog& dialog) {
        auto* input = qobject_cast<TInputForm*>(&dialog);
        EXPECT_NE(input, nullptr);
        if (!input)
            return int(QDialog::Rejected);
        ++seen.calls;
        seen.caption = input->windowTitle();
        seen.prompt = input->PromptLabel()->text();
        seen.shown = input->ValueEdit()->text();
        if (!answer)
            return int(QDialog::Rejected);
        input->ValueEdit()->setText(*answer);
        return int(QDialog::Accepted);
    };
}

class PageSetTest : public MainFormTest
{
protected:
    void SetUp() override
    {
        MainFormTest::SetUp();
        Build();
        Show();
    }

    // Adds pages with Ctrl+N until there are count.
    void PagesUpTo(int count)
    {
        while (form->PageCount() < count)
            Key(Qt::Key_N, Qt::ControlModifier);
    }

    void SendMouse(QWidget* widget, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
                   Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, QPointF(pos), QPointF(pos), widget->mapToGlobal(QPointF(pos)), button,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }

    // The events of a double click, sent directly (QTest's leaves the button marked as held).
    void DoubleClick(QWidget* widget, const QPoint& pos)
    {
        SendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
        SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
        SendMouse(widget, QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
        SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    }
};

TEST_F(PageSetTest, EmptyFolderStartsWithTheDefaultPageAndItsFile)
{
    ExpectOrders({kDefault});
    EXPECT_EQ(form->CurrentEditor()->PageText(), QString());
    EXPECT_EQ(ReadBytes(store->fileName(0)), Utf16Le(u"0\r\n默认页\r\n\r\n"_s));
}

TEST_F(PageSetTest, NewPageTitlesCountUpAndFillTheFirstGap)
{
    // Ctrl+N typed into the editor creates pages: the command wins over the editor's key.
    Key(Qt::Key_N, Qt::ControlModifier);
    Key(Qt::Key_N, Qt::ControlModifier);
    Key(Qt::Key_N, Qt::ControlModifier);
    ExpectOrders({kDefault, kNew, Numbered(1), Numbered(2)});
    EXPECT_EQ(form->PageIndex(), 3);
    EXPECT_EQ(QApplication::focusWidget(), form->CurrentEditor()) << "the new page takes the focus";

    // A gap in the numbers is filled first.
    RenameAnswer seen;
    form->TabSet()->SetTabIndex(2);
    AnswerRename(dialogs, seen, u"Gap"_s);
    Key(Qt::Key_F2);
    Key(Qt::Key_N, Qt::ControlModifier);
    ExpectOrders({kDefault, kNew, u"Gap"_s, Numbered(2), Numbered(1)});

    // Renaming the plain title away frees it for the next page.
    form->TabSet()->SetTabIndex(1);
    AnswerRename(dialogs, seen, u"First"_s);
    Key(Qt::Key_F2);
    Key(Qt::Key_N, Qt::ControlModifier);
    ExpectOrders({kDefault, u"First"_s, u"Gap"_s, Numbered(2), Numbered(1), kNew});
}

TEST_F(PageSetTest, KeysTypedRightAfterCtrlNGoIntoTheNewPage)
{
    // No event processing in between, as when keys arrive in one burst.
    Type(u"old"_s);
    Key(Qt::Key_N, Qt::ControlModifier);
    Type(u"new"_s);
    EXPECT_EQ(form->EditorAt(0)->PageText(), u"old"_s);
    EXPECT_EQ(form->EditorAt(1)->PageText(), u"new"_s);
    EXPECT_TRUE(form->EditorAt(1)->isVisible());
    EXPECT_FALSE(form->EditorAt(0)->isVisible());
}

TEST_F(PageSetTest, NewPageTitlesCompareWholeTitlesWithCase)
{
    RenameAnswer seen;
    AnswerRename(dialogs, seen, u"新建页 "_s);
    Key(Qt::Key_F2);
    Key(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(Tabs(), (QStringList{u"新建页 "_s, kNew}));
}

TEST_F(PageSetTest, DeletingAnEmptyPageAsksNothingAndDeletesForGood)
{
    PagesUpTo(2);
    const QString file = store->fileName(1);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(msgCalls.isEmpty());
    EXPECT_TRUE(platform.trash.trashed.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(file));
    ExpectOrders({kDefault});
}

TEST_F(PageSetTest, DeletingAPageWithTextAsksAndNoKeepsIt)
{
    PagesUpTo(2);
    Type(u"keep me"_s);
    const QString file = store->fileName(1);
    msgAnswers = {MsgResultNo};
    // Ctrl+Del is also the editor's own "delete to the end of the word": the command wins.
    Key(Qt::Key_Home);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_EQ(msgCalls[0].message, u"确实删除页面 “新建页” 吗？"_s);
    EXPECT_EQ(msgCalls[0].kind, MsgBoxKind::Confirmation);
    EXPECT_EQ(msgCalls[0].buttons, (TMsgBoxButtons{MsgBoxButton::Yes, MsgBoxButton::No}));
    EXPECT_EQ(msgCalls[0].owner, form.get());
    EXPECT_EQ(form->CurrentEditor()->PageText(), u"keep me"_s);
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_TRUE(platform.trash.trashed.isEmpty());
    ExpectOrders({kDefault, kNew});
}

TEST_F(PageSetTest, DeletingAPageWithTextMovesItToTheTrashOnYes)
{
    PagesUpTo(3);
    TagEditors();
    form->TabSet()->SetTabIndex(1);
    Type(u"x"_s);
    const QString file = store->fileName(1);
    msgAnswers = {MsgResultYes};
    Key(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_EQ(platform.trash.trashed, QStringList{file});
    // The trash gets the page as the user saw it, typed text included.
    EXPECT_TRUE(platform.trash.trashedBytes.value(0).contains(Utf16Le(u"x"_s).mid(2)));
    EXPECT_FALSE(QFileInfo::exists(file));
    // The page that moved into the position is the current one.
    ExpectOrders({kDefault, Numbered(1)});
    EXPECT_EQ(form->PageIndex(), 1);
    EXPECT_EQ(form->CurrentEditor()->property("page").toString(), Numbered(1));
}

TEST_F(PageSetTest, APageTheTrashRefusesStaysAndTheUserIsTold)
{
    PagesUpTo(2);
    Type(u"still here"_s);
    const QString file = store->fileName(1);
    platform.trash.succeed = false;
    msgAnswers = {MsgResultYes};
    Key(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(msgCalls.size(), 2);
    EXPECT_EQ(msgCalls[1].kind, MsgBoxKind::Error);
    EXPECT_TRUE(msgCalls[1].message.contains(u"回收站"_s));
    EXPECT_TRUE(QFileInfo::exists(file));
    ExpectOrders({kDefault, kNew});
    EXPECT_EQ(form->CurrentEditor()->PageText(), u"still here"_s);
}

TEST_F(PageSetTest, ShiftAltDelDeletesAPageWithTextForGood)
{
    PagesUpTo(2);
    Type(u"gone"_s);
    const QString file = store->fileName(1);
    msgAnswers = {MsgResultYes};
    Key(Qt::Key_Delete, Qt::ShiftModifier | Qt::AltModifier);
    ASSERT_EQ(msgCalls.size(), 1);
    EXPECT_TRUE(platform.trash.trashed.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(file));
    ExpectOrders({kDefault});
}

TEST_F(PageSetTest, DeletingTheOnlyPageLeavesANewDefaultPage)
{
    RenameAnswer seen;
    AnswerRename(dialogs, seen, u"Only"_s);
    Key(Qt::Key_F2);
    const QString oldFile = store->fileName(0);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    ExpectOrders({kDefault});
    EXPECT_NE(store->fileName(0), oldFile);
    EXPECT_FALSE(QFileInfo::exists(oldFile));
    EXPECT_EQ(form->CurrentEditor()->PageText(), QString());
    EXPECT_EQ(QDir(dataFolder).entryList(QDir::Files).size(), 1);
}

TEST_F(PageSetTest, DeletingTheLastOfSeveralSelectsTheNewLast)
{
    PagesUpTo(3);
    TagEditors();
    ASSERT_EQ(form->PageIndex(), 2);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    ExpectOrders({kDefault, kNew});
    EXPECT_EQ(form->PageIndex(), 1);
    EXPECT_EQ(form->CurrentEditor()->property("page").toString(), kNew);
    EXPECT_TRUE(form->CurrentEditor()->isVisible());
}

TEST_F(PageSetTest, F2RenamesTabAndFileAndCancelChangesNothing)
{
    PagesUpTo(2);
    RenameAnswer seen;
    AnswerRename(dialogs, seen, std::nullopt);
    const QByteArray before = ReadBytes(store->fileName(1));
    Key(Qt::Key_F2);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.caption, u"修改页面标题"_s);
    EXPECT_EQ(seen.prompt, u"标题:"_s);
    EXPECT_EQ(seen.shown, kNew);
    EXPECT_EQ(Tabs(), (QStringList{kDefault, kNew}));
    EXPECT_EQ(ReadBytes(store->fileName(1)), before);

    AnswerRename(dialogs, seen, u"Plans"_s);
    Key(Qt::Key_F2);
    EXPECT_EQ(seen.calls, 2);
    ExpectOrders({kDefault, u"Plans"_s});
    EXPECT_EQ(ReadBytes(store->fileName(1)), Utf16Le(u"1\r\nPlans\r\n\r\n"_s));
}

TEST_F(PageSetTest, RenameKeepsTheUnsavedTextOfThePage)
{
    Type(u"draft"_s);
    RenameAnswer seen;
    AnswerRename(dialogs, seen, u"Renamed"_s);
    Key(Qt::Key_F2);
    EXPECT_EQ(FileLines(0), (QStringList{u"0"_s, u"Renamed"_s, QString()}));
    EXPECT_EQ(form->CurrentEditor()->PageText(), u"draft"_s);
    EXPECT_TRUE(form->CurrentEditor()->Modified());
}

TEST_F(PageSetTest, AltDigitsSelectExistingPagesOnlyAndTypeNothing)
{
    PagesUpTo(3);
    form->TabSet()->SetTabIndex(0);
    Key('5', Qt::AltModifier);
    EXPECT_EQ(form->PageIndex(), 0);
    Key('0', Qt::AltModifier);
    EXPECT_EQ(form->PageIndex(), 0);
    Key('3', Qt::AltModifier);
    EXPECT_EQ(form->PageIndex(), 2);
    EXPECT_EQ(form->LayerList()->ActiveLayerIndex(), 2);
    for (int i = 0; i < form->PageCount(); ++i)
        EXPECT_EQ(form->EditorAt(i)->PageText(), QString()) << "page " << i;

    PagesUpTo(9);
    form->TabSet()->SetTabIndex(1);
    Key('0', Qt::AltModifier);
    EXPECT_EQ(form->PageIndex(), 1) << "no tenth page yet";
    PagesUpTo(10);
    form->TabSet()->SetTabIndex(1);
    Key('0', Qt::AltModifier);
    EXPECT_EQ(form->PageIndex(), 9);
    Key(Qt::Key_Home, Qt::AltModifier);
    EXPECT_EQ(form->PageIndex(), 0);
    Key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(form->PageIndex(), 9);
    Key(Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(form->PageIndex(), 0);
    Key(Qt::Key_End, Qt::AltModifier);
    EXPECT_EQ(form->PageIndex(), 9);
    EXPECT_EQ(form->CurrentEditor()->PageText(), QString());
    // Keypad digits are no page keys.
    Key(Qt::Key_1, Qt::AltModifier | Qt::KeypadModifier);
    EXPECT_EQ(form->PageIndex(), 9);
}

TEST_F(PageSetTest, CtrlTabWrapsForwardAndCtrlShiftTabBackward)
{
    PagesUpTo(3);
    ASSERT_EQ(form->PageIndex(), 2);
    Key(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(form->PageIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), form->CurrentEditor());
    Key(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(form->PageIndex(), 1);
    Key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->PageIndex(), 0);
    Key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->PageIndex(), 2);
    EXPECT_EQ(form->LayerList()->ActiveLayerIndex(), 2);
    for (int i = 0; i < form->PageCount(); ++i)
        EXPECT_EQ(form->EditorAt(i)->PageText(), QString()) << "no tab character in page " << i;
}

TEST_F(PageSetTest, DraggingATabMovesItsEditorAndFileAndSurvivesARestart)
{
    PagesUpTo(3);
    for (int i = 0; i < 3; ++i) {
        form->TabSet()->SetTabIndex(i);
        Type(u"text %1"_s.arg(i));
    }
    TagEditors();
    form->SaveModifiedPages();
    TPadTabSet* strip = form->TabSet();
    ASSERT_FALSE(strip->TabRect(2).isEmpty());

    // Grab tab 0 and drag it over the right end of tab 1, then of tab 2.
    const QPoint grab = strip->TabRect(0).center();
    SendMouse(strip, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(form->PageIndex(), 0);
    SendMouse(strip, QEvent::MouseMove, grab + QPoint(QApplication::startDragDistance() + 1, 0), Qt::NoButton,
              Qt::LeftButton);
    for (int target = 1; target <= 2; ++target) {
        const QRect r = strip->TabRect(target);
        SendMouse(strip, QEvent::MouseMove, QPoint(r.right() - 1, r.center().y()), Qt::NoButton,
                  Qt::LeftButton);
        EXPECT_EQ(form->PageIndex(), target);
    }
    SendMouse(strip, QEvent::MouseButtonRelease, strip->TabRect(2).center(), Qt::LeftButton, Qt::NoButton);

    ExpectOrders({kNew, Numbered(1), kDefault});
    EXPECT_EQ(form->CurrentEditor()->PageText(), u"text 0"_s);
    EXPECT_EQ(FileLines(2), (QStringList{u"2"_s, kDefault, QString(), u"text 0"_s}));
    EXPECT_EQ(FileLines(0), (QStringList{u"0"_s, kNew, QString(), u"text 1"_s}));

    Restart();
    EXPECT_EQ(Tabs(), (QStringList{kNew, Numbered(1), kDefault}));
    EXPECT_EQ(form->EditorAt(0)->PageText(), u"text 1\n"_s);
    EXPECT_EQ(form->EditorAt(1)->PageText(), u"text 2\n"_s);
    EXPECT_EQ(form->EditorAt(2)->PageText(), u"text 0\n"_s);
}

TEST_F(PageSetTest, TabMovedSignalMovesLayerAndStoreTogether)
{
    PagesUpTo(4);
    TagEditors();
    form->TabSet()->SetTabIndex(3);
    // What the strip does for one step of a drag: report, move its caption, select quietly.
    emit form->TabSet()->OnTabMoved(3, 0);
    form->TabSet()->Tabs().Move(3, 0);
    EXPECT_EQ(form->CurrentEditor()->property("page").toString(), Numbered(2))
        << "the moved page stays active";
    form->TabSet()->SetTabIndex(0);
    ExpectOrders({Numbered(2), kDefault, kNew, Numbered(1)});
    // Invalid moves change nothing.
    emit form->TabSet()->OnTabMoved(0, 7);
    emit form->TabSet()->OnTabMoved(-1, 0);
    emit form->TabSet()->OnTabMoved(2, 2);
    EXPECT_EQ(store->count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form->EditorAt(i)->property("page").toString(), Tabs()[i]);
}

TEST_F(PageSetTest, SaveModifiedPagesWritesOnlyModifiedPages)
{
    PagesUpTo(3);
    // Page 0's file is put into another encoding by hand: it stays so unless it is rewritten.
    const QByteArray utf8 = "\xEF\xBB\xBF"
                            "0\r\n"
                            "\xE9\xBB\x98\xE8\xAE\xA4\xE9\xA1\xB5\r\n\r\n";
    WriteBytes(store->fileName(0), utf8);
    const QByteArray page2 = ReadBytes(store->fileName(2));
    form->TabSet()->SetTabIndex(1);
    Type(u"changed"_s);
    Key(Qt::Key_Return);
    Type(u"two"_s);
    EXPECT_TRUE(form->EditorAt(1)->Modified());
    form->SaveModifiedPages();
    EXPECT_EQ(ReadBytes(store->fileName(0)), utf8);
    EXPECT_EQ(ReadBytes(store->fileName(1)), Utf16Le(u"1\r\n新建页\r\n\r\nchanged\r\ntwo\r\n"_s));
    EXPECT_EQ(ReadBytes(store->fileName(2)), page2);
    EXPECT_FALSE(form->EditorAt(1)->Modified());
    // Nothing modified: nothing written.
    WriteBytes(store->fileName(1), utf8);
    form->SaveModifiedPages();
    EXPECT_EQ(ReadBytes(store->fileName(1)), utf8);
}

TEST_F(PageSetTest, RightClickOnATabOpensThePopupWithoutSelecting)
{
    PagesUpTo(2);
    TPadTabSet* strip = form->TabSet();
    const QPoint onFirst = strip->TabRect(0).center();
    SendMouse(strip, QEvent::MouseButtonPress, onFirst, Qt::RightButton, Qt::RightButton);
    SendMouse(strip, QEvent::MouseButtonRelease, onFirst, Qt::RightButton, Qt::NoButton);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, onFirst, strip->mapToGlobal(onFirst));
    QApplication::sendEvent(strip, &menuEvent);
    EXPECT_TRUE(form->TabSetPopupMenu()->isVisible());
    EXPECT_EQ(form->PageIndex(), 1);
    form->TabSetPopupMenu()->close();
    // Its Delete acts on the current page.
    form->Commands().action(Command::DeletePage)->trigger();
    ExpectOrders({kDefault});
}

TEST_F(PageSetTest, DoubleClickOnTheFreeAreaCreatesAPage)
{
    TPadTabSet* strip = form->TabSet();
    const QRect last = strip->TabRect(0);
    const QPoint free(last.right() + 30, last.center().y());
    ASSERT_LT(free.x(), strip->AvailableWidth());
    ASSERT_LT(strip->TabAt(free), 0);
    platform.windowSystem.cursor = strip->mapToGlobal(free);
    DoubleClick(strip, free);
    ExpectOrders({kDefault, kNew});
}

class DblClickActionTest : public PageSetTest, public ::testing::WithParamInterface<int>
{
protected:
    void SetUp() override
    {
        beforeForm = [](TAppConfigMgr& c) { c.DblClickTitleActionType = quint8(GetParam()); };
        PageSetTest::SetUp();
    }
};

TEST_P(DblClickActionTest, DoubleClickOnATabActsOnThatPageBySetting)
{
    PagesUpTo(3);
    TPadTabSet* strip = form->TabSet();
    // The first click of the double click selects the tab under the pointer.
    const QPoint onTab = strip->TabRect(1).center();
    platform.windowSystem.cursor = strip->mapToGlobal(onTab);
    RenameAnswer seen;
    AnswerRename(dialogs, seen, u"Clicked"_s);
    DoubleClick(strip, onTab);
    switch (GetParam()) {
    case 1:
        ExpectOrders({kDefault, Numbered(1)});
        EXPECT_EQ(seen.calls, 0);
        break;
    case 2:
        ExpectOrders({kDefault, u"Clicked"_s, Numbered(1)});
        EXPECT_EQ(seen.calls, 1);
        break;
    default:
        ExpectOrders({kDefault, kNew, Numbered(1)});
        EXPECT_EQ(form->PageIndex(), 1);
        EXPECT_EQ(seen.calls, 0);
        break;
    }
    EXPECT_TRUE(msgCalls.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Types, DblClickActionTest, ::testing::Values(0, 1, 2, 7));

TEST_F(PageSetTest, DoubleClickUsesThePointerPositionNotTheClickedPlace)
{
    // The double-click handler reads the pointer itself: over the free area it makes a page
    // even when the event says otherwise (as when the pointer moved on in between).
    PagesUpTo(2);
    TPadTabSet* strip = form->TabSet();
    const QRect last = strip->TabRect(1);
    platform.windowSystem.cursor = strip->mapToGlobal(QPoint(last.right() + 30, last.center().y()));
    DoubleClick(strip, strip->TabRect(0).center());
    EXPECT_EQ(Tabs(), (QStringList{kDefault, kNew, Numbered(1)}));
}

} // namespace

TEST_F(PageSetTest, PagesNeverShownKeepTheirTextThroughMovesDeletesSavesAndRestarts)
{
    PagesUpTo(5);
    const QStringList titles = Tabs();
    for (int i = 0; i < 5; ++i)
        store->SavePage(i, titles[i], u"text %1"_s.arg(i));
    form->TabSet()->SetTabIndex(0);
    Restart();
    // Only the page shown has its editor; the others are made when first needed.
    EXPECT_TRUE(form->Pages().HasEditor(0));
    for (int i = 1; i < 5; ++i)
        EXPECT_FALSE(form->Pages().HasEditor(i)) << "page " << i;

    // Pages 4 and 2, never shown, are moved and deleted; page 0 is changed.
    emit form->TabSet()->OnTabMoved(4, 1);
    form->TabSet()->Tabs().Move(4, 1);
    form->Pages().RemovePage(3, false);
    Type(u"more "_s);
    form->SaveModifiedPages();
    EXPECT_FALSE(form->Pages().HasEditor(3));
    EXPECT_EQ(FileLines(3), (QStringList{u"3"_s, titles[3], QString(), u"text 3"_s}));

    Restart();
    EXPECT_EQ(Tabs(), (QStringList{titles[0], titles[4], titles[1], titles[3]}));
    const QStringList texts{u"more text 0\n"_s, u"text 4\n"_s, u"text 1\n"_s, u"text 3\n"_s};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(form->EditorAt(i)->PageText(), texts[i]) << "page " << i;
}
