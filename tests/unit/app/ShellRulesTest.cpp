#include "app/Startup.h"
#include "app/WindowBounds.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

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
