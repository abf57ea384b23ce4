// Drawing the desktop lines with plain Xlib, Xft and fontconfig on a thread of the library's own.
#include "hook/DeskWindow.h"

#include <X11/Xatom.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

// The plain background when the wallpaper is switched off: the classic desktop blue.
constexpr uint32_t kPlainBackground = 0x3A6EA5;
constexpr int kDefaultPixelSize = 15;
constexpr size_t kMaxFallbackFonts = 16;

// X errors of our own connection (a wallpaper pixmap freed while we copy it, a window gone) are
// expected and harmless; the handler is process-wide, so errors of other connections go on to
// whatever handler was there before.
// These live until the process ends (never destroyed), so that a window removed while the
// process ends still finds them.
struct TErrorRouting
{
    std::mutex mutex;
    std::vector<Display*> ownDisplays;
    XErrorHandler previous = nullptr;
    bool installed = false;
};

TErrorRouting& errorRouting()
{
    static auto* routing = new TErrorRouting;
    return *routing;
}

int onXError(Display* display, XErrorEvent* event)
{
    TErrorRouting& r = errorRouting();
    XErrorHandler previous = nullptr;
    {
        std::lock_guard lock(r.mutex);
        if (std::find(r.ownDisplays.begin(), r.ownDisplays.end(), display) != r.ownDisplays.end())
            return 0;
        previous = r.previous;
    }
    return previous ? previous(display, event) : 0;
}

void registerDisplay(Display* display)
{
    TErrorRouting& r = errorRouting();
    std::lock_guard lock(r.mutex);
    if (!r.installed) {
        r.previous = XSetErrorHandler(onXError);
        r.installed = true;
    }
    r.ownDisplays.push_back(display);
}

void unregisterDisplay(Display* display)
{
    TErrorRouting& r = errorRouting();
    std::lock_guard lock(r.mutex);
    r.ownDisplays.erase(std::remove(r.ownDisplays.begin(), r.ownDisplays.end(), display),
                        r.ownDisplays.end());
}

struct TRect
{
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const TRect&) const = default;
};

TRect intersect(const TRect& a, const TRect& b)
{
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    if (x1 <= x0 || y1 <= y0)
        return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

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

// One run of text drawn with one font.
struct TRun
{
    XftFont* font;
    std::u32string text;
    int width;
};

class TPainter
{
public:
    TPainter(Display* display, int screen) : m_dpy(display), m_screen(screen)
    {
        m_root = RootWindow(display, screen);
        m_atoms.workArea = XInternAtom(m_dpy, "_NET_WORKAREA", False);
        m_atoms.rootPixmap = XInternAtom(m_dpy, "_XROOTPMAP_ID", False);
        m_atoms.esetrootPixmap = XInternAtom(m_dpy, "ESETROOT_PMAP_ID", False);
        const std::string cm = "_NET_WM_CM_S" + std::to_string(screen);
        m_atoms.compositor = XInternAtom(m_dpy, cm.c_str(), False);
        int error = 0;
        m_hasRandr = XRRQueryExtension(m_dpy, &m_randrEvent, &error);
        if (m_hasRandr)
            XRRSelectInput(m_dpy, m_root,
                           RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
        XSelectInput(m_dpy, m_root, PropertyChangeMask | StructureNotifyMask);
    }

    ~TPainter()
    {
        destroyWindow();
        XFlush(m_dpy);
    }

    void Create()
    {
        m_compositing = compositorRunning();
        m_area = workArea();
        createWindow();
        m_state = SnapshotEssayState();
        m_version = m_state.version;
        updateBackground();
        m_dirty = true;
    }

    // A pass of the loop: events, then anything that changed, then the paint.
    void Process()
    {
        while (XPending(m_dpy)) {
            XEvent event;
            XNextEvent(m_dpy, &event);
            handle(event);
        }
        if (compositorRunning() != m_compositing) {
            // Translucency needs a window of another visual: build it anew.
            m_compositing = !m_compositing;
            destroyWindow();
            createWindow();
            m_backgroundDirty = true;
        }
        if (m_geometryDirty) {
            m_geometryDirty = false;
            const TRect area = workArea();
            if (!(area == m_area)) {
                m_area = area;
                XMoveResizeWindow(m_dpy, m_window, m_area.x, m_area.y, unsigned(m_area.w),
                                  unsigned(m_area.h));
                m_backgroundDirty = true;
            }
        }
        const uint64_t version = EssayStateVersion();
        if (version != m_version) {
            const bool wallPaperBefore = m_state.showWallPaper;
            m_state = SnapshotEssayState();
            m_version = m_state.version;
            if (m_state.showWallPaper != wallPaperBefore)
                m_backgroundDirty = true;
            m_dirty = true;
        }
        if (m_backgroundDirty) {
            m_backgroundDirty = false;
            updateBackground();
            m_dirty = true;
        }
        if (m_dirty) {
            m_dirty = false;
            XClearWindow(m_dpy, m_window);
            drawText(nullptr);
        }
        XFlush(m_dpy);
    }

private:
    struct TAtoms
    {
        Atom workArea, rootPixmap, esetrootPixmap, compositor;
    };

    bool compositorRunning() const { return XGetSelectionOwner(m_dpy, m_atoms.compositor) != None; }

    TRect primaryMonitor() const
    {
        TRect screen{0, 0, DisplayWidth(m_dpy, m_screen), DisplayHeight(m_dpy, m_screen)};
        if (!m_hasRandr)
            return screen;
        int count = 0;
        XRRMonitorInfo* monitors = XRRGetMonitors(m_dpy, m_root, True, &count);
        if (!monitors)
            return screen;
        TRect found =
            count > 0 ? TRect{monitors[0].x, monitors[0].y, monitors[0].width, monitors[0].height} : screen;
        for (int i = 0; i < count; ++i) {
            if (monitors[i].primary) {
                found = {monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height};
                break;
            }
        }
        XRRFreeMonitors(monitors);
        return found.w > 0 && found.h > 0 ? found : screen;
    }

    // The primary monitor less the panels: the window manager's work area where it names one.
    TRect workArea() const
    {
        const TRect monitor = primaryMonitor();
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        TRect area = monitor;
        if (XGetWindowProperty(m_dpy, m_root, m_atoms.workArea, 0, 4, False, XA_CARDINAL, &type, &format,
                               &count, &after, &data) == Success &&
            data) {
            if (format == 32 && count >= 4) {
                const auto* v = reinterpret_cast<const long*>(data);
                const TRect work{int(v[0]), int(v[1]), int(v[2]), int(v[3])};
                const TRect both = intersect(monitor, work);
                if (both.w > 0 && both.h > 0)
                    area = both;
            }
            XFree(data);
        }
        return area;
    }

    void createWindow()
    {
        XSetWindowAttributes attributes{};
        // Not managed by the window manager: no frame that would catch clicks, never minimised by
        // "show desktop", never raised by a click; it is put at the bottom of the stack and kept there.
        unsigned long mask = CWEventMask | CWBorderPixel | CWOverrideRedirect;
        attributes.event_mask = ExposureMask | StructureNotifyMask;
        attributes.border_pixel = 0;
        attributes.override_redirect = True;
        Visual* visual = DefaultVisual(m_dpy, m_screen);
        int depth = DefaultDepth(m_dpy, m_screen);
        m_colormap = DefaultColormap(m_dpy, m_screen);
        m_ownColormap = false;
        XVisualInfo info{};
        if (m_compositing && XMatchVisualInfo(m_dpy, m_screen, 32, TrueColor, &info)) {
            visual = info.visual;
            depth = 32;
            m_colormap = XCreateColormap(m_dpy, m_root, visual, AllocNone);
            m_ownColormap = true;
            attributes.colormap = m_colormap;
            attributes.background_pixel = 0;
            mask |= CWColormap | CWBackPixel;
        }
        m_visual = visual;
        m_depth = depth;
        m_window =
            XCreateWindow(m_dpy, m_root, m_area.x, m_area.y, unsigned(std::max(1, m_area.w)),
                          unsigned(std::max(1, m_area.h)), 0, depth, InputOutput, visual, mask, &attributes);
        setProperties();
        // An empty input shape: every click reaches the window beneath, the desktop included.
        XShapeCombineRectangles(m_dpy, m_window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
        m_draw = XftDrawCreate(m_dpy, m_window, m_visual, m_colormap);
        XMapWindow(m_dpy, m_window);
        XLowerWindow(m_dpy, m_window);
        XFlush(m_dpy);
    }

    void setProperties()
    {
        const char* name = "Jotvane desktop text";
        XStoreName(m_dpy, m_window, name);
        const Atom utf8 = XInternAtom(m_dpy, "UTF8_STRING", False);
        XChangeProperty(m_dpy, m_window, XInternAtom(m_dpy, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(name), int(std::strlen(name)));
        XClassHint classHint{const_cast<char*>("jotvanehook"), const_cast<char*>("JotvaneHook")};
        XSetClassHint(m_dpy, m_window, &classHint);
        XWMHints hints{};
        hints.flags = InputHint | StateHint;
        hints.input = False;
        hints.initial_state = NormalState;
        XSetWMHints(m_dpy, m_window, &hints);
        XSizeHints size{};
        size.flags = USPosition | USSize | PPosition | PSize;
        size.x = m_area.x;
        size.y = m_area.y;
        size.width = m_area.w;
        size.height = m_area.h;
        XSetWMNormalHints(m_dpy, m_window, &size);
        // A desktop window: window managers keep it under everything, leave it out of the task
        // list and keep it when the desktop is shown.
        const Atom type = XInternAtom(m_dpy, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
        XChangeProperty(m_dpy, m_window, XInternAtom(m_dpy, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&type), 1);
        const Atom states[] = {XInternAtom(m_dpy, "_NET_WM_STATE_BELOW", False),
                               XInternAtom(m_dpy, "_NET_WM_STATE_STICKY", False),
                               XInternAtom(m_dpy, "_NET_WM_STATE_SKIP_TASKBAR", False),
                               XInternAtom(m_dpy, "_NET_WM_STATE_SKIP_PAGER", False)};
        XChangeProperty(m_dpy, m_window, XInternAtom(m_dpy, "_NET_WM_STATE", False), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(states), 4);
        const long allDesktops = 0xFFFFFFFF;
        XChangeProperty(m_dpy, m_window, XInternAtom(m_dpy, "_NET_WM_DESKTOP", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&allDesktops), 1);
        // No frame, for window managers that read only the Motif hints.
        const long motif[5] = {2 /* decorations */, 0, 0, 0, 0};
        const Atom motifAtom = XInternAtom(m_dpy, "_MOTIF_WM_HINTS", False);
        XChangeProperty(m_dpy, m_window, motifAtom, motifAtom, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(motif), 5);
    }

    void destroyWindow()
    {
        freeFonts();
        if (m_draw) {
            XftDrawDestroy(m_draw);
            m_draw = nullptr;
        }
        if (m_window) {
            XDestroyWindow(m_dpy, m_window);
            m_window = 0;
        }
        if (m_background) {
            XFreePixmap(m_dpy, m_background);
            m_background = 0;
        }
        if (m_ownColormap) {
            XFreeColormap(m_dpy, m_colormap);
            m_ownColormap = false;
        }
    }

    void handle(const XEvent& event)
    {
        if (m_hasRandr &&
            (event.type == m_randrEvent + RRScreenChangeNotify || event.type == m_randrEvent + RRNotify)) {
            XRRUpdateConfiguration(const_cast<XEvent*>(&event));
            m_geometryDirty = true;
            return;
        }
        switch (event.type) {
        case Expose: {
            const XExposeEvent& e = event.xexpose;
            const TRect r{e.x, e.y, e.width, e.height};
            if (m_exposed.w == 0) {
                m_exposed = r;
            } else {
                const int x0 = std::min(m_exposed.x, r.x), y0 = std::min(m_exposed.y, r.y);
                const int x1 = std::max(m_exposed.x + m_exposed.w, r.x + r.w);
                const int y1 = std::max(m_exposed.y + m_exposed.h, r.y + r.h);
                m_exposed = {x0, y0, x1 - x0, y1 - y0};
            }
            if (e.count == 0 && !m_dirty) {
                // The server has painted the background there; the text goes over it once.
                XClearArea(m_dpy, m_window, m_exposed.x, m_exposed.y, unsigned(m_exposed.w),
                           unsigned(m_exposed.h), False);
                drawText(&m_exposed);
            }
            if (e.count == 0)
                m_exposed = {};
            break;
        }
        case ConfigureNotify:
            if (event.xconfigure.window == m_root) {
                m_geometryDirty = true;

            } else if (event.xconfigure.window == m_window) {
                // A window manager that moved the window elsewhere gets it back over the work area.
                const XConfigureEvent& c = event.xconfigure;
                if (c.width != m_area.w || c.height != m_area.h)
                    XMoveResizeWindow(m_dpy, m_window, m_area.x, m_area.y, unsigned(m_area.w),
                                      unsigned(m_area.h));
            }
            break;
        case PropertyNotify:
            if (event.xproperty.window == m_root) {
                if (event.xproperty.atom == m_atoms.workArea)
                    m_geometryDirty = true;
                else if (event.xproperty.atom == m_atoms.rootPixmap ||
                         event.xproperty.atom == m_atoms.esetrootPixmap)
                    m_backgroundDirty = true;
            }
            break;
        default:
            break;
        }
    }

    unsigned long pixelOf(uint32_t rgb) const
    {
        if (m_depth == 32)
            return 0xFF000000ul | rgb; // opaque, premultiplied
        XColor color{};
        color.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257);
        color.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257);
        color.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
        color.flags = DoRed | DoGreen | DoBlue;
        if (XAllocColor(m_dpy, m_colormap, &color))
            return color.pixel;
        return BlackPixel(m_dpy, m_screen);
    }

    Pixmap rootPixmap() const
    {
        for (Atom atom : {m_atoms.rootPixmap, m_atoms.esetrootPixmap}) {
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(m_dpy, m_root, atom, 0, 1, False, XA_PIXMAP, &type, &format, &count,
                                   &after, &data) == Success &&
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
    void updateBackground()
    {
        if (m_background) {
            XFreePixmap(m_dpy, m_background);
            m_background = 0;
        }
        if (!m_state.showWallPaper) {
            XSetWindowBackground(m_dpy, m_window, pixelOf(kPlainBackground));
            return;
        }
        if (m_depth == 32) {
            XSetWindowBackground(m_dpy, m_window, 0);
            return;
        }
        const Pixmap wallpaper = rootPixmap();
        Window unusedRoot = 0;
        int px = 0, py = 0;
        unsigned pw = 0, ph = 0, border = 0, pdepth = 0;
        if (wallpaper && XGetGeometry(m_dpy, wallpaper, &unusedRoot, &px, &py, &pw, &ph, &border, &pdepth) &&
            int(pdepth) == m_depth) {
            m_background =
                XCreatePixmap(m_dpy, m_window, unsigned(m_area.w), unsigned(m_area.h), unsigned(m_depth));
            GC gc = XCreateGC(m_dpy, m_background, 0, nullptr);
            // The wallpaper pixmap may be smaller than the screen: it is tiled from the origin.
            XSetTile(m_dpy, gc, wallpaper);
            XSetFillStyle(m_dpy, gc, FillTiled);
            XSetTSOrigin(m_dpy, gc, -m_area.x, -m_area.y);
            XFillRectangle(m_dpy, m_background, gc, 0, 0, unsigned(m_area.w), unsigned(m_area.h));
            XFreeGC(m_dpy, gc);
            XSetWindowBackgroundPixmap(m_dpy, m_window, m_background);
            return;
        }
        // No picture named: the root window's own background shows through.
        XSetWindowBackgroundPixmap(m_dpy, m_window, ParentRelative);
    }

    void freeFonts()
    {
        for (XftFont* font : m_fallbacks)
            XftFontClose(m_dpy, font);
        m_fallbacks.clear();
        if (m_font) {
            XftFontClose(m_dpy, m_font);
            m_font = nullptr;
        }
    }

    int pixelSize() const
    {
        if (!m_state.hasFont || m_state.font.lfHeight == 0)
            return kDefaultPixelSize;
        if (m_state.font.lfHeight < 0)
            return std::clamp(-m_state.font.lfHeight, 4, 400);
        // A cell height includes the internal leading: the character is about four fifths of it.
        return std::clamp(m_state.font.lfHeight * 4 / 5, 4, 400);
    }

    FcPattern* basePattern() const
    {
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixelSize());
        const bool bold = m_state.hasFont && m_state.font.lfWeight >= 600;
        const bool italic = m_state.hasFont && m_state.font.lfItalic;
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        return pattern;
    }

    void ensureFont()
    {
        if (m_font && sameFont(m_loadedFont, m_state.font))
            return;
        freeFonts();
        m_loadedFont = m_state.font;
        FcPattern* pattern = basePattern();
        const std::string name = m_state.hasFont ? faceNameUtf8(m_state.font) : std::string();
        if (!name.empty())
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
        if (const char* language = languageOfCharset(m_state.hasFont ? m_state.font.lfCharSet : 134))
            FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language));
        FcResult result = FcResultNoMatch;
        FcPattern* match = XftFontMatch(m_dpy, m_screen, pattern, &result);
        FcPatternDestroy(pattern);
        if (match)
            m_font = XftFontOpenPattern(m_dpy, match); // owns match
        if (!m_font)
            m_font =
                XftFontOpen(m_dpy, m_screen, XFT_PIXEL_SIZE, XftTypeDouble, double(pixelSize()), nullptr);
    }

    // The font for a character the chosen face lacks: another installed face that has it.
    XftFont* fontFor(char32_t c)
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

    std::vector<TRun> layout(const std::u16string& line, int& width)
    {
        std::vector<TRun> runs;
        width = 0;
        for (char32_t c : toCodePoints(line)) {
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

    XftColor allocColor(uint32_t rgb)
    {
        XRenderColor render{static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 257),
                            static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 257),
                            static_cast<unsigned short>((rgb & 0xFF) * 257), 0xFFFF};
        XftColor color{};
        XftColorAllocValue(m_dpy, m_visual, m_colormap, &render, &color);
        return color;
    }

    int lineX(int width) const
    {
        switch (m_state.alignment) {
        case -1:
            return m_state.margin;
        case 0:
            return (m_area.w - width) / 2;
        default:
            return m_area.w - m_state.margin - width;
        }
    }

    void drawText(const TRect* clip)
    {
        if (!m_draw)
            return;
        ensureFont();
        if (!m_font)
            return;
        if (clip) {
            XRectangle r{short(clip->x), short(clip->y), static_cast<unsigned short>(clip->w),
                         static_cast<unsigned short>(clip->h)};
            XftDrawSetClipRectangles(m_draw, 0, 0, &r, 1);
        }
        XftColor text = allocColor(EssayColorToRgb(m_state.textColor));
        XftColor rule = allocColor(EssayColorToRgb(m_state.separatorColor));
        const int ascent = m_font->ascent, descent = m_font->descent;
        const int lineHeight = std::max(m_font->height, ascent + descent);
        const int stroke = std::max(1, lineHeight / 12);
        const bool underline = m_state.hasFont && m_state.font.lfUnderline;
        const bool strikeOut = m_state.hasFont && m_state.font.lfStrikeOut;

        std::vector<std::vector<TRun>> laidOut(m_state.lines.size());
        std::vector<int> widths(m_state.lines.size(), 0);
        int widest = 0;
        for (size_t i = 0; i < m_state.lines.size(); ++i) {
            if (m_state.lines[i] == u"-")
                continue;
            laidOut[i] = layout(m_state.lines[i], widths[i]);
            widest = std::max(widest, widths[i]);
        }
        // A separator is a rule as wide as the widest line, and never shorter than ten characters.
        const int ruleWidth = std::max(widest, 10 * pixelSize());

        int y = m_state.margin;
        for (size_t i = 0; i < m_state.lines.size() && y < m_area.h; ++i, y += lineHeight) {
            if (m_state.lines[i] == u"-") {
                XftDrawRect(m_draw, &rule, lineX(ruleWidth), y + (lineHeight - stroke) / 2,
                            unsigned(ruleWidth), unsigned(stroke));
                continue;
            }
            int x = lineX(widths[i]);
            const int baseline = y + ascent;
            for (const TRun& run : laidOut[i]) {
                XftDrawString32(m_draw, &text, run.font, x, baseline,
                                reinterpret_cast<const FcChar32*>(run.text.data()), int(run.text.size()));
                x += run.width;
            }
            if (underline && widths[i] > 0)
                XftDrawRect(m_draw, &text, lineX(widths[i]), baseline + std::max(1, descent / 2),
                            unsigned(widths[i]), unsigned(stroke));
            if (strikeOut && widths[i] > 0)
                XftDrawRect(m_draw, &text, lineX(widths[i]), baseline - ascent / 3, unsigned(widths[i]),
                            unsigned(stroke));
        }
        XftColorFree(m_dpy, m_visual, m_colormap, &text);
        XftColorFree(m_dpy, m_visual, m_colormap, &rule);
        if (clip)
            XftDrawSetClip(m_draw, nullptr);
    }

    Display* m_dpy;
    int m_screen;
    Window m_root = 0;
    TAtoms m_atoms{};
    bool m_hasRandr = false;
    int m_randrEvent = 0;

    bool m_compositing = false;
    TRect m_area;
    Window m_window = 0;
    Visual* m_visual = nullptr;
    int m_depth = 0;
    Colormap m_colormap = 0;
    bool m_ownColormap = false;
    Pixmap m_background = 0;
    XftDraw* m_draw = nullptr;

    TEssayState m_state;
    uint64_t m_version = 0;
    JvLogFontW m_loadedFont{};
    XftFont* m_font = nullptr;
    std::vector<XftFont*> m_fallbacks;

    bool m_dirty = false;
    bool m_backgroundDirty = false;
    bool m_geometryDirty = false;
    TRect m_exposed;
};

} // namespace

TDeskWindow::TDeskWindow() = default;

std::unique_ptr<TDeskWindow> TDeskWindow::Start(unsigned long rootWindow)
{
    (void)rootWindow; // the window is always made on the default screen of $DISPLAY
    std::unique_ptr<TDeskWindow> window(new TDeskWindow());
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    window->m_wakeRead = fds[0];
    window->m_wakeWrite = fds[1];
    std::promise<bool> started;
    std::future<bool> result = started.get_future();
    window->m_thread = std::thread(&TDeskWindow::run, window.get(), &started);
    if (!result.get()) {
        window->m_thread.join();
        return nullptr;
    }
    return window;
}

TDeskWindow::~TDeskWindow()
{
    m_stop = true;
    Wake();
    if (m_thread.joinable())
        m_thread.join();
    if (m_wakeRead >= 0)
        close(m_wakeRead);
    if (m_wakeWrite >= 0)
        close(m_wakeWrite);
}

void TDeskWindow::Wake()
{
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] ssize_t written = write(m_wakeWrite, &byte, 1);
}

void TDeskWindow::run(std::promise<bool>* started)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        started->set_value(false);
        return;
    }
    registerDisplay(display);
    // The caller only needs to know that a display is there: the window, its fonts and the
    // wallpaper are made on this thread while the program goes on starting.
    started->set_value(true);
    {
        TPainter painter(display, DefaultScreen(display));
        painter.Create();
        const int xfd = ConnectionNumber(display);
        while (!m_stop) {
            painter.Process();
            if (XPending(display))
                continue; // events read during the pass wait in Xlib's queue, not on the socket
            pollfd fds[2] = {{xfd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
            // Once a second at least: a compositing manager may have come or gone.
            poll(fds, 2, 1000);
            if (fds[1].revents & POLLIN) {
                char buffer[64];
                while (read(m_wakeRead, buffer, sizeof buffer) > 0) {
                }
            }
        }
    }
    unregisterDisplay(display);
    XCloseDisplay(display);
}
