// A surface of a compositor's layer, painted with cairo into shared memory.
#include "hook/LayerSurface.h"

#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

const zwlr_layer_surface_v1_listener TLayerSurface::kLayerListener = {TLayerSurface::configure,
                                                                      TLayerSurface::closed};
const wl_buffer_listener TLayerSurface::kBufferListener = {TLayerSurface::released};

TLayerSurface::TLayerSurface(wl_compositor* compositor, wl_shm* shm, zwlr_layer_shell_v1* layerShell,
                             const TLayerPlacement& placement)
    : m_shm(shm)
{
    m_surface = wl_compositor_create_surface(compositor);
    wl_region* none = wl_compositor_create_region(compositor);
    wl_surface_set_input_region(m_surface, none);
    wl_region_destroy(none);
    m_layerSurface = zwlr_layer_shell_v1_get_layer_surface(layerShell, m_surface, nullptr, placement.layer,
                                                           placement.scope);
    zwlr_layer_surface_v1_add_listener(m_layerSurface, &kLayerListener, this);
    zwlr_layer_surface_v1_set_anchor(m_layerSurface, placement.anchor);
    zwlr_layer_surface_v1_set_size(m_layerSurface, uint32_t(placement.width), uint32_t(placement.height));
    zwlr_layer_surface_v1_set_margin(m_layerSurface, 0, placement.rightMargin, placement.bottomMargin, 0);
    // 0: kept clear of the panels' exclusive zones, and reserving none of its own.
    zwlr_layer_surface_v1_set_exclusive_zone(m_layerSurface, 0);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layerSurface,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    wl_surface_commit(m_surface);
}

TLayerSurface::~TLayerSurface()
{
    for (TBuffer& b : m_buffers)
        b.Free();
    zwlr_layer_surface_v1_destroy(m_layerSurface);
    wl_surface_destroy(m_surface);
}

void TLayerSurface::TBuffer::Free()
{
    if (buffer)
        wl_buffer_destroy(buffer);
    if (data)
        munmap(data, size);
    *this = {};
}

void TLayerSurface::configure(void* data, zwlr_layer_surface_v1* surface, uint32_t serial, uint32_t width,
                              uint32_t height)
{
    auto* self = static_cast<TLayerSurface*>(data);
    zwlr_layer_surface_v1_ack_configure(surface, serial);
    if (int(width) != self->m_width || int(height) != self->m_height || !self->m_configured)
        self->m_dirty = true;
    self->m_width = int(width);
    self->m_height = int(height);
    self->m_configured = true;
}

void TLayerSurface::closed(void* data, zwlr_layer_surface_v1*)
{
    static_cast<TLayerSurface*>(data)->m_closed = true;
}

void TLayerSurface::released(void* data, wl_buffer*)
{
    static_cast<TBuffer*>(data)->busy = false;
}

TLayerSurface::TBuffer* TLayerSurface::freeBuffer()
{
    for (TBuffer& b : m_buffers) {
        if (b.busy)
            continue;
        if (b.buffer && (b.width != m_width || b.height != m_height))
            b.Free();
        if (!b.buffer && !allocate(b))
            return nullptr;
        return &b;
    }
    return nullptr;
}

bool TLayerSurface::allocate(TBuffer& b)
{
    const int stride = m_width * 4;
    const size_t size = size_t(stride) * size_t(m_height);
    const int fd = memfd_create("jotvane-layer", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    if (ftruncate(fd, off_t(size)) != 0) {
        close(fd);
        return false;
    }
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(m_shm, fd, int32_t(size));
    b.buffer = wl_shm_pool_create_buffer(pool, 0, m_width, m_height, stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    b.data = data;
    b.size = size;
    b.width = m_width;
    b.height = m_height;
    wl_buffer_add_listener(b.buffer, &kBufferListener, &b);
    return true;
}

void TLayerSurface::Paint(const std::function<void(cairo_t*, int, int)>& paint)
{
    if (!NeedsPaint())
        return;
    TBuffer* b = freeBuffer();
    if (!b)
        return;
    cairo_surface_t* image = cairo_image_surface_create_for_data(
        static_cast<unsigned char*>(b->data), CAIRO_FORMAT_ARGB32, m_width, m_height, m_width * 4);
    cairo_t* cr = cairo_create(image);
    paint(cr, m_width, m_height);
    cairo_destroy(cr);
    cairo_surface_flush(image);
    cairo_surface_destroy(image);
    wl_surface_attach(m_surface, b->buffer, 0, 0);
    wl_surface_damage(m_surface, 0, 0, m_width, m_height);
    wl_surface_commit(m_surface);
    b->busy = true;
    m_dirty = false;
}
