#pragma once

#include "hook/JotvaneHook.h"

#include <QString>
#include <QtGlobal>

using TLogFontW = JvLogFontW;

// The calls into the desktop-text library, one per export, with the same arguments. The display
// code talks only to this interface; the program uses TDeskHookLibrary, tests a recording fake.
class IDeskHook
{
public:
    virtual ~IDeskHook() = default;
    // window: the desktop's root window, 0 to remove. True when the display was installed.
    virtual bool SetDeskHook(quintptr window) = 0;
    virtual void SetShowClock(bool show) = 0;
    virtual void SetShowDesktopWallPaper(bool show) = 0;
    virtual void SetEssayColor(qint32 separatorColor, qint32 textColor) = 0;
    virtual void SetEssayFont(const TLogFontW& font) = 0;
    virtual void SetEssay(qint32 index, const QString& text) = 0;
    virtual void SetEssayCount(qint32 count) = 0;
    virtual void SetEssayAligment(qint8 alignment, qint32 margin) = 0;
};

// The real library, libjotvanehook.so beside the binary (or in lib/jotvane/ of an installed
// copy). It is loaded at the first call, so that the start waits neither for it nor for the X
// libraries it draws with. Without it the display cannot be installed: SetDeskHook is false,
// the other calls do nothing, and standard error says why once.
class TDeskHookLibrary final : public IDeskHook
{
public:
    bool SetDeskHook(quintptr window) override;
    void SetShowClock(bool show) override;
    void SetShowDesktopWallPaper(bool show) override;
    void SetEssayColor(qint32 separatorColor, qint32 textColor) override;
    void SetEssayFont(const TLogFontW& font) override;
    void SetEssay(qint32 index, const QString& text) override;
    void SetEssayCount(qint32 count) override;
    void SetEssayAligment(qint8 alignment, qint32 margin) override;
};
