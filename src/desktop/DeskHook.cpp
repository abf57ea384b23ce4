#include "desktop/DeskHook.h"

#include "core/LateLibrary.h"
#include "core/Log.h"
#include "core/PrivateLibrary.h"

namespace {

struct THookFunctions
{
    decltype(&::SetDeskHook) setDeskHook = nullptr;
    decltype(&::SetShowClock) setShowClock = nullptr;
    decltype(&::SetShowDesktopWallPaper) setShowDesktopWallPaper = nullptr;
    decltype(&::SetEssayColor) setEssayColor = nullptr;
    decltype(&::SetEssayFont) setEssayFont = nullptr;
    decltype(&::SetEssay) setEssay = nullptr;
    decltype(&::SetEssayCount) setEssayCount = nullptr;
    decltype(&::SetEssayAligment) setEssayAligment = nullptr;
};

// Loads the library from the program's own folders (beside the binary, then its private library
// folder), once for the process.
const THookFunctions* Load()
{
    static THookFunctions f;
    TLateLibrary library(HookLibraryFile());
    library.Resolve(f.setDeskHook, "SetDeskHook")
        .Resolve(f.setShowClock, "SetShowClock")
        .Resolve(f.setShowDesktopWallPaper, "SetShowDesktopWallPaper")
        .Resolve(f.setEssayColor, "SetEssayColor")
        .Resolve(f.setEssayFont, "SetEssayFont")
        .Resolve(f.setEssay, "SetEssay")
        .Resolve(f.setEssayCount, "SetEssayCount")
        .Resolve(f.setEssayAligment, "SetEssayAligment");
    if (library.Complete())
        return &f;
    qCWarning(lcJotvane).noquote() << "the desktop text cannot be shown:" << library.Problem();
    return nullptr;
}

const THookFunctions* Hook()
{
    static const THookFunctions* const functions = Load();
    return functions;
}

} // namespace

bool TDeskHookLibrary::SetDeskHook(quintptr window)
{
    return Hook() && Hook()->setDeskHook(static_cast<unsigned long>(window)) != 0;
}

void TDeskHookLibrary::SetShowClock(bool show)
{
    if (Hook())
        Hook()->setShowClock(show ? 1 : 0);
}

void TDeskHookLibrary::SetShowDesktopWallPaper(bool show)
{
    if (Hook())
        Hook()->setShowDesktopWallPaper(show ? 1 : 0);
}

void TDeskHookLibrary::SetEssayColor(qint32 separatorColor, qint32 textColor)
{
    if (Hook())
        Hook()->setEssayColor(separatorColor, textColor);
}

void TDeskHookLibrary::SetEssayFont(const TLogFontW& font)
{
    if (Hook())
        Hook()->setEssayFont(&font);
}

void TDeskHookLibrary::SetEssay(qint32 index, const QString& text)
{
    // utf16() is NUL-terminated and lives until the call returns; the library copies it.
    if (Hook())
        Hook()->setEssay(index, reinterpret_cast<const uint16_t*>(text.utf16()));
}

void TDeskHookLibrary::SetEssayCount(qint32 count)
{
    if (Hook())
        Hook()->setEssayCount(count);
}

void TDeskHookLibrary::SetEssayAligment(qint8 alignment, qint32 margin)
{
    if (Hook())
        Hook()->setEssayAligment(alignment, margin);
}
