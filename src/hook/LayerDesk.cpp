// The desktop text on the compositor's bottom layer, with a Wayland connection of its own.
#include "hook/LayerDesk.h"

#include "hook/DeskWindow.h"
#include "hook/LayerPainter.h"

#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

bool WaylandSessionNamed()
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    return name && *name;
}

namespace {

// One buffer of shared memory the surface shows; the compositor holds it until it releases it.
struct TShmBuffer
{
    wl_buffer* buffer = nullptr;
    void* data = nullptr;
    size_t size = 0;
    int width = 0, height = 0;
    bool busy = false;

    void Free()
    {
        if (buffer)
            wl_buffer_destroy(buffer);
        if (data)
            munmap(data, size);
        *this = {};
    }
};

} // namespace

struct TLayerDesk::TConnection
{
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layerSurface = nullptr;
    TShmBuffer buffers[2];
    int width = 0, height = 0; // as the compositor configured the surface
    bool configured = false;
    bool closed = false;      // the compositor took the surface away (its output went)
    bool outputAdded = false; // an output appeared since: the surface is made again
    bool dirty = true;
    TEssayState state;
    uint64_t version = ~uint64_t(0);

    ~TConnection()
    {
        destroySurface();
        if (layerShell)
            zwlr_layer_shell_v1_destroy(layerShell);
        if (shm)
            wl_shm_destroy(shm);
        if (compositor)
            wl_compositor_destroy(compositor);
        if (registry)
            wl_registry_destroy(registry);
        if (display) {
            wl_display_flush(display);
            wl_display_disconnect(display);
        }
    }

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version)
    {
        auto* self = static_cast<TConnection*>(data);
        if (std::strcmp(interface, wl_compositor_interface.name) == 0 && !self->compositor) {
            self->compositor =
                static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 1));
        } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && !self->shm) {
            self->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 && !self->layerShell) {
            self->layerShell = static_cast<zwlr_layer_shell_v1*>(
                wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, version < 3 ? version : 3));
        } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
            self->outputAdded = true;
        }
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener kRegistryListener = {global, globalRemove};

    static void configure(void* data, zwlr_layer_surface_v1* surface, uint32_t serial, uint32_t width,
                          uint32_t height)
    {
        auto* self = static_cast<TConnection*>(data);
        zwlr_layer_surface_v1_ack_configure(surface, serial);
        if (int(width) != self->width || int(height) != self->height || !self->configured)
            self->dirty = true;
        self->width = int(width);
        self->height = int(height);
        self->configured = true;
    }
    static void closedEvent(void* data, zwlr_layer_surface_v1*)
    {
        auto* self = static_cast<TConnection*>(data);
        self->closed = true;
        self->outputAdded = false;
    }
    static constexpr zwlr_layer_surface_v1_listener kLayerListener = {configure, closedEvent};

    static void released(void* data, wl_buffer*) { static_cast<TShmBuffer*>(data)->busy = false; }
    static constexpr wl_buffer_listener kBufferListener = {released};

    void createSurface()
    {
        surface = wl_compositor_create_surface(compositor);
        // No input at all: every click and touch goes to what lies beneath.
        wl_region* none = wl_compositor_create_region(compositor);
        wl_surface_set_input_region(surface, none);
        wl_region_destroy(none);
        layerSurface = zwlr_layer_shell_v1_get_layer_surface(
            layerShell, surface, nullptr, ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM, "jotvane-desktop");
        zwlr_layer_surface_v1_add_listener(layerSurface, &kLayerListener, this);
        // The whole output less the panels' exclusive zones, sized by the compositor.
        zwlr_layer_surface_v1_set_anchor(
            layerSurface, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                              ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(layerSurface, 0, 0);
        zwlr_layer_surface_v1_set_exclusive_zone(layerSurface, 0);
        zwlr_layer_surface_v1_set_keyboard_interactivity(layerSurface,
                                                         ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
        wl_surface_commit(surface);
        configured = false;
        closed = false;
        dirty = true;
    }

    void destroySurface()
    {
        for (TShmBuffer& b : buffers)
            b.Free();
        if (layerSurface)
            zwlr_layer_surface_v1_destroy(layerSurface);
        if (surface)
            wl_surface_destroy(surface);
        layerSurface = nullptr;
        surface = nullptr;
        configured = false;
    }

    TShmBuffer* freeBuffer()
    {
        for (TShmBuffer& b : buffers) {
            if (b.busy)
                continue;
            if (b.buffer && (b.width != width || b.height != height))
                b.Free();
            if (!b.buffer && !allocate(b))
                return nullptr;
            return &b;
        }
        return nullptr; // both on the screen: painted again when one comes back
    }

    bool allocate(TShmBuffer& b)
    {
        const int stride = width * 4;
        const size_t size = size_t(stride) * size_t(height);
        const int fd = memfd_create("jotvane-desktop", MFD_CLOEXEC);
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
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(size));
        b.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
        close(fd);
        b.data = data;
        b.size = size;
        b.width = width;
        b.height = height;
        wl_buffer_add_listener(b.buffer, &kBufferListener, &b);
        return true;
    }

    void paint()
    {
        if (!surface || !configured || width <= 0 || height <= 0)
            return;
        TShmBuffer* b = freeBuffer();
        if (!b)
            return;
        cairo_surface_t* image = cairo_image_surface_create_for_data(
            static_cast<unsigned char*>(b->data), CAIRO_FORMAT_ARGB32, width, height, width * 4);
        cairo_t* cr = cairo_create(image);
        PaintEssay(cr, width, height, state);
        cairo_destroy(cr);
        cairo_surface_flush(image);
        cairo_surface_destroy(image);
        wl_surface_attach(surface, b->buffer, 0, 0);
        wl_surface_damage(surface, 0, 0, width, height);
        wl_surface_commit(surface);
        b->busy = true;
        dirty = false;
    }

    // Anything that changed since the last pass: the surface back after its output came
    // back, the state the exports were given, the paint.
    void update()
    {
        if (closed && outputAdded) {
            destroySurface();
            createSurface();
        }
        if (EssayStateVersion() != version) {
            state = SnapshotEssayState();
            version = state.version;
            dirty = true;
        }
        if (dirty)
            paint();
    }
};

std::unique_ptr<TLayerDesk> TLayerDesk::Start()
{
    if (!WaylandSessionNamed())
        return nullptr;
    auto c = std::make_unique<TConnection>();
    c->display = wl_display_connect(nullptr);
    if (!c->display)
        return nullptr;
    c->registry = wl_display_get_registry(c->display);
    wl_registry_add_listener(c->registry, &TConnection::kRegistryListener, c.get());
    if (wl_display_roundtrip(c->display) < 0 || !c->compositor || !c->shm || !c->layerShell)
        return nullptr;
    c->createSurface();
    // The first configure comes before the thread starts, so that the text shows at once.
    if (wl_display_roundtrip(c->display) < 0)
        return nullptr;
    std::unique_ptr<TLayerDesk> desk(new TLayerDesk(std::move(c)));
    return desk->m_wakeWrite >= 0 ? std::move(desk) : nullptr;
}

TLayerDesk::TLayerDesk(std::unique_ptr<TConnection> connection) : m_connection(std::move(connection))
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_wakeRead = fds[0];
    m_wakeWrite = fds[1];
    m_thread = std::thread([this] { run(); });
}

TLayerDesk::~TLayerDesk()
{
    m_stop = true;
    Wake();
    if (m_thread.joinable())
        m_thread.join();
    m_connection.reset();
    if (m_wakeRead >= 0)
        close(m_wakeRead);
    if (m_wakeWrite >= 0)
        close(m_wakeWrite);
}

void TLayerDesk::Wake()
{
    if (m_wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(m_wakeWrite, &byte, 1);
    }
}

void TLayerDesk::run()
{
    TConnection& c = *m_connection;
    wl_display* d = c.display;
    while (!m_stop) {
        c.update();
        while (wl_display_prepare_read(d) != 0) {
            if (wl_display_dispatch_pending(d) < 0)
                return; // the compositor went away: the process goes on without the text
        }
        wl_display_flush(d);
        pollfd fds[2] = {{wl_display_get_fd(d), POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            wl_display_cancel_read(d);
            continue;
        }
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
            if (wl_display_read_events(d) < 0)
                return;
        } else {
            wl_display_cancel_read(d);
        }
        if (wl_display_dispatch_pending(d) < 0)
            return;
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (read(m_wakeRead, drain, sizeof drain) > 0) {
            }
        }
    }
}
