// The desktop text's window and the thread that runs it, with an X connection of its own.
#include "hook/DeskWindow.h"

#include "hook/DeskPainter.h"
#include "hook/XErrorRouting.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The window over the work area with its X events; the painter draws into it.
class TDeskLoop
{
public:
    TDeskLoop(Display* display, int screen)
        : m_dpy(display), m_screen(screen), m_painter(display, screen, m_state)
    {
        m_root = RootWindow(display, screen);
        m_atoms.workArea = XInternAtom(m_dpy, "_NET_WORKAREA", False);
        m_atoms.clientList = XInternAtom(m_dpy, "_NET_CLIENT_LIST", False);
        m_atoms.windowType = XInternAtom(m_dpy, "_NET_WM_WINDOW_TYPE", False);
        m_atoms.desktopType = XInternAtom(m_dpy, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
        int shapeEvent = 0, shapeError = 0;
        m_hasShape = XShapeQueryExtension(m_dpy, &shapeEvent, &shapeError);
        const std::string cm = "_NET_WM_CM_S" + std::to_string(screen);
        m_atoms.compositor = XInternAtom(m_dpy, cm.c_str(), False);
        int error = 0;
        m_hasRandr = XRRQueryExtension(m_dpy, &m_randrEvent, &error);
        if (m_hasRandr)
            XRRSelectInput(m_dpy, m_root,
                           RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
        // The root's children too: a desktop window that comes, goes or is restacked moves the text.
        XSelectInput(m_dpy, m_root, PropertyChangeMask | StructureNotifyMask | SubstructureNotifyMask);
    }

    ~TDeskLoop()
    {
        destroyWindow();
        XFlush(m_dpy);
    }

    void Create()
    {
        m_compositing = compositorRunning();
        m_painter.SetDpi(TDeskPainter::ScreenDpi(m_dpy, m_screen));
        m_area = workArea();
        createWindow();
        m_state = SnapshotEssayState();
        m_version = m_state.version;
        m_painter.UpdateBackground();
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
                m_painter.SetArea(m_area);
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
            m_painter.UpdateBackground();
            m_dirty = true;
        }
        if (m_dirty) {
            m_dirty = false;
            setShape(m_painter.Layout());
            XClearWindow(m_dpy, m_window);
            m_painter.DrawText(nullptr);
        }
        if (m_stackDirty) {
            m_stackDirty = false;
            restack();
        }
        XFlush(m_dpy);
    }

private:
    struct TAtoms
    {
        Atom workArea, compositor, clientList, windowType, desktopType;
    };

    // Only the rows of text are part of the window: around them the wallpaper, the desktop
    // window and whatever other programs draw on the root window stay in sight.
    void setShape(const std::vector<TRect>& rows)
    {
        if (!m_hasShape)
            return;
        std::vector<XRectangle> rectangles;
        rectangles.reserve(rows.size());
        for (const TRect& r : rows) {
            const TRect visible = intersect(r, {0, 0, m_area.w, m_area.h});
            if (visible.w > 0 && visible.h > 0)
                rectangles.push_back({short(visible.x), short(visible.y),
                                      static_cast<unsigned short>(visible.w),
                                      static_cast<unsigned short>(visible.h)});
        }
        XShapeCombineRectangles(m_dpy, m_window, ShapeBounding, 0, 0, rectangles.data(),
                                int(rectangles.size()), ShapeSet, Unsorted);
    }

    bool hasDesktopType(Window window)
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool desktop = false;
        if (XGetWindowProperty(m_dpy, window, m_atoms.windowType, 0, 16, False, XA_ATOM, &type, &format,
                               &count, &after, &data) == Success &&
            data) {
            if (format == 32) {
                const auto* atoms = reinterpret_cast<const Atom*>(data);
                desktop = std::find(atoms, atoms + count, m_atoms.desktopType) != atoms + count;
            }
            XFree(data);
        }
        return desktop;
    }

    // The child of the root that holds window (a window manager's frame, or window itself).
    Window topLevelOf(Window window)
    {
        for (int depth = 0; depth < 16 && window; ++depth) {
            Window root = 0, parent = 0;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(m_dpy, window, &root, &parent, &children, &count))
                return 0;
            if (children)
                XFree(children);
            if (parent == m_root || parent == 0)
                return window;
            window = parent;
        }
        return 0;
    }

    // The root's children that show a desktop window (a file manager's icons, a desktop
    // shell): desktop-type clients of the window manager in their frames, and unmanaged
    // desktop-type windows. Kept until the windows change.
    const std::vector<Window>& desktopTopLevels(const Window* children, unsigned count)
    {
        if (m_desktopsKnown)
            return m_desktops;
        m_desktops.clear();
        Atom type = None;
        int format = 0;
        unsigned long clients = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_dpy, m_root, m_atoms.clientList, 0, 4096, False, XA_WINDOW, &type, &format,
                               &clients, &after, &data) == Success &&
            data) {
            if (format == 32) {
                const auto* list = reinterpret_cast<const unsigned long*>(data);
                for (unsigned long i = 0; i < clients; ++i)
                    if (Window(list[i]) != m_window && hasDesktopType(Window(list[i])))
                        if (const Window top = topLevelOf(Window(list[i])))
                            m_desktops.push_back(top);
            }
            XFree(data);
        }
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (children[i] != m_window && XGetWindowAttributes(m_dpy, children[i], &attributes) &&
                attributes.override_redirect && hasDesktopType(children[i]))
                m_desktops.push_back(children[i]);
        }
        m_desktopsKnown = true;
        return m_desktops;
    }

    // Just above the topmost desktop window where there is one, else at the very bottom: below
    // every normal window either way.
    void restack()
    {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!m_window || !XQueryTree(m_dpy, m_root, &root, &parent, &children, &count))
            return;
        const std::vector<Window>& desktops = desktopTopLevels(children, count);
        int own = -1, below = -1; // indexes in bottom-to-top order
        for (unsigned i = 0; i < count; ++i) {
            if (children[i] == m_window)
                own = int(i);
            else if (std::find(desktops.begin(), desktops.end(), children[i]) != desktops.end())
                below = int(i);
        }
        if (own >= 0 && below >= 0 && own != below + 1) {
            XWindowChanges changes{};
            changes.sibling = children[below];
            changes.stack_mode = Above;
            XConfigureWindow(m_dpy, m_window, CWSibling | CWStackMode, &changes);
        } else if (own > 0 && below < 0) {
            XLowerWindow(m_dpy, m_window);
        }
        if (children)
            XFree(children);
    }

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
        m_window =
            XCreateWindow(m_dpy, m_root, m_area.x, m_area.y, unsigned(std::max(1, m_area.w)),
                          unsigned(std::max(1, m_area.h)), 0, depth, InputOutput, visual, mask, &attributes);
        setProperties();
        // An empty input shape: every click reaches the window beneath, the desktop included.
        XShapeCombineRectangles(m_dpy, m_window, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
        // Nothing shows until the lines are laid out.
        setShape({});
        m_painter.Attach({m_window, visual, depth, m_colormap, m_area});
        XMapWindow(m_dpy, m_window);
        XLowerWindow(m_dpy, m_window);
        m_stackDirty = true;
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
        m_painter.Detach();
        if (m_window) {
            XDestroyWindow(m_dpy, m_window);
            m_window = 0;
        }
        m_painter.FreeBackground();
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
                m_painter.DrawText(&m_exposed);
            }
            if (e.count == 0)
                m_exposed = {};
            break;
        }
        case CreateNotify:
        case DestroyNotify:
        case ReparentNotify:
        case MapNotify:
        case UnmapNotify:
            m_desktopsKnown = m_desktopsKnown && event.type != DestroyNotify &&
                              event.type != ReparentNotify && event.type != MapNotify;
            m_stackDirty = true;
            break;
        case CirculateNotify:
            m_stackDirty = true;
            break;
        case ConfigureNotify:
            if (event.xconfigure.event == m_root && event.xconfigure.window != m_root)
                m_stackDirty = true; // a window of the desktop moved in the stack, perhaps
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
                else if (event.xproperty.atom == m_atoms.clientList) {
                    m_desktopsKnown = false;
                    m_stackDirty = true;
                } else if (m_painter.IsWallpaperProperty(event.xproperty.atom))
                    m_backgroundDirty = true;
            }
            break;
        default:
            break;
        }
    }

    Display* m_dpy;
    int m_screen;
    Window m_root = 0;
    TAtoms m_atoms{};
    bool m_hasRandr = false;
    bool m_hasShape = false;
    bool m_stackDirty = false;
    bool m_desktopsKnown = false;
    std::vector<Window> m_desktops;
    int m_randrEvent = 0;

    bool m_compositing = false;
    TRect m_area;
    Window m_window = 0;
    Colormap m_colormap = 0;
    bool m_ownColormap = false;

    TEssayState m_state;
    uint64_t m_version = 0;
    TDeskPainter m_painter;

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
    // A broken connection ends this thread, not the process: by default Xlib calls exit() on
    // it, from this thread, while the program's own exit may be under way on another.
    XSetIOErrorExitHandler(
        display, [](Display*, void* lost) { static_cast<std::atomic<bool>*>(lost)->store(true); }, &m_lost);
    // The caller only needs to know that a display is there: the window, its fonts and the
    // wallpaper are made on this thread while the program goes on starting.
    started->set_value(true);
    {
        TDeskLoop loop(display, DefaultScreen(display));
        loop.Create();
        const int xfd = ConnectionNumber(display);
        while (!m_stop && !m_lost) {
            loop.Process();
            if (m_lost)
                break;
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
