// The library's Wayland connection: the desktop text on the bottom layer and notices on the
// overlay layer, each a layer surface drawn into shared memory.
#include "hook/LayerClient.h"

#include "hook/DeskWindow.h"
#include "hook/LayerPainter.h"
#include "hook/LayerSurface.h"

#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

bool WaylandSessionNamed()
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    return name && *name;
}

namespace {

// A notice is never larger than this on either side: a wild size must not reserve the memory.
constexpr int kMaxNoticeSide = 2048;

struct TNotice
{
    std::unique_ptr<TLayerSurface> surface;
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
};

// Puts the notice's picture into the surface as it stands, at its top-left corner.
void paintPicture(cairo_t* cr, const TNotice& notice)
{
    cairo_surface_t* picture = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(notice.pixels.data())), CAIRO_FORMAT_ARGB32,
        notice.width, notice.height, notice.width * 4);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
    cairo_paint(cr);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_paint(cr);
    cairo_surface_destroy(picture);
}

} // namespace

struct TLayerClient::TConnection
{
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    bool outputAdded = false; // an output appeared since the desk surface was closed
    std::unique_ptr<TLayerSurface> desk;
    TEssayState state;
    uint64_t version = ~uint64_t(0);
    std::map<int32_t, TNotice> notices;

    ~TConnection()
    {
        desk.reset();
        notices.clear();
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

    std::unique_ptr<TLayerSurface> surface(const TLayerPlacement& placement)
    {
        return std::make_unique<TLayerSurface>(compositor, shm, layerShell, placement);
    }

    void updateDesk(bool shown)
    {
        if (!shown) {
            desk.reset();
            return;
        }
        // A desk surface whose output went comes back once an output appears again.
        if (desk && desk->Closed() && outputAdded)
            desk.reset();
        if (!desk) {
            TLayerPlacement whole;
            whole.layer = ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM;
            // The whole output less the panels' exclusive zones, sized by the compositor.
            whole.anchor = ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                           ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;
            whole.scope = "jotvane-desktop";
            desk = surface(whole);
            outputAdded = false;
        }
        if (EssayStateVersion() != version) {
            state = SnapshotEssayState();
            version = state.version;
            desk->Invalidate();
        }
        desk->Paint([this](cairo_t* cr, int width, int height) { PaintEssay(cr, width, height, state); });
    }

    void apply(TNoticeRequest& request)
    {
        if (request.close) {
            notices.erase(request.notice);
            return;
        }
        TLayerPlacement corner;
        corner.layer = ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY;
        corner.anchor = ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;
        corner.width = request.width;
        corner.height = request.height;
        corner.rightMargin = request.right;
        corner.bottomMargin = request.bottom;
        corner.scope = "jotvane-notice";
        TNotice& notice = notices[request.notice];
        notice.surface = surface(corner);
        notice.pixels = std::move(request.pixels);
        notice.width = request.width;
        notice.height = request.height;
    }

    void updateNotices()
    {
        for (auto it = notices.begin(); it != notices.end();) {
            TNotice& notice = it->second;
            if (notice.surface->Closed()) {
                it = notices.erase(it);
                continue;
            }
            notice.surface->Paint([&notice](cairo_t* cr, int, int) { paintPicture(cr, notice); });
            ++it;
        }
    }
};

std::unique_ptr<TLayerClient> TLayerClient::Start()
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
    std::unique_ptr<TLayerClient> client(new TLayerClient(std::move(c)));
    return client->m_wakeWrite >= 0 ? std::move(client) : nullptr;
}

TLayerClient::TLayerClient(std::unique_ptr<TConnection> connection) : m_connection(std::move(connection))
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_wakeRead = fds[0];
    m_wakeWrite = fds[1];
    m_thread = std::thread([this] { run(); });
}

TLayerClient::~TLayerClient()
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

void TLayerClient::ShowDesk(bool show)
{
    m_deskShown = show;
    Wake();
}

void TLayerClient::Wake()
{
    if (m_wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(m_wakeWrite, &byte, 1);
    }
}

int32_t TLayerClient::ShowNotice(const uint32_t* pixels, int width, int height, int right, int bottom)
{
    TNoticeRequest request;
    request.width = std::clamp(width, 1, kMaxNoticeSide);
    request.height = std::clamp(height, 1, kMaxNoticeSide);
    request.right = std::max(0, right);
    request.bottom = std::max(0, bottom);
    request.pixels.assign(size_t(request.width) * size_t(request.height), 0);
    if (pixels)
        for (int y = 0; y < std::min(height, request.height); ++y)
            std::copy_n(pixels + size_t(y) * size_t(width), request.width,
                        request.pixels.begin() + std::ptrdiff_t(y) * request.width);
    int32_t notice = 0;
    {
        std::lock_guard lock(m_requestMutex);
        notice = request.notice = ++m_lastNotice;
        m_requests.push_back(std::move(request));
    }
    Wake();
    return notice;
}

void TLayerClient::CloseNotice(int32_t notice)
{
    {
        std::lock_guard lock(m_requestMutex);
        TNoticeRequest request;
        request.notice = notice;
        request.close = true;
        m_requests.push_back(std::move(request));
    }
    Wake();
}

void TLayerClient::run()
{
    TConnection& c = *m_connection;
    wl_display* d = c.display;
    while (!m_stop) {
        std::vector<TNoticeRequest> requests;
        {
            std::lock_guard lock(m_requestMutex);
            requests.swap(m_requests);
        }
        for (TNoticeRequest& request : requests)
            c.apply(request);
        c.updateDesk(m_deskShown);
        c.updateNotices();
        while (wl_display_prepare_read(d) != 0) {
            if (wl_display_dispatch_pending(d) < 0)
                return; // the compositor went away: the process goes on without the surfaces
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
