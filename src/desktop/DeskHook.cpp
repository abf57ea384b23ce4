#include "desktop/DeskHook.h"

bool TDeskHookLibrary::SetDeskHook(quintptr window)
{
    return ::SetDeskHook(static_cast<unsigned long>(window)) != 0;
}

void TDeskHookLibrary::SetShowClock(bool show)
{
    ::SetShowClock(show ? 1 : 0);
}

void TDeskHookLibrary::SetShowDesktopWallPaper(bool show)
{
    ::SetShowDesktopWallPaper(show ? 1 : 0);
}

void TDeskHookLibrary::SetEssayColor(qint32 separatorColor, qint32 textColor)
{
    ::SetEssayColor(separatorColor, textColor);
}

void TDeskHookLibrary::SetEssayFont(const TLogFontW& font)
{
    ::SetEssayFont(&font);
}

void TDeskHookLibrary::SetEssay(qint32 index, const QString& text)
{
    // utf16() is NUL-terminated and lives until the call returns; the library copies it.
    ::SetEssay(index, reinterpret_cast<const uint16_t*>(text.utf16()));
}

void TDeskHookLibrary::SetEssayCount(qint32 count)
{
    ::SetEssayCount(count);
}

void TDeskHookLibrary::SetEssayAligment(qint8 alignment, qint32 margin)
{
    ::SetEssayAligment(alignment, margin);
}
