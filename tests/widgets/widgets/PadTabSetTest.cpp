#include "TestSupport.h"
#include "WidgetTestSupport.h"

#include "widgets/ListError.h"
#include "widgets/PadTabSet.h"
#include "widgets/PickButton.h"
#include "widgets/ScrollButton.h"

#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

class PadTabSetTest : public WidgetTest
{
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        strip = std::make_unique<TPadTabSet>();
        QFont font(u"宋体"_s);
        font.setPixelSize(12);
        strip->setFont(font);
        strip->resize(400, 25);
        strip->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(strip.get()));
    }
    void TearDown() override
    {
        strip.reset();
        WidgetTest::TearDown();
    }
    int CaptionWidth(const QString& caption) const { return strip->fontMetrics().horizontalAdvance(caption); }
    QStringList Numbered(int count) const
    {
        QStringList captions;
        for (int i = 0; i < count; ++i)
            captions << u"页面%1"_s.arg(i);
        return captions;
    }
    std::unique_ptr<TPadTabSet> strip;
};

TEST_F(PadTabSetTest, TabWidthsAndRectangles)
{
    const QString longCaption = u"这是一个非常非常长的页面标题，放不下"_s;
    ASSERT_GT(CaptionWidth(longCaption) + 9, 100);
    strip->SetTabs({u"A"_s, longCaption, u"计划"_s});
    EXPECT_EQ(strip->TabWidth(0), CaptionWidth(u"A"_s) + 9);
    EXPECT_EQ(strip->TabWidth(1), 100);
    EXPECT_EQ(strip->TabRect(0), QRect(26, 2, CaptionWidth(u"A"_s) + 9, 23));
    EXPECT_EQ(strip->TabRect(1), QRect(26 + strip->TabWidth(0) + 2, 2, 100, 23));
    EXPECT_EQ(strip->TabRect(2).left(), strip->TabRect(1).right() + 1 + 2);
    EXPECT_EQ(strip->TabAt(strip->TabRect(1).center()), 1);
    EXPECT_EQ(strip->TabAt(QPoint(strip->TabRect(1).right() + 2, 10)), -1) << "the gap is no tab";
    EXPECT_EQ(strip->VisibleTabCount(), 3);
    EXPECT_EQ(strip->LeftButton()->pos(), QPoint(400 - 33, 3));
    EXPECT_EQ(strip->RightButton()->pos(), QPoint(400 - 18, 3));
    EXPECT_EQ(strip->PickButton()->geometry(), QRect(2, 2, 22, 18));

    // The caption is cut to the tab with "...".
    const QString shortened = ShortenCaption(longCaption, strip->fontMetrics(), 100 - 9);
    EXPECT_TRUE(shortened.endsWith(u"..."_s));
    EXPECT_LE(CaptionWidth(shortened), 91);
    EXPECT_GT(
        CaptionWidth(ShortenCaption(longCaption, strip->fontMetrics(), 100 - 9 + CaptionWidth(u"长"_s))), 91)
        << "no more is cut than needed";

    // No tab is wider than the room left by the buttons.
    strip->resize(100, 25);
    EXPECT_EQ(strip->AvailableWidth(), 39);
    EXPECT_EQ(strip->TabWidth(1), 39);
}

TEST_F(PadTabSetTest, NarrowStripStillShowsOneTab)
{
    strip->SetTabs(Numbered(3));
    strip->resize(50, 25);
    EXPECT_EQ(strip->AvailableWidth(), 0);
    EXPECT_EQ(strip->VisibleTabCount(), 1);
    EXPECT_EQ(strip->FirstVisibleTab(), 0);
    EXPECT_FALSE(strip->LeftButton()->isEnabled());
    EXPECT_TRUE(strip->RightButton()->isEnabled());
    strip->SetTabIndex(2);
    EXPECT_EQ(strip->FirstVisibleTab(), 2) << "the selected tab is scrolled into view";
    EXPECT_EQ(strip->VisibleTabCount(), 1);

    strip->Tabs().Clear();
    EXPECT_EQ(strip->VisibleTabCount(), 0);
    EXPECT_EQ(strip->TabIndex(), -1);
    EXPECT_FALSE(strip->LeftButton()->isEnabled());
    EXPECT_FALSE(strip->RightButton()->isEnabled());
}

TEST_F(PadTabSetTest, ScrolledToTheEndWideningFillsFromTheLeft)
{
    strip->resize(200, 25);
    strip->SetTabs(Numbered(10));
    const int fits = strip->VisibleTabCount();
    ASSERT_GT(fits, 0);
    ASSERT_LT(fits, 10);
    EXPECT_TRUE(strip->RightButton()->isEnabled());
    for (int i = 0; i < 12; ++i)
        QTest::mousePress(strip->RightButton(), Qt::LeftButton);
    EXPECT_EQ(strip->FirstVisibleTab() + strip->VisibleTabCount(), 10);
    EXPECT_FALSE(strip->RightButton()->isEnabled());
    EXPECT_TRUE(strip->LeftButton()->isEnabled());
    const int firstBefore = strip->FirstVisibleTab();

    strip->resize(330, 25);
    EXPECT_LT(strip->FirstVisibleTab(), firstBefore);
    EXPECT_EQ(strip->FirstVisibleTab() + strip->VisibleTabCount(), 10) << "the last tab stays visible";
    int used = 0;
    for (int i = strip->FirstVisibleTab(); i < 10; ++i)
        used += strip->TabWidth(i) + 2;
    EXPECT_LE(used, strip->AvailableWidth());
    if (strip->FirstVisibleTab() > 0) {
        EXPECT_GT(used + strip->TabWidth(strip->FirstVisibleTab() - 1) + 2, strip->AvailableWidth())
            << "the strip is full";
    }

    QTest::mousePress(strip->LeftButton(), Qt::LeftButton);
    EXPECT_TRUE(strip->RightButton()->isEnabled());
}

TEST_F(PadTabSetTest, WheelScrollsAndClearsHover)
{
    strip->resize(200, 25);
    strip->SetTabs(Numbered(10));
    QTest::mouseMove(strip.get(), strip->TabRect(1).center());
    EXPECT_EQ(strip->HoverTab(), 1);
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(60, 10), strip->mapToGlobal(QPointF(60, 10)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(strip.get(), &event);
    };
    wheel(-120);
    EXPECT_EQ(strip->FirstVisibleTab(), 1) << "a step toward the user scrolls right";
    EXPECT_EQ(strip->HoverTab(), -1);
    wheel(120);
    EXPECT_EQ(strip->FirstVisibleTab(), 0);
    wheel(120);
    EXPECT_EQ(strip->FirstVisibleTab(), 0) << "never below the first tab";

    QTest::mouseMove(strip.get(), strip->TabRect(2).center());
    EXPECT_EQ(strip->HoverTab(), 2);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(strip.get(), &leave);
    EXPECT_EQ(strip->HoverTab(), -1);
}

TEST_F(PadTabSetTest, SelectionEventsVetoAndBounds)
{
    QSignalSpy clicks(strip.get(), &TPadTabSet::OnClick);
    strip->SetTabs(Numbered(3));
    EXPECT_EQ(strip->TabIndex(), 0);
    EXPECT_EQ(clicks.count(), 1);

    QList<int> asked;
    bool allow = false;
    QObject::connect(strip.get(), &TPadTabSet::OnChange, strip.get(), [&](int newTab, bool& allowChange) {
        asked << newTab;
        allowChange = allow;
    });
    QTest::mouseClick(strip.get(), Qt::LeftButton, {}, strip->TabRect(2).center());
    EXPECT_EQ(asked, QList<int>{2});
    EXPECT_EQ(strip->TabIndex(), 0) << "vetoed";
    EXPECT_EQ(clicks.count(), 1);
    allow = true;
    QTest::mouseClick(strip.get(), Qt::LeftButton, {}, strip->TabRect(2).center());
    EXPECT_EQ(strip->TabIndex(), 2);
    EXPECT_EQ(clicks.count(), 2);
    strip->SetTabIndex(2);
    EXPECT_EQ(clicks.count(), 2) << "no event for the same index";

    for (int bad : {-2, 3}) {
        try {
            strip->SetTabIndex(bad);
            ADD_FAILURE() << bad << " accepted";
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), u"Tab index out of bounds"_s);
        }
        EXPECT_EQ(strip->TabIndex(), 2);
    }
    strip->SetTabIndex(-1);
    EXPECT_EQ(strip->TabIndex(), -1);
}

TEST_F(PadTabSetTest, DoubleClickSelectsAndReports)
{
    strip->SetTabs(Numbered(3));
    QSignalSpy dbl(strip.get(), &TPadTabSet::OnDblClick);
    DoubleClick(strip.get(), strip->TabRect(1).center());
    EXPECT_EQ(strip->TabIndex(), 1);
    EXPECT_EQ(dbl.count(), 1);
    EXPECT_EQ(strip->DragTab(), -1);
    ASSERT_FALSE(strip->RightButton()->isEnabled()) << "all tabs fit";
    DoubleClick(strip->RightButton(), QPoint(7, 7));
    DoubleClick(strip->LeftButton(), QPoint(7, 7));
    EXPECT_EQ(dbl.count(), 1) << "not over the buttons, even disabled ones";
    DoubleClick(strip->PickButton(), QPoint(5, 5));
    EXPECT_EQ(dbl.count(), 1);
    strip->PickButton()->Menu()->hide();
}

TEST_F(PadTabSetTest, ListOperationsKeepTheSelectionRules)
{
    strip->SetTabs(Numbered(5));
    strip->SetTabIndex(4);
    QSignalSpy clicks(strip.get(), &TPadTabSet::OnClick);

    // Deleting the selected last tab selects the new last tab and reports a click.
    strip->Tabs().Delete(4);
    EXPECT_EQ(strip->TabIndex(), 3);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(strip->Tabs().Count(), 4);

    // Another tab: the selection keeps its number, no click.
    strip->SetTabIndex(1);
    clicks.clear();
    strip->Tabs().Delete(0);
    EXPECT_EQ(strip->TabIndex(), 1);
    EXPECT_EQ(strip->Tabs()[1], u"页面2"_s);
    EXPECT_EQ(clicks.count(), 0);
    // Past the end it is lowered to the last tab, still without a click.
    strip->SetTabIndex(2);
    clicks.clear();
    strip->Tabs().Delete(0);
    EXPECT_EQ(strip->TabIndex(), 1);
    EXPECT_EQ(clicks.count(), 0);
    strip->Tabs().Insert(0, u"页面1"_s);
    EXPECT_EQ(strip->Tabs().Captions(), (QStringList{u"页面1"_s, u"页面2"_s, u"页面3"_s}));

    strip->SetTabIndex(1);
    clicks.clear();
    strip->Tabs().Insert(0, u"新"_s);
    EXPECT_EQ(strip->TabIndex(), 2);
    EXPECT_EQ(strip->Tabs()[2], u"页面2"_s) << "the same tab stays selected";
    strip->Tabs().Insert(3, u"后"_s);
    EXPECT_EQ(strip->TabIndex(), 2);
    EXPECT_EQ(strip->Tabs().Add(u"末"_s), 5);
    strip->Tabs().Replace(0, u"改"_s);
    EXPECT_EQ(strip->Tabs().Captions(),
              (QStringList{u"改"_s, u"页面1"_s, u"页面2"_s, u"后"_s, u"页面3"_s, u"末"_s}));

    strip->Tabs().SetObject(0, 42);
    strip->Tabs().Move(0, 4);
    EXPECT_EQ(strip->Tabs()[4], u"改"_s);
    EXPECT_EQ(strip->Tabs().Objects(4).toInt(), 42) << "the value moves with its caption";
    EXPECT_EQ(strip->TabIndex(), 2) << "Move adjusts nothing";
    EXPECT_EQ(clicks.count(), 0);

    strip->Tabs().AddStrings({u"x"_s, u"y"_s});
    EXPECT_EQ(strip->Tabs().Count(), 8);
    EXPECT_TRUE(strip->updatesEnabled());

    strip->Tabs().Clear();
    EXPECT_EQ(strip->TabIndex(), -1);
    strip->Tabs().Add(u"only"_s);
    EXPECT_EQ(strip->VisibleTabCount(), 1);
    strip->Tabs().Delete(0);
    EXPECT_EQ(strip->TabIndex(), -1);
    EXPECT_EQ(strip->VisibleTabCount(), 0);
}

TEST_F(PadTabSetTest, DeletingAtTheScrolledEndKeepsTheLastTabsVisible)
{
    strip->resize(200, 25);
    strip->SetTabs(Numbered(10));
    strip->SetTabIndex(9);
    ASSERT_EQ(strip->FirstVisibleTab() + strip->VisibleTabCount(), 10);
    strip->Tabs().Delete(9);
    strip->Tabs().Delete(8);
    EXPECT_EQ(strip->TabIndex(), 7);
    EXPECT_EQ(strip->FirstVisibleTab() + strip->VisibleTabCount(), 8);
    EXPECT_FALSE(strip->TabRect(7).isEmpty());
}

TEST_F(PadTabSetTest, ClearWhileScrolledLeavesNoFirstTabPastTheEnd)
{
    strip->resize(200, 25);
    strip->SetTabs(Numbered(10));
    strip->SetTabIndex(9);
    ASSERT_GT(strip->FirstVisibleTab(), 0);
    strip->Tabs().Clear();
    strip->Tabs().Add(u"新页面"_s);
    EXPECT_EQ(strip->FirstVisibleTab(), 0);
    EXPECT_EQ(strip->VisibleTabCount(), 1);
    EXPECT_FALSE(strip->TabRect(0).isEmpty());
    strip->grab(); // paints the one tab
}

TEST_F(PadTabSetTest, DraggingMovesOnlyInsideTheZone)
{
    const QString wide = u"CCCCCCCCCCCC"_s;
    strip->SetTabs({u"AAAAA"_s, u"B"_s, wide});
    ASSERT_GT(strip->TabWidth(2), strip->TabWidth(0));
    QList<std::pair<int, int>> moves;
    QStringList captionsAtMove;
    QObject::connect(strip.get(), &TPadTabSet::OnTabMoved, strip.get(), [&](int from, int to) {
        moves.append({from, to});
        captionsAtMove = strip->Tabs().Captions();
    });
    int changes = 0;
    QObject::connect(strip.get(), &TPadTabSet::OnChange, strip.get(), [&](int, bool&) { ++changes; });
    QSignalSpy clicks(strip.get(), &TPadTabSet::OnClick);

    const QRect tab0 = strip->TabRect(0);
    const QRect tab2 = strip->TabRect(2);
    const QPoint grab(tab0.left() + 3, 12);
    QTest::mousePress(strip.get(), Qt::LeftButton, {}, grab);
    QTest::mouseMove(strip.get(), QPoint(tab0.right() - 2, 12));
    EXPECT_EQ(strip->DragTab(), 0);

    // The left part of tab 2 lies outside where tab 0 would end up.
    QTest::mouseMove(strip.get(), QPoint(tab2.left() + 2, 12));
    EXPECT_TRUE(moves.isEmpty());
    EXPECT_EQ(strip->Tabs()[0], u"AAAAA"_s);

    QTest::mouseMove(strip.get(), QPoint(tab2.right() - 2, 12));
    ASSERT_EQ(moves.size(), 1);
    EXPECT_EQ(moves[0], std::make_pair(0, 2));
    EXPECT_EQ(captionsAtMove, (QStringList{u"AAAAA"_s, u"B"_s, wide})) << "raised before the move";
    EXPECT_EQ(strip->Tabs().Captions(), (QStringList{u"B"_s, wide, u"AAAAA"_s}));
    EXPECT_EQ(strip->TabIndex(), 2);
    EXPECT_EQ(strip->DragTab(), 2);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(clicks.count(), 0);

    // Resting in the same place moves nothing back.
    QTest::mouseMove(strip.get(), QPoint(tab2.right() - 3, 12));
    EXPECT_EQ(moves.size(), 1);
    QTest::mouseRelease(strip.get(), Qt::LeftButton, {}, QPoint(tab2.right() - 3, 12));
    EXPECT_EQ(strip->DragTab(), -1);

    // Back to the left: the zone is at the left edge of the target.
    const QRect first = strip->TabRect(0);
    QTest::mousePress(strip.get(), Qt::LeftButton, {}, strip->TabRect(2).center());
    QTest::mouseMove(strip.get(), strip->TabRect(2).center() + QPoint(-12, 0));
    QTest::mouseMove(strip.get(), QPoint(first.left() + 1, 12));
    ASSERT_EQ(moves.size(), 2);
    EXPECT_EQ(moves[1], std::make_pair(2, 0));
    EXPECT_EQ(strip->Tabs()[0], u"AAAAA"_s);
    QTest::mouseRelease(strip.get(), Qt::LeftButton, {}, QPoint(first.left() + 1, 12));
}

TEST_F(PadTabSetTest, PickButtonMenuListsTabsAndSelects)
{
    const QString longCaption = QString(60, u'长');
    strip->SetTabs({u"一"_s, u"二 & 三"_s, longCaption});
    strip->SetTabIndex(1);
    EXPECT_EQ(strip->PickButton()->toolTip(), u"标签列表"_s);
    QTest::mouseClick(strip->PickButton(), Qt::LeftButton);
    QMenu* menu = strip->PickButton()->Menu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(WaitFor([&] { return menu->isVisible(); }));
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_TRUE(actions[1]->isChecked());
    EXPECT_FALSE(actions[0]->isChecked());
    EXPECT_EQ(actions[1]->text(), u"二 && 三"_s) << "no access keys";
    EXPECT_TRUE(actions[2]->text().endsWith(u"..."_s));
    EXPECT_LE(strip->fontMetrics().horizontalAdvance(actions[2]->text()), 200);
    EXPECT_EQ(menu->pos(), strip->PickButton()->mapToGlobal(QPoint(0, 18)));
    actions[2]->trigger();
    EXPECT_EQ(strip->TabIndex(), 2);
    menu->hide();

    strip->Tabs().Clear();
    strip->PickButton()->RebuildMenu();
    EXPECT_TRUE(menu->actions().isEmpty());
}

TEST_F(PadTabSetTest, PickMenuOfAThousandPagesScrollsInOneColumnFromTheCurrentPage)
{
    strip->SetTabs(Numbered(1000));
    strip->SetTabIndex(900);
    QTest::mouseClick(strip->PickButton(), Qt::LeftButton);
    QMenu* menu = strip->PickButton()->Menu();
    ASSERT_TRUE(WaitFor([menu] { return menu->isVisible(); }));
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 1000);
    const QRect screen = menu->screen()->availableGeometry();
    EXPECT_LE(menu->height(), screen.height());
    EXPECT_TRUE(screen.contains(menu->geometry())) << "the menu stays on the screen";
    // One column: no item starts right of the first.
    EXPECT_EQ(menu->actionGeometry(actions[999]).x(), menu->actionGeometry(actions[0]).x());
    // The current page is selected and in view.
    EXPECT_EQ(menu->activeAction(), actions[900]);
    EXPECT_TRUE(menu->rect().contains(menu->actionGeometry(actions[900]))) << "current page in view";
    // The arrow keys reach the last page, which scrolls into view, and Enter selects it.
    for (int i = 900; i < 999; ++i)
        QTest::keyClick(menu, Qt::Key_Down);
    EXPECT_EQ(menu->activeAction(), actions[999]);
    EXPECT_TRUE(menu->rect().contains(menu->actionGeometry(actions[999])));
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_EQ(strip->TabIndex(), 999);
    EXPECT_TRUE(WaitFor([menu] { return !menu->isVisible(); }));
}

TEST_F(PadTabSetTest, PaintsFromTheSkinBitmaps)
{
    strip->SetTabs({u"甲"_s, u"乙"_s});
    const QImage image = strip->grab().toImage();
    const QImage down(u":/skin/TabSet_Tab_Down.png"_s);
    const QImage up(u":/skin/TabSet_Tab_Up.png"_s);
    ASSERT_FALSE(down.isNull());
    // A pixel of each tab's blank middle, away from the caption, matches its state's bitmap.
    const QRect selected = strip->TabRect(0);
    const QRect normal = strip->TabRect(1);
    EXPECT_EQ(image.pixelColor(selected.left() + 12, selected.top() + 19).rgb(),
              down.pixelColor(12, 19).rgb());
    EXPECT_EQ(image.pixelColor(normal.left() + 12, normal.top() + 19).rgb(), up.pixelColor(12, 19).rgb());
    EXPECT_EQ(image.pixelColor(300, 1).rgb(),
              QImage(u":/skin/TabSet_Background.png"_s).pixelColor(0, 1).rgb());

    // A missing bitmap draws nothing.
    QImage canvas(20, 20, QImage::Format_RGB32);
    canvas.fill(Qt::red);
    {
        QPainter painter(&canvas);
        DrawSkinBitmap(painter, u"TabSet_NoSuchBitmap"_s, {0, 0});
    }
    EXPECT_EQ(canvas.pixelColor(5, 5), QColor(Qt::red));
    EXPECT_TRUE(LoadSkinBitmap(u"TabSet_NoSuchBitmap"_s).isNull());
    for (const QString& name : {u"TabSet_Background"_s, u"TabSet_PickButton_Hover"_s,
                                u"TabSet_ScrollLeftButton_Disabled"_s, u"TabSet_ScrollRightButton_Up"_s})
        EXPECT_FALSE(LoadSkinBitmap(name).isNull()) << name.toStdString();
    EXPECT_EQ(LoadSkinBitmap(u"TabSet_Background"_s).size(), QSize(150, 25));
    EXPECT_EQ(LoadSkinBitmap(u"TabSet_Tab_Hover"_s).size(), QSize(60, 23));
}

} // namespace
