#pragma once

class QImage;

// Notices on the compositor's overlay layer in a Wayland session: pictures at the corner of the
// screen's free area, above the panels, that never take the keyboard focus. The program's own
// popup windows would be ordinary windows there, placed, tiled and focused by the compositor.
class IOverlayNotices
{
public:
    virtual ~IOverlayNotices() = default;
    // Whether notices can be shown: a compositor with layer-shell.
    virtual bool Available() = 0;
    // Shows picture with its bottom-right corner right and bottom pixels in from the free area's
    // bottom-right corner. Its number for Close, 0 when it could not be shown.
    virtual int Show(const QImage& picture, int right, int bottom) = 0;
    virtual void Close(int notice) = 0;
};
