#pragma once

#include <atomic>
#include <memory>
#include <thread>

struct wl_display;

// True when the program runs in a Wayland session: a Wayland display is named, whether the
// program itself talks Wayland or X11 through Xwayland. The X11 window is never made there.
bool WaylandSessionNamed();

// The desktop text as a surface of the compositor's bottom layer (wlr layer-shell): over the
// wallpaper and below every window, never taking the keyboard, with an empty input region so
// that every click reaches whatever lies beneath. It has its own Wayland connection and a
// thread of its own that draws into shared memory, whether or not the host runs an event loop.
class TLayerDesk final
{
public:
    // Connects to the compositor and shows the surface; nullptr when no compositor can be
    // reached or it offers no layer-shell (GNOME).
    static std::unique_ptr<TLayerDesk> Start();
    ~TLayerDesk(); // removes the surface and ends the thread

    TLayerDesk(const TLayerDesk&) = delete;
    TLayerDesk& operator=(const TLayerDesk&) = delete;

    // Asks the thread to take the current state.
    void Wake();

private:
    struct TConnection;
    explicit TLayerDesk(std::unique_ptr<TConnection> connection);
    void run();

    std::unique_ptr<TConnection> m_connection;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
