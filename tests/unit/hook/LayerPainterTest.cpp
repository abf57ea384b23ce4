// The desktop lines as the layer surface shows them, painted into an image and read back.
#include "hook/LayerPainter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

constexpr int kWidth = 480, kHeight = 240;
constexpr int32_t kRed = 0x000000FF; // 0x00BBGGRR
constexpr int32_t kGreen = 0x0000FF00;

struct TPainted
{
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    ~TPainted() { cairo_surface_destroy(image); }

    uint32_t at(int x, int y) const
    {
        const auto* data = cairo_image_surface_get_data(image);
        uint32_t pixel;
        std::memcpy(&pixel, data + y * cairo_image_surface_get_stride(image) + x * 4, 4);
        return pixel;
    }
    // The bounding box of the pixels that match, or an empty box.
    struct TBox
    {
        int left = kWidth, top = kHeight, right = -1, bottom = -1;
        bool empty() const { return right < 0; }
    };
    TBox find(const std::function<bool(uint32_t)>& match) const
    {
        TBox box;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (match(at(x, y))) {
                    box.left = std::min(box.left, x);
                    box.right = std::max(box.right, x);
                    box.top = std::min(box.top, y);
                    box.bottom = std::max(box.bottom, y);
                }
        return box;
    }
};

TPainted paint(const TEssayState& state)
{
    TPainted painted;
    cairo_t* cr = cairo_create(painted.image);
    PaintEssay(cr, kWidth, kHeight, state);
    cairo_destroy(cr);
    cairo_surface_flush(painted.image);
    return painted;
}

// Mostly red, opaque: the text's colour (anti-aliased edges aside).
bool reddish(uint32_t p)
{
    return (p >> 24) > 0xC0 && ((p >> 16) & 0xFF) > 0xC0 && ((p >> 8) & 0xFF) < 0x40 && (p & 0xFF) < 0x40;
}
bool green(uint32_t p)
{
    return p == 0xFF00FF00;
}

TEssayState lines(std::initializer_list<std::u16string> text, int8_t alignment)
{
    TEssayState state;
    state.textColor = kRed;
    state.separatorColor = kGreen;
    state.alignment = alignment;
    state.margin = 10;
    state.hasFont = true;
    state.font.lfHeight = -20;
    state.font.lfWeight = 700;
    state.lines = text;
    return state;
}

TEST(LayerPainter, LinesAreAlignedWithinTheMarginOverAClearBackground)
{
    const TPainted right = paint(lines({u"Jotvane 中文", u"-", u"end"}, 1));
    const auto text = right.find(reddish);
    ASSERT_FALSE(text.empty()) << "Latin and Chinese text is drawn in the text colour";
    EXPECT_GT(text.left, kWidth / 2);
    EXPECT_LE(text.right, kWidth - 10);
    EXPECT_GE(text.top, 10);
    const auto rule = right.find(green);
    ASSERT_FALSE(rule.empty()) << "the separator is a rule in its own colour";
    EXPECT_EQ(rule.right, kWidth - 11);
    EXPECT_GE(rule.right - rule.left + 1, 10 * 20) << "never shorter than ten characters";
    EXPECT_GT(rule.top, text.top);
    EXPECT_EQ(right.at(5, kHeight - 5), 0u) << "everything else stays clear, so the wallpaper shows";

    const auto left = paint(lines({u"Jotvane 中文"}, -1)).find(reddish);
    ASSERT_FALSE(left.empty());
    EXPECT_GE(left.left, 10 - 2) << "within the margin, but for a glyph's overhang";
    EXPECT_LT(left.right, kWidth / 2);
}

TEST(LayerPainter, ChineseAloneFindsAFaceAndALongLineIsCutVisibly)
{
    EXPECT_FALSE(paint(lines({u"中文测试"}, 0)).find(reddish).empty());

    std::u16string longLine;
    for (int i = 0; i < 80; ++i)
        longLine += u"word ";
    const auto cut = paint(lines({longLine}, 1)).find(reddish);
    ASSERT_FALSE(cut.empty());
    EXPECT_GE(cut.left, 10 - 2) << "the beginning of a line wider than the screen is kept";
    EXPECT_LE(cut.right, kWidth - 10);
}

TEST(LayerPainter, WithoutTheWallpaperThePlainDesktopColourFillsTheSurface)
{
    TEssayState state = lines({u"x"}, 1);
    state.showWallPaper = false;
    const TPainted painted = paint(state);
    EXPECT_EQ(painted.at(5, kHeight - 5), 0xFF3A6EA5u);
    EXPECT_FALSE(painted.find(reddish).empty());
}

} // namespace
