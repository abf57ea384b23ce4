#include "platform/linux/OverlayNotices.h"

#include "core/LateLibrary.h"
#include "core/Log.h"
#include "core/PrivateLibrary.h"
#include "hook/JotvaneHook.h"

#include <QImage>

namespace {

struct TOverlayFunctions
{
    decltype(&::OverlayNoticesAvailable) available = nullptr;
    decltype(&::ShowOverlayNotice) show = nullptr;
    decltype(&::CloseOverlayNotice) close = nullptr;
};

// The library from the program's own folders, once for the process.
const TOverlayFunctions* Functions()
{
    static const TOverlayFunctions* const functions = []() -> const TOverlayFunctions* {
        static TOverlayFunctions f;
        TLateLibrary library(HookLibraryFile());
        library.Resolve(f.available, "OverlayNoticesAvailable")
            .Resolve(f.show, "ShowOverlayNotice")
            .Resolve(f.close, "CloseOverlayNotice");
        if (library.Complete())
            return &f;
        qCWarning(lcJotvane).noquote() << "notices cannot go to the overlay layer:" << library.Problem();
        return nullptr;
    }();
    return functions;
}

} // namespace

bool TLayerOverlayNotices::Available()
{
    // The compositor keeps what it offers for the session: asked once.
    if (m_available < 0)
        m_available = Functions() && Functions()->available() != 0 ? 1 : 0;
    return m_available == 1;
}

int TLayerOverlayNotices::Show(const QImage& picture, int right, int bottom)
{
    if (!Available() || picture.isNull())
        return 0;
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // The library takes rows without padding, which 32-bit rows never have.
    return Functions()->show(reinterpret_cast<const uint32_t*>(pixels.constBits()), pixels.width(),
                             pixels.height(), right, bottom);
}

void TLayerOverlayNotices::Close(int notice)
{
    if (notice > 0 && Functions())
        Functions()->close(notice);
}
