#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <functional>

struct wl_buffer;
struct wl_buffer_listener;
struct wl_compositor;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct zwlr_layer_surface_v1_listener;

// Where a layer surface goes and what it takes.
struct TLayerPlacement
{
    uint32_t layer = 0;  // zwlr_layer_shell_v1 layer: background, bottom, top or overlay
    uint32_t anchor = 0; // edges it is anchored to; all four with a size of 0: the whole free area
    int width = 0, height = 0;
    int rightMargin = 0, bottomMargin = 0;
    const char* scope = "jotvane";
};

// One surface on a layer of the compositor (wlr layer-shell), drawn with cairo into shared
// memory. It never takes the keyboard and has an empty input region: every click and touch goes
// to whatever lies beneath. It keeps the compositor's size, and two buffers so that one can be
// painted while the other is on the screen. Used on the thread of its connection only.
class TLayerSurface final
{
public:
    TLayerSurface(wl_compositor* compositor, wl_shm* shm, zwlr_layer_shell_v1* layerShell,
                  const TLayerPlacement& placement);
    ~TLayerSurface();

    TLayerSurface(const TLayerSurface&) = delete;
    TLayerSurface& operator=(const TLayerSurface&) = delete;

    // The compositor took the surface away (its output went).
    bool Closed() const { return m_closed; }
    // Configured by the compositor and changed since the last paint.
    bool NeedsPaint() const { return m_configured && m_dirty && m_width > 0 && m_height > 0; }
    void Invalidate() { m_dirty = true; }
    // Paints into a free buffer with paint(cr, width, height) and shows it. Nothing happens while
    // both buffers are on the screen: the surface stays dirty and is painted when one comes back.
    void Paint(const std::function<void(cairo_t*, int, int)>& paint);

private:
    struct TBuffer
    {
        wl_buffer* buffer = nullptr;
        void* data = nullptr;
        size_t size = 0;
        int width = 0, height = 0;
        bool busy = false;
        void Free();
    };

    TBuffer* freeBuffer();
    bool allocate(TBuffer& b);

    static void configure(void* data, zwlr_layer_surface_v1* surface, uint32_t serial, uint32_t width,
                          uint32_t height);
    static void closed(void* data, zwlr_layer_surface_v1* surface);
    static void released(void* data, wl_buffer* buffer);
    static const zwlr_layer_surface_v1_listener kLayerListener;
    static const wl_buffer_listener kBufferListener;

    wl_shm* m_shm;
    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layerSurface = nullptr;
    TBuffer m_buffers[2];
    int m_width = 0, m_height = 0;
    bool m_configured = false;
    bool m_closed = false;
    bool m_dirty = true;
};
