#pragma once

#include "platform/OverlayNotices.h"

// Through the Wayland connection of the desktop-text library (libjotvanehook.so), which is
// loaded at the first question. Without the library or a compositor with layer-shell no notice
// is available.
class TLayerOverlayNotices final : public IOverlayNotices
{
public:
    bool Available() override;
    int Show(const QImage& picture, int right, int bottom) override;
    void Close(int notice) override;

private:
    int m_available = -1; // not asked yet
};
