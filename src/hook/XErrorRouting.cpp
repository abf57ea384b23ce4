// Routing X errors: those of the library's own connections are dropped, the rest passed on.
#include "hook/XErrorRouting.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

// These live until the process ends (never destroyed), so that a window removed while the
// process ends still finds them.
struct TErrorRouting
{
    std::mutex mutex;
    std::vector<Display*> ownDisplays;
    XErrorHandler previous = nullptr;
    XIOErrorHandler previousIO = nullptr;
    bool installed = false;
};

TErrorRouting& errorRouting()
{
    static auto* routing = new TErrorRouting;
    return *routing;
}

int onXError(Display* display, XErrorEvent* event)
{
    TErrorRouting& r = errorRouting();
    XErrorHandler previous = nullptr;
    {
        std::lock_guard lock(r.mutex);
        if (std::find(r.ownDisplays.begin(), r.ownDisplays.end(), display) != r.ownDisplays.end())
            return 0;
        previous = r.previous;
    }
    return previous ? previous(display, event) : 0;
}

int onXIOError(Display* display)
{
    TErrorRouting& r = errorRouting();
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard lock(r.mutex);
        if (std::find(r.ownDisplays.begin(), r.ownDisplays.end(), display) != r.ownDisplays.end()) {
            std::fputs("libjotvanehook: the connection to the X server broke; the desktop text ends.\n",
                       stderr);
            return 0;
        }
        previous = r.previousIO;
    }
    return previous ? previous(display) : 0;
}

} // namespace

void registerDisplay(Display* display)
{
    TErrorRouting& r = errorRouting();
    std::lock_guard lock(r.mutex);
    if (!r.installed) {
        r.previous = XSetErrorHandler(onXError);
        r.previousIO = XSetIOErrorHandler(onXIOError);
        r.installed = true;
    }
    r.ownDisplays.push_back(display);
}

void unregisterDisplay(Display* display)
{
    TErrorRouting& r = errorRouting();
    std::lock_guard lock(r.mutex);
    r.ownDisplays.erase(std::remove(r.ownDisplays.begin(), r.ownDisplays.end(), display),
                        r.ownDisplays.end());
}
