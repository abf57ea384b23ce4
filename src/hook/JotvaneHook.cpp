// The exports: they keep copies of what they are given and wake the drawing thread.
#include "hook/JotvaneHook.h"

#include "hook/DeskWindow.h"
#include "hook/EssayState.h"
#include "hook/LayerClient.h"

#include <algorithm>
#include <memory>
#include <mutex>

namespace {

// Lines beyond this index are not kept: no desktop shows them, and a wild index must not make
// the library reserve memory it cannot have.
constexpr int32_t kMaxLines = 10000;
// A line longer than this is cut; the rest could never be seen on any screen.
constexpr size_t kMaxLineLength = 4096;

std::mutex g_stateMutex;
TEssayState g_state;
std::vector<std::u16string> g_pending; // lines of the set being sent

std::mutex g_hookMutex; // SetDeskHook against itself
std::unique_ptr<TDeskWindow> g_window;
// In a Wayland session: the connection that carries the desktop text on the compositor's bottom
// layer instead of the X11 window, and the notices on its overlay layer.
std::unique_ptr<TLayerClient> g_layer;

// The connection, made when first needed; nullptr where the compositor offers no layer-shell.
TLayerClient* layerClient()
{
    // g_hookMutex held by the caller.
    if (!g_layer)
        g_layer = TLayerClient::Start();
    return g_layer.get();
}

void changed()
{
    // g_stateMutex held by the caller.
    ++g_state.version;
}

void wake()
{
    std::lock_guard hook(g_hookMutex);
    if (g_window)
        g_window->Wake();
    if (g_layer)
        g_layer->Wake();
}

// Stops the drawing thread when the library is unloaded or the process ends without removing
// the display first.
struct TUnloadGuard
{
    ~TUnloadGuard()
    {
        std::lock_guard hook(g_hookMutex);
        g_window.reset();
        g_layer.reset();
    }
} g_unloadGuard;

} // namespace

TEssayState SnapshotEssayState()
{
    std::lock_guard lock(g_stateMutex);
    return g_state;
}

uint64_t EssayStateVersion()
{
    std::lock_guard lock(g_stateMutex);
    return g_state.version;
}

extern "C" {

uint8_t SetDeskHook(unsigned long window)
{
    std::lock_guard hook(g_hookMutex);
    if (window == 0) {
        g_window.reset();
        if (g_layer)
            g_layer->ShowDesk(false);
        return 0;
    }
    // A Wayland compositor ignores how X11 windows are stacked and shaped: there the text is a
    // layer surface or nothing, also for a program that runs through Xwayland.
    if (WaylandSessionNamed()) {
        TLayerClient* layer = layerClient();
        if (layer)
            layer->ShowDesk(true);
        return layer ? 1 : 0;
    }
    if (g_window) {
        g_window->Wake();
        return 1;
    }
    g_window = TDeskWindow::Start(window);
    return g_window ? 1 : 0;
}

void SetShowClock(uint8_t show)
{
    std::lock_guard lock(g_stateMutex);
    g_state.showClock = show != 0;
}

void SetShowDesktopWallPaper(uint8_t show)
{
    {
        std::lock_guard lock(g_stateMutex);
        g_state.showWallPaper = show != 0;
        changed();
    }
    wake();
}

void SetEssayColor(int32_t separatorColor, int32_t textColor)
{
    {
        std::lock_guard lock(g_stateMutex);
        g_state.separatorColor = separatorColor;
        g_state.textColor = textColor;
        changed();
    }
    wake();
}

void SetEssayFont(const JvLogFontW* font)
{
    if (!font)
        return;
    {
        std::lock_guard lock(g_stateMutex);
        g_state.font = *font;
        g_state.font.lfFaceName[31] = 0;
        g_state.hasFont = true;
        changed();
    }
    wake();
}

void SetEssay(int32_t index, const uint16_t* text)
{
    if (index < 0 || index >= kMaxLines)
        return;
    std::u16string line;
    if (text) {
        size_t length = 0;
        while (length < kMaxLineLength && text[length] != 0)
            ++length;
        line.assign(reinterpret_cast<const char16_t*>(text), length);
    }
    std::lock_guard lock(g_stateMutex);
    if (g_pending.size() <= static_cast<size_t>(index))
        g_pending.resize(static_cast<size_t>(index) + 1);
    g_pending[static_cast<size_t>(index)] = std::move(line);
}

void SetEssayCount(int32_t count)
{
    {
        std::lock_guard lock(g_stateMutex);
        const size_t n = static_cast<size_t>(std::clamp<int32_t>(count, 0, kMaxLines));
        if (g_pending.size() < n)
            g_pending.resize(n);
        g_state.lines.assign(g_pending.begin(), g_pending.begin() + static_cast<std::ptrdiff_t>(n));
        g_pending.clear();
        changed();
    }
    wake();
}

void SetEssayAligment(int8_t alignment, int32_t margin)
{
    {
        std::lock_guard lock(g_stateMutex);
        g_state.alignment = static_cast<int8_t>(std::clamp<int>(alignment, -1, 1));
        g_state.margin = std::max<int32_t>(0, margin);
        changed();
    }
    wake();
}

uint8_t OverlayNoticesAvailable(void)
{
    std::lock_guard hook(g_hookMutex);
    return WaylandSessionNamed() && layerClient() ? 1 : 0;
}

int32_t ShowOverlayNotice(const uint32_t* pixels, int32_t width, int32_t height, int32_t right,
                          int32_t bottom)
{
    std::lock_guard hook(g_hookMutex);
    if (!pixels || width <= 0 || height <= 0 || !WaylandSessionNamed() || !layerClient())
        return 0;
    return g_layer->ShowNotice(pixels, width, height, right, bottom);
}

void CloseOverlayNotice(int32_t notice)
{
    std::lock_guard hook(g_hookMutex);
    if (g_layer)
        g_layer->CloseNotice(notice);
}

} // extern "C"
