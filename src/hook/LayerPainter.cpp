// The desktop lines drawn with pango on a cairo surface (shared memory of a layer surface).
#include "hook/LayerPainter.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultPixelSize = 15; // 11 points at 96 dpi
constexpr uint32_t kPlainDesktopRgb = 0x3A6EA5;

template <typename T, void (*Free)(T*)> struct TFree
{
    void operator()(T* p) const { Free(p); }
};
using TFontDesc =
    std::unique_ptr<PangoFontDescription, TFree<PangoFontDescription, pango_font_description_free>>;

void unrefObject(void* object)
{
    g_object_unref(object);
}

std::string utf8Of(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // a lone half of a surrogate pair
        } else if (c < 0x20 && c != '\t') {
            c = ' ';
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

int pixelSize(const TEssayState& state)
{
    if (!state.hasFont || state.font.lfHeight == 0)
        return kDefaultPixelSize;
    if (state.font.lfHeight < 0)
        return std::clamp(-state.font.lfHeight, 4, 400);
    // A cell height includes the internal leading: the character is about four fifths of it.
    return std::clamp(state.font.lfHeight * 4 / 5, 4, 400);
}

TFontDesc fontOf(const TEssayState& state)
{
    TFontDesc desc(pango_font_description_new());
    std::u16string face;
    if (state.hasFont)
        for (uint16_t c : state.font.lfFaceName) {
            if (c == 0)
                break;
            face += char16_t(c);
        }
    // The chosen face first, then the desktop's sans-serif face.
    const std::string families = face.empty() ? std::string("sans-serif") : utf8Of(face) + ",sans-serif";
    pango_font_description_set_family(desc.get(), families.c_str());
    pango_font_description_set_absolute_size(desc.get(), double(pixelSize(state)) * PANGO_SCALE);
    pango_font_description_set_weight(
        desc.get(), state.hasFont && state.font.lfWeight >= 600 ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(desc.get(), state.hasFont && state.font.lfItalic ? PANGO_STYLE_ITALIC
                                                                                      : PANGO_STYLE_NORMAL);
    return desc;
}

const char* languageOf(const TEssayState& state)
{
    switch (state.hasFont ? state.font.lfCharSet : 134) {
    case 128:
        return "ja";
    case 129:
        return "ko";
    case 136:
        return "zh-tw";
    case 134:
        return "zh-cn";
    default:
        return nullptr;
    }
}

void setRgb(cairo_t* cr, uint32_t rgb)
{
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
}

} // namespace

void PaintEssay(cairo_t* cr, int width, int height, const TEssayState& state)
{
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (state.showWallPaper)
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
    else
        setRgb(cr, kPlainDesktopRgb);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

    PangoLayout* layout = pango_cairo_create_layout(cr);
    std::unique_ptr<void, void (*)(void*)> layoutGuard(layout, unrefObject);
    if (const char* language = languageOf(state))
        pango_context_set_language(pango_layout_get_context(layout), pango_language_from_string(language));
    const TFontDesc font = fontOf(state);
    pango_layout_set_font_description(layout, font.get());
    const int margin = std::max(0, state.margin);
    const int room = std::max(1, width - 2 * margin);
    pango_layout_set_width(layout, room * PANGO_SCALE);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    pango_layout_set_single_paragraph_mode(layout, TRUE);

    PangoAttrList* attributes = pango_attr_list_new();
    if (state.hasFont && state.font.lfUnderline)
        pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (state.hasFont && state.font.lfStrikeOut)
        pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);

    // One line height for every line, from a sample that holds a tall Latin and a Chinese glyph.
    pango_layout_set_text(layout, "Ag\xE4\xB8\xAD", -1);
    int sampleWidth = 0, lineHeight = 0;
    pango_layout_get_pixel_size(layout, &sampleWidth, &lineHeight);
    lineHeight = std::max(lineHeight, 1);
    const int stroke = std::max(1, lineHeight / 12);

    std::vector<int> widths(state.lines.size(), 0);
    int widest = 0;
    for (size_t i = 0; i < state.lines.size(); ++i) {
        if (state.lines[i] == u"-")
            continue;
        pango_layout_set_text(layout, utf8Of(state.lines[i]).c_str(), -1);
        int h = 0;
        pango_layout_get_pixel_size(layout, &widths[i], &h);
        widest = std::max(widest, widths[i]);
    }
    // A separator is a rule as wide as the widest line, and never shorter than ten characters.
    const int ruleWidth = std::min(room, std::max(widest, 10 * pixelSize(state)));
    auto lineX = [&](int w) {
        switch (state.alignment) {
        case -1:
            return margin;
        case 0:
            return (width - w) / 2;
        default:
            return width - margin - w;
        }
    };

    int y = margin;
    for (size_t i = 0; i < state.lines.size() && y < height; ++i, y += lineHeight) {
        if (state.lines[i] == u"-") {
            setRgb(cr, EssayColorToRgb(state.separatorColor));
            cairo_rectangle(cr, lineX(ruleWidth), y + (lineHeight - stroke) / 2, ruleWidth, stroke);
            cairo_fill(cr);
            continue;
        }
        pango_layout_set_text(layout, utf8Of(state.lines[i]).c_str(), -1);
        setRgb(cr, EssayColorToRgb(state.textColor));
        cairo_move_to(cr, lineX(widths[i]), y);
        pango_cairo_show_layout(cr, layout);
    }
    cairo_restore(cr);
}
