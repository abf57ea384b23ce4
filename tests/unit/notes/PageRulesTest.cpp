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
