#pragma once

#include "hook/DeskLayout.h"
#include "hook/EssayState.h"

#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>

#include <string>
#include <vector>

// A rectangle in window or screen pixels.
struct TRect
{
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const TRect&) const = default;
};

TRect intersect(const TRect& a, const TRect& b);

// The window the lines are painted into, as the painter needs it.
struct TDeskSurface
{
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0; // 32: a translucent window under a compositing manager
    Colormap colormap = 0;
    TRect area; // where the window lies on the screen
};

// Paints the desktop lines with Xft and fontconfig: the window's background (the wallpaper, the
// plain colour, or nothing under a compositing manager), then the lines aligned within the
// margin, separators as rules and characters the chosen face lacks in another installed face.
// Lines wider than the screen are wrapped, and a last row that cannot show everything ends in
// an ellipsis. Point sizes follow the screen's resolution. It reads the state it was given at
// each layout; the fonts follow the state's font.
class TDeskPainter
{
public:
    TDeskPainter(Display* display, int screen, const TEssayState& state);
    ~TDeskPainter();
    TDeskPainter(const TDeskPainter&) = delete;
    TDeskPainter& operator=(const TDeskPainter&) = delete;

    // Paints on a new window; Detach lets go of the fonts and the drawing context before the
    // window goes, FreeBackground of the wallpaper copy after it.
    void Attach(const TDeskSurface& surface);
    void Detach();
    void FreeBackground();
    // The window moved or was resized.
    void SetArea(const TRect& area) { m_surface.area = area; }

    // True for the root window properties that name the wallpaper picture.
    bool IsWallpaperProperty(Atom atom) const
    {
        return atom == m_rootPixmapAtom || atom == m_esetrootPixmapAtom;
    }
    // The screen's resolution in dots per inch: the font's pixel height is given for 96.
    void SetDpi(int dpi) { m_dpi = dpi; }
    // Sets the window's own background, which the server paints before the text.
    void UpdateBackground();
    // Lays the lines out anew for the current state and area; returns the rectangle of every
    // row that shows something (window coordinates), the only parts of the window to be seen.
    std::vector<TRect> Layout();
    // Draws the rows of the last layout over the background, within clip when one is given.
    void DrawText(const TRect* clip);
    // The screen's resolution: Xft.dpi where the desktop sets it, else the screen's physical
    // size rounded to a quarter of 96 and never below 96 (a monitor's size is rarely exact).
    static int ScreenDpi(Display* display, int screen);

private:
    // One run of text drawn with one font.
    struct TRun
    {
        XftFont* font;
        std::u32string text;
        int width;
    };
    struct TPlacedRow
    {
        std::vector<TRun> runs;
        bool separator;
        int x, y, width;
    };

    unsigned long pixelOf(uint32_t rgb) const;
    Pixmap rootPixmap() const;
    void freeFonts();
    int pixelSize() const;
    FcPattern* basePattern() const;
    void ensureFont();
    XftFont* fontFor(char32_t c);
    std::vector<TRun> layout(const std::u32string& line, int& width);
    XftColor allocColor(uint32_t rgb);
    int lineX(int width, int margin) const;
    int lineHeight() const;

    Display* m_dpy;
    int m_screen;
    Window m_root;
    const TEssayState* m_state;
    Atom m_rootPixmapAtom;
    Atom m_esetrootPixmapAtom;
    TDeskSurface m_surface;
    Pixmap m_background = 0;
    XftDraw* m_draw = nullptr;
    JvLogFontW m_loadedFont{};
    XftFont* m_font = nullptr;
    std::vector<XftFont*> m_fallbacks;
    int m_dpi = 96;
    std::vector<TPlacedRow> m_rows; // the last layout; its runs hold the fonts above
};
