#pragma once

#include "desktop/DeskHook.h"

#include <QString>
#include <QStringList>

// Writes down every call as text, in order: "SetEssay(0,a)", "SetEssayAligment(-1,10)".
class TRecordingDeskHook final : public IDeskHook
{
public:
    QStringList calls;
    bool installResult = true;
    TLogFontW lastFont{};

    bool SetDeskHook(quintptr window) override
    {
        calls << QStringLiteral("SetDeskHook(%1)").arg(window);
        return window != 0 && installResult;
    }
    void SetShowClock(bool show) override { calls << QStringLiteral("SetShowClock(%1)").arg(int(show)); }
    void SetShowDesktopWallPaper(bool show) override
    {
        calls << QStringLiteral("SetShowDesktopWallPaper(%1)").arg(int(show));
    }
    void SetEssayColor(qint32 separatorColor, qint32 textColor) override
    {
        calls << QStringLiteral("SetEssayColor(%1,%2)").arg(separatorColor).arg(textColor);
    }
    void SetEssayFont(const TLogFontW& font) override
    {
        lastFont = font;
        calls << QStringLiteral("SetEssayFont(%1)").arg(font.lfHeight);
    }
    void SetEssay(qint32 index, const QString& text) override
    {
        calls << QStringLiteral("SetEssay(%1,%2)").arg(index).arg(text);
    }
    void SetEssayCount(qint32 count) override { calls << QStringLiteral("SetEssayCount(%1)").arg(count); }
    void SetEssayAligment(qint8 alignment, qint32 margin) override
    {
        // The byte as the library receives it, unsigned: left is 255 (0xFF).
        calls << QStringLiteral("SetEssayAligment(%1,%2)").arg(quint8(alignment)).arg(margin);
    }
};
