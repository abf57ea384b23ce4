#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// True when the program runs in a Wayland session: a Wayland display is named, whether the
// program itself talks Wayland or X11 through Xwayland. The X11 window is never made there.
bool WaylandSessionNamed();

// The library's own Wayland connection to a compositor with layer-shell, served by a thread of
// its own that draws into shared memory, whether or not the host runs an event loop. It carries
// the desktop text, a surface of the bottom layer over the wallpaper and below every window, and
// notices, small pictures on the overlay layer at the bottom-right corner of the free area (above
// the panels). No surface takes the keyboard, and clicks reach whatever lies beneath.
class TLayerClient final
{
public:
    // Connects to the compositor; nullptr when none can be reached or it offers no layer-shell
    // (GNOME).
    static std::unique_ptr<TLayerClient> Start();
    ~TLayerClient(); // removes every surface and ends the thread

    TLayerClient(const TLayerClient&) = delete;
    TLayerClient& operator=(const TLayerClient&) = delete;

    // Shows or removes the desktop text; shown, it follows the exports' state.
    void ShowDesk(bool show);
    // Asks the thread to take the current state.
    void Wake();

    // A notice of width × height pixels (cairo's ARGB32, premultiplied, rows of width; copied),
    // right and bottom pixels in from the free area's corner. Its number, never 0.
    int32_t ShowNotice(const uint32_t* pixels, int width, int height, int right, int bottom);
    void CloseNotice(int32_t notice);

private:
    struct TConnection;
    // What the host asked for, taken by the thread on its next pass.
    struct TNoticeRequest
    {
        int32_t notice = 0;
        bool close = false;
        std::vector<uint32_t> pixels;
        int width = 0, height = 0, right = 0, bottom = 0;
    };

    explicit TLayerClient(std::unique_ptr<TConnection> connection);
    void run();

    std::unique_ptr<TConnection> m_connection;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_deskShown{false};
    std::mutex m_requestMutex;
    std::vector<TNoticeRequest> m_requests;
    int32_t m_lastNotice = 0;
    std::thread m_thread;
};
