#include "widgets/DeferredIconStyle.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <memory>

TEST(DeferredIconStyle, IconsLookAsTheDesktopStylesOnesAndOutliveNoStyle)
{
    QStyle* desktop = QApplication::style();
    auto style = std::make_unique<TDeferredIconStyle>();
    EXPECT_EQ(style->baseStyle()->name(), desktop->name());
    for (const QStyle::StandardPixmap which : {QStyle::SP_ToolBarHorizontalExtensionButton,
                                               QStyle::SP_MessageBoxWarning, QStyle::SP_DialogOkButton}) {
        const QIcon expected = desktop->standardIcon(which);
        const QIcon deferred = style->standardIcon(which);
        const QIcon copy = deferred; // copies share the loaded icon
        EXPECT_EQ(deferred.isNull(), expected.isNull()) << which;
        EXPECT_EQ(copy.availableSizes(), expected.availableSizes()) << which;
        EXPECT_EQ(deferred.pixmap(16).toImage(), expected.pixmap(16).toImage()) << which;
    }
    // An icon not yet drawn when its style goes is empty, not a crash.
    const QIcon orphan = style->standardIcon(QStyle::SP_ToolBarVerticalExtensionButton);
    style.reset();
    EXPECT_TRUE(orphan.pixmap(16).isNull());
}
