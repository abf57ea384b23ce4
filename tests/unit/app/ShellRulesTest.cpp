#include "app/Startup.h"
#include "app/WindowBounds.h"
#include "notes/PageRules.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace PageRules;

TEST(NewPageTitle, CountsUpAndFillsTheFirstGap)
{
    EXPECT_EQ(NewPageTitle({}), u"新建页"_s);
    EXPECT_EQ(NewPageTitle({u"新建页"_s}), u"新建页(1)"_s);
    EXPECT_EQ(NewPageTitle({u"新建页"_s, u"新建页(1)"_s}), u"新建页(2)"_s);
    EXPECT_EQ(NewPageTitle({u"新建页"_s, u"新建页(2)"_s}), u"新建页(1)"_s);
    EXPECT_EQ(NewPageTitle({u"Other"_s, u"新建页(1)"_s}), u"新建页"_s);
    // Whole text, case-sensitive.
    EXPECT_EQ(NewPageTitle({u"新建页 "_s}), u"新建页"_s);
}

TEST(PageNavigation, NextAndPreviousWrapAround)
{
    EXPECT_EQ(NextIndex(2, 3), 0);
    EXPECT_EQ(NextIndex(0, 3), 1);
    EXPECT_EQ(PreviousIndex(0, 3), 2);
    EXPECT_EQ(PreviousIndex(2, 3), 1);
    EXPECT_EQ(NextIndex(0, 0), -1);
    EXPECT_EQ(PreviousIndex(-1, 0), -1);
}

TEST(AltPageKeys, SelectOnlyExistingTabsWithAltAlone)
{
    auto select = [](int key, int current, int count, Qt::KeyboardModifiers mods = Qt::AltModifier) {
        const auto result = AltPageKey(key, mods, current, count);
        return result && result->kind == TPageKey::Select ? result->index : -100;
    };
    EXPECT_EQ(select(Qt::Key_1, 2, 3), 0);
    EXPECT_EQ(select(Qt::Key_3, 0, 3), 2);
    EXPECT_EQ(select(Qt::Key_5, 0, 3), -100);
    EXPECT_EQ(select(Qt::Key_0, 0, 9), -100);
    EXPECT_EQ(select(Qt::Key_0, 0, 10), 9);
    EXPECT_EQ(select(Qt::Key_Home, 4, 5), 0);
    EXPECT_EQ(select(Qt::Key_End, 0, 5), 4);
    EXPECT_EQ(select(Qt::Key_Left, 0, 5), 4);
    EXPECT_EQ(select(Qt::Key_Right, 4, 5), 0);
    EXPECT_EQ(select(Qt::Key_1, 0, 3, Qt::AltModifier | Qt::ControlModifier), -100);
    EXPECT_EQ(select(Qt::Key_1, 0, 3, Qt::AltModifier | Qt::ShiftModifier), -100);
    EXPECT_EQ(select(Qt::Key_1, 0, 3, Qt::AltModifier | Qt::KeypadModifier), -100);
    EXPECT_EQ(select(Qt::Key_1, 0, 3, Qt::NoModifier), -100);
    EXPECT_EQ(select(Qt::Key_1, 0, 0), -100);
    const auto pick = AltPageKey(Qt::Key_D, Qt::AltModifier, 0, 2);
    ASSERT_TRUE(pick);
    EXPECT_EQ(pick->kind, TPageKey::PickList);
    EXPECT_FALSE(AltPageKey(Qt::Key_Q, Qt::AltModifier, 0, 2));
}

TEST(WindowPlace, DefaultsToTheBottomRightOfTheWorkArea)
{
    const QRect work(0, 0, 1280, 770);
    EXPECT_EQ(WindowBounds::RestoredBounds(QRect(), work, {QRect(0, 0, 1280, 800)}),
              QRect(720, 340, 560, 430));
    EXPECT_EQ(WindowBounds::RestoredBounds(WindowBounds::FromEdges(10, 10, 10, 300), work, {}),
              QRect(720, 340, 560, 430));
}

TEST(WindowPlace, SavedRectangleIsMovedBackOntoItsMonitorKeepingItsSize)
{
    const QRect work(0, 0, 1280, 770);
    const QList<QRect> monitors{QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
    EXPECT_EQ(WindowBounds::RestoredBounds(WindowBounds::FromEdges(100, 100, 600, 500), work, monitors),
              QRect(100, 100, 500, 400));
    // Partly beyond the right and bottom edges of the first monitor, mostly on it.
    EXPECT_EQ(WindowBounds::RestoredBounds(QRect(1000, 600, 500, 400), work, monitors),
              QRect(780, 400, 500, 400));
    // Mostly on the second monitor: kept there.
    EXPECT_EQ(WindowBounds::RestoredBounds(QRect(1200, 100, 500, 400), work, monitors),
              QRect(1280, 100, 500, 400));
    // Larger than the monitor: the left and top edges win.
    EXPECT_EQ(WindowBounds::KeepOnMonitor(QRect(-50, -50, 2000, 900), monitors[0]), QRect(0, 0, 2000, 900));
}

TEST(StartArguments, OnlyAnExactFirstMinStartsHidden)
{
    EXPECT_TRUE(StartsHidden({u"jotvane"_s, u"/min"_s}));
    EXPECT_TRUE(StartsHidden({u"jotvane"_s, u"/min"_s, u"x"_s}));
    EXPECT_FALSE(StartsHidden({u"jotvane"_s, u"/MIN"_s}));
    EXPECT_FALSE(StartsHidden({u"jotvane"_s, u"x"_s, u"/min"_s}));
    EXPECT_FALSE(StartsHidden({u"jotvane"_s}));
}
