#pragma once

#include "platform/HotKeyGrabber.h"

#include <memory>

// Global hotkeys on X11: passive key grabs on the root window of the program's own display
// connection, one for every state of the lock keys (Caps Lock, Num Lock, Scroll Lock), so that a
// hotkey works whatever lock lights are on. The key presses arrive through a native event filter
// on Qt's xcb connection. Without an X11 connection (Wayland, offscreen) every registration fails.
class X11HotKeyGrabber final : public IHotKeyGrabber
{
public:
    X11HotKeyGrabber();
    // Releases every grab.
    ~X11HotKeyGrabber() override;
    Q_DISABLE_COPY_MOVE(X11HotKeyGrabber)

    bool registerHotKey(int id, QKeyCombination key) override;
    void unregisterHotKey(int id) override;

    // True when the program runs on an X11 connection, so that grabs can work at all.
    static bool isAvailable();
    // The X keysym for key, 0 when there is none. Letters give the lower-case keysym.
    static unsigned long keySymFor(QKeyCombination key);

private:
    class TPrivate;
    std::unique_ptr<TPrivate> d;
};
