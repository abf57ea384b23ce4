// Painting the desktop lines with Xlib, Xft and fontconfig.
#include "hook/DeskPainter.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// The plain background when the wallpaper is switched off: the classic desktop blue.
constexpr uint32_t kPlainBackground = 0x3A6EA5;
constexpr int kDefaultPixelSize = 15;
constexpr size_t kMaxFallbackFonts = 16;

std::u32string toCodePoints(const std::u16string& text)
{
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        } else if (c == u'\t' || c < 0x20) {
            c = u' ';
        }
        out.push_back(c);
    }
    return out;
}

std::string faceNameUtf8(const JvLogFontW& font)
{
    std::u16string name;
    for (int i = 0; i < 32 && font.lfFaceName[i] != 0; ++i)
        name.push_back(static_cast<char16_t>(font.lfFaceName[i]));
    std::string out;
    for (char32_t c : toCodePoints(name)) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

const char* languageOfCharset(uint8_t charset)
{
    switch (charset) {
    case 134:
        return "zh-cn";
    case 136:
        return "zh-tw";
    case 128:
        return "ja";
    case 129:
        return "ko";
    default:
        return nullptr;
    }
}

bool sameFont(const JvLogFontW& a, const JvLogFontW& b)
{
    return std::memcmp(&a, &b, sizeof(JvLogFontW)) == 0;
}

} // namespace

TRect intersect(const TRect& a, const TRect& b)
{
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    if (x1 <= x0 || y1 <= y0)
        return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

TDeskPainter::TDeskPainter(Display* display, int screen, const TEssayState& state)
    : m_dpy(display), m_screen(screen), m_root(RootWindow(display, screen)), m_state(&state),
      m_rootPixmapAtom(XInternAtom(display, "_XROOTPMAP_ID", False)),
      m_esetrootPixmapAtom(XInternAtom(display, "ESETROOT_PMAP_ID", False))
{
}

TDeskPainter::~TDeskPainter()
{
    Detach();
    FreeBackground();
}

void TDeskPainter::Attach(const TDeskSurface& surface)
{
    m_surface = surface;
    m_draw = XftDrawCreate(m_dpy, m_surface.window, m_surface.visual, m_surface.colormap);
}

void TDeskPainter::Detach()
{
    m_rows.clear(); // their runs point into the fonts
    freeFonts();
    if (m_draw) {
        XftDrawDestroy(m_draw);
        m_draw = nullptr;
    }
}

void TDeskPainter::FreeBackground()
{
    if (m_background) {
        XFreePixmap(m_dpy, m_background);
        m_background = 0;
    }
}

unsigned long TDeskPainter::pixelOf(uint32_t rgb) const
{
    if (m_surface.depth == 32)
        return 0xFF000000ul | rgb; // opaque, premultiplied
    XColor color{};
    color.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
    color.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
    color.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
    color.flags = DoRed | DoGreen | DoBlue;
    if (XAllocColor(m_dpy, m_surface.colormap, &color))
        return color.pixel;
    return BlackPixel(m_dpy, m_screen);
}

Pixmap TDeskPainter::rootPixmap() const
{
    for (Atom atom : {m_rootPixmapAtom, m_esetrootPixmapAtom}) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_dpy, m_root, atom, 0, 1, False, XA_PIXMAP, &type, &format, &count, &after,
                               &data) == Success &&
            data) {
            Pixmap pixmap = 0;
            if (format == 32 && count == 1)
                pixmap = Pixmap(*reinterpret_cast<const unsigned long*>(data));
            XFree(data);
            if (pixmap)
                return pixmap;
        }
    }
    return 0;
}

// The window's own background, which the server paints before the text: transparent under a
// compositing manager, a copy of the wallpaper picture without one, or the plain colour.
void TDeskPainter::UpdateBackground()
{
    FreeBackground();
    if (!m_state->showWallPaper) {
        XSetWindowBackground(m_dpy, m_surface.window, pixelOf(kPlainBackground));
        return;
    }
    if (m_surface.depth == 32) {
        XSetWindowBackground(m_dpy, m_surface.window, 0);
        return;
    }
    const Pixmap wallpaper = rootPixmap();
    Window unusedRoot = 0;
    int px = 0, py = 0;
    unsigned pw = 0, ph = 0, border = 0, pdepth = 0;
    if (wallpaper && XGetGeometry(m_dpy, wallpaper, &unusedRoot, &px, &py, &pw, &ph, &border, &pdepth) &&
        int(pdepth) == m_surface.depth) {
        m_background = XCreatePixmap(m_dpy, m_surface.window, unsigned(m_surface.area.w),
                                     unsigned(m_surface.area.h), unsigned(m_surface.depth));
        GC gc = XCreateGC(m_dpy, m_background, 0, nullptr);
        // The wallpaper pixmap may be smaller than the screen: it is tiled from the origin.
        XSetTile(m_dpy, gc, wallpaper);
        XSetFillStyle(m_dpy, gc, FillTiled);
        XSetTSOrigin(m_dpy, gc, -m_surface.area.x, -m_surface.area.y);
        XFillRectangle(m_dpy, m_background, gc, 0, 0, unsigned(m_surface.area.w), unsigned(m_surface.area.h));
        XFreeGC(m_dpy, gc);
        XSetWindowBackgroundPixmap(m_dpy, m_surface.window, m_background);
        return;
    }
    // No picture named: the root window's own background shows through.
    XSetWindowBackgroundPixmap(m_dpy, m_surface.window, ParentRelative);
}

void TDeskPainter::freeFonts()
{
    for (XftFont* font : m_fallbacks)
        XftFontClose(m_dpy, font);
    m_fallbacks.clear();
    if (m_font) {
        XftFontClose(m_dpy, m_font);
        m_font = nullptr;
    }
}

int TDeskPainter::ScreenDpi(Display* display, int screen)
{
    if (const char* value = XGetDefault(display, "Xft", "dpi")) {
        const double dpi = std::atof(value);
        if (dpi >= 48 && dpi <= 960)
            return int(std::lround(dpi));
    }
    const int millimetres = DisplayHeightMM(display, screen);
    if (millimetres > 0) {
        const double dpi = DisplayHeight(display, screen) * 25.4 / millimetres;
        if (dpi >= 48 && dpi <= 960)
            return std::max(96, 24 * int(std::lround(dpi / 24)));
    }
    return 96;
}

int TDeskPainter::pixelSize() const
{
    // The font's height is in pixels at 96 dots per inch, as the note keeper measures it.
    int pixels = kDefaultPixelSize;
    if (m_state->hasFont && m_state->font.lfHeight < 0)
        pixels = -m_state->font.lfHeight;
    else if (m_state->hasFont && m_state->font.lfHeight > 0)
        pixels = m_state->font.lfHeight * 4 / 5; // a cell height holds the internal leading too
    return std::clamp(int(std::lround(double(pixels) * m_dpi / 96.0)), 4, 800);
}

FcPattern* TDeskPainter::basePattern() const
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixelSize());
    const bool bold = m_state->hasFont && m_state->font.lfWeight >= 600;
    const bool italic = m_state->hasFont && m_state->font.lfItalic;
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    return pattern;
}

void TDeskPainter::ensureFont()
{
    if (m_font && sameFont(m_loadedFont, m_state->font))
        return;
    freeFonts();
    m_loadedFont = m_state->font;
    FcPattern* pattern = basePattern();
    const std::string name = m_state->hasFont ? faceNameUtf8(m_state->font) : std::string();
    if (!name.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    if (const char* language = languageOfCharset(m_state->hasFont ? m_state->font.lfCharSet : 134))
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language));
    FcResult result = FcResultNoMatch;
    FcPattern* match = XftFontMatch(m_dpy, m_screen, pattern, &result);
    FcPatternDestroy(pattern);
    if (match)
        m_font = XftFontOpenPattern(m_dpy, match); // owns match
    if (!m_font)
        m_font = XftFontOpen(m_dpy, m_screen, XFT_PIXEL_SIZE, XftTypeDouble, double(pixelSize()), nullptr);
}

// The font for a character the chosen face lacks: another installed face that has it.
XftFont* TDeskPainter::fontFor(char32_t c)
{
    if (!m_font || XftCharExists(m_dpy, m_font, c))
        return m_font;
    for (XftFont* font : m_fallbacks)
        if (XftCharExists(m_dpy, font, c))
            return font;
    if (m_fallbacks.size() >= kMaxFallbackFonts)
        return m_font;
    FcPattern* pattern = basePattern();
    FcCharSet* set = FcCharSetCreate();
    FcCharSetAddChar(set, c);
    FcPatternAddCharSet(pattern, FC_CHARSET, set);
    FcCharSetDestroy(set);
    FcResult result = FcResultNoMatch;
    FcPattern* match = XftFontMatch(m_dpy, m_screen, pattern, &result);
    FcPatternDestroy(pattern);
    XftFont* font = match ? XftFontOpenPattern(m_dpy, match) : nullptr;
    if (!font)
        return m_font;
    if (!XftCharExists(m_dpy, font, c)) {
        XftFontClose(m_dpy, font);
        return m_font;
    }
    m_fallbacks.push_back(font);
    return font;
}

std::vector<TDeskPainter::TRun> TDeskPainter::layout(const std::u32string& line, int& width)
{
    std::vector<TRun> runs;
    width = 0;
    for (char32_t c : line) {
        XftFont* font = fontFor(c);
        if (runs.empty() || runs.back().font != font)
            runs.push_back({font, {}, 0});
        runs.back().text.push_back(c);
    }
    for (TRun& run : runs) {
        XGlyphInfo extents{};
        XftTextExtents32(m_dpy, run.font, reinterpret_cast<const FcChar32*>(run.text.data()),
                         int(run.text.size()), &extents);
        run.width = extents.xOff;
        width += run.width;
    }
    return runs;
}

XftColor TDeskPainter::allocColor(uint32_t rgb)
{
    XRenderColor render{static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257),
                        static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257),
                        static_cast<unsigned short>((rgb & 0xFF) * 257), 0xFFFF};
    XftColor color{};
    XftColorAllocValue(m_dpy, m_surface.visual, m_surface.colormap, &render, &color);
    return color;
}

int TDeskPainter::lineX(int width, int margin) const
{
    switch (m_state->alignment) {
    case -1:
        return margin;
    case 0:
        return (m_surface.area.w - width) / 2;
    default:
        return m_surface.area.w - margin - width;
    }
}

int TDeskPainter::lineHeight() const
{
    return std::max(m_font->height, m_font->ascent + m_font->descent);
}

std::vector<TRect> TDeskPainter::Layout()
{
    m_rows.clear();
    std::vector<TRect> shown;
    if (!m_draw)
        return shown;
    ensureFont();
    if (!m_font)
        return shown;
    const int height = lineHeight();
    const int margin = std::min(m_state->margin, std::max(0, m_surface.area.w / 2 - 1));
    const int maxWidth = std::max(1, m_surface.area.w - 2 * margin);
    const int maxRows = std::max(1, (m_surface.area.h - 2 * margin) / std::max(1, height));
    std::vector<std::u32string> lines;
    lines.reserve(m_state->lines.size());
    for (const std::u16string& line : m_state->lines)
        lines.push_back(toCodePoints(line));
    const auto measure = [this](const std::u32string& text) {
        int width = 0;
        layout(text, width);
        return width;
    };
    const std::vector<TDeskRow> rows = LayOutDeskRows(lines, measure, maxWidth, maxRows);

    int widest = 0;
    for (const TDeskRow& row : rows) {
        TPlacedRow placed{{}, row.separator, 0, 0, 0};
        if (!row.separator) {
            placed.runs = layout(row.text, placed.width);
            widest = std::max(widest, placed.width);
        }
        m_rows.push_back(std::move(placed));
    }
    // A separator is a rule as wide as the widest line, and never shorter than ten characters.
    const int ruleWidth = std::min(maxWidth, std::max(widest, 10 * pixelSize()));
    // Italic and bold glyphs reach a little beyond their advance.
    const int slack = std::max(2, pixelSize() / 6);
    int y = margin;
    for (TPlacedRow& row : m_rows) {
        if (row.separator)
            row.width = ruleWidth;
        row.x = lineX(row.width, margin);
        row.y = y;
        y += height;
        if (row.width > 0)
            shown.push_back({row.x - slack, row.y, row.width + 2 * slack, height});
    }
    return shown;
}

void TDeskPainter::DrawText(const TRect* clip)
{
    if (!m_draw || !m_font)
        return;
    if (clip) {
        XRectangle r{short(clip->x), short(clip->y), static_cast<unsigned short>(clip->w),
                     static_cast<unsigned short>(clip->h)};
        XftDrawSetClipRectangles(m_draw, 0, 0, &r, 1);
    }
    XftColor text = allocColor(EssayColorToRgb(m_state->textColor));
    XftColor rule = allocColor(EssayColorToRgb(m_state->separatorColor));
    const int ascent = m_font->ascent, descent = m_font->descent;
    const int height = lineHeight();
    const int stroke = std::max(1, height / 12);
    const bool underline = m_state->hasFont && m_state->font.lfUnderline;
    const bool strikeOut = m_state->hasFont && m_state->font.lfStrikeOut;
    for (const TPlacedRow& row : m_rows) {
        if (row.separator) {
            XftDrawRect(m_draw, &rule, row.x, row.y + (height - stroke) / 2, unsigned(row.width),
                        unsigned(stroke));
            continue;
        }
        int x = row.x;
        const int baseline = row.y + ascent;
        for (const TRun& run : row.runs) {
            XftDrawString32(m_draw, &text, run.font, x, baseline,
                            reinterpret_cast<const FcChar32*>(run.text.data()), int(run.text.size()));
            x += run.width;
        }
        if (underline && row.width > 0)
            XftDrawRect(m_draw, &text, row.x, baseline + std::max(1, descent / 2), unsigned(row.width),
                        unsigned(stroke));
        if (strikeOut && row.width > 0)
            XftDrawRect(m_draw, &text, row.x, baseline - ascent / 3, unsigned(row.width), unsigned(stroke));
    }
    XftColorFree(m_dpy, m_surface.visual, m_surface.colormap, &text);
    XftColorFree(m_dpy, m_surface.visual, m_surface.colormap, &rule);
    if (clip)
        XftDrawSetClip(m_draw, nullptr);
}
