#include "widgets/FitText.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

using namespace Qt::StringLiterals;

TEST(FitTextToWidth, ShortensFromTheEndWithEllipsisThenEatsTheEllipsis)
{
    QFont font;
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const QString ellipsis = u"..."_s;
    const QString text = u"A rather long page title"_s;
    EXPECT_EQ(FitTextToWidth(text, metrics, 10000, ellipsis), text);

    const int limit = metrics.horizontalAdvance(u"A rather..."_s);
    const QString fitted = FitTextToWidth(text, metrics, limit, ellipsis);
    EXPECT_TRUE(fitted.endsWith(ellipsis));
    EXPECT_LE(metrics.horizontalAdvance(fitted), limit);
    EXPECT_TRUE(text.startsWith(fitted.chopped(3)));
    EXPECT_GT(metrics.horizontalAdvance(fitted + u"x"_s), limit);

    // Once one character of the text is left the ellipsis goes character by character.
    const int tiny = metrics.horizontalAdvance(u"A."_s);
    const QString eaten = FitTextToWidth(text, metrics, tiny, ellipsis);
    EXPECT_TRUE(eaten == u"A."_s || eaten == u"A"_s || eaten.isEmpty()) << eaten.toStdString();
    EXPECT_EQ(FitTextToWidth(text, metrics, 0, ellipsis), QString());
}
