#pragma once

#include "hook/EssayState.h"

#include <atomic>
#include <future>
#include <memory>
#include <thread>

TEssayState SnapshotEssayState();
uint64_t EssayStateVersion();

// The window that shows the lines: borderless, below every other window, on all workspaces,
// without a taskbar entry, letting every click through to what lies beneath, over the primary
// monitor's work area. It lives on a thread of its own with its own X connection, so it draws
// whether or not the host program runs an event loop.
class TDeskWindow final
{
public:
    // Connects to the X server and shows the window; nullptr when no display can be reached.
    static std::unique_ptr<TDeskWindow> Start(unsigned long rootWindow);
    ~TDeskWindow(); // removes the window and ends the thread

    TDeskWindow(const TDeskWindow&) = delete;
    TDeskWindow& operator=(const TDeskWindow&) = delete;

    // Asks the thread to take the current state.
    void Wake();

private:
    TDeskWindow();
    void run(std::promise<bool>* started);

    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::atomic<bool> m_stop{false};
    // Set when the connection to the X server broke: the thread ends, the process goes on.
    std::atomic<bool> m_lost{false};
    std::thread m_thread;
};
