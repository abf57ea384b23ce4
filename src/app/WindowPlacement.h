#pragma once

class QWidget;
class TAppConfigMgr;

// Where the note window stands: restored from the settings at start, stored back at exit.
class TWindowPlacement final
{
public:
    TWindowPlacement(QWidget& window, TAppConfigMgr& config) : m_window(window), m_config(config) {}

    // The saved bounds, kept on a monitor, or the default place at the bottom right of the work
    // area; maximised when it was.
    void RestoreBounds();
    // The default place is known only as a client rectangle until the window manager has put
    // its frame around the window; the first show then moves the frame into the work area.
    void WindowShown();
    void SaveBounds();

private:
    void KeepFrameInWorkArea();

    QWidget& m_window;
    TAppConfigMgr& m_config;
    bool m_defaultPlace = false;
};
