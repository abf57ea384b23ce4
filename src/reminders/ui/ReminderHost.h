#pragma once

#include "widgets/MsgBox.h"

#include <QString>

#include <functional>

// What the reminders need of the note window. The window implements it (TEditorReminderHost
// does most of it on the page editors); tests implement it with a recording fake.
class IReminderHost
{
public:
    virtual ~IReminderHost() = default;

    // The first page's text, one LF between lines.
    virtual QString FirstPageText() const = 0;
    // Appends text at the end of line `line` (0-based) of the first page, through its editor as
    // one undoable edit, so the page is saved by the usual rules. Ignored past the last line.
    virtual void AppendToFirstPageLine(int line, const QString& text) = 0;
    // Puts text on the clipboard and pastes it at the caret of the current page.
    virtual void PasteAtCaret(const QString& text) = 0;
    // A box owned by the note window, with one OK button, that does not wait (TNoticeBox):
    // this returns at once, and answered (when set) runs once the user has closed the box.
    virtual void ShowNotice(const QString& text, MsgBoxKind kind, std::function<void()> answered) = 0;
    // The countdown before the timed shutdown (TShutDownCountdown); returns at once. decided
    // runs once: true to switch off now, false when the user cancelled.
    virtual void ShowCountdown(int seconds, std::function<void(bool powerOff)> decided) = 0;
    // Called after reminders were marked: the desktop display shows the first page's lines again.
    virtual void SendDesktopLines() = 0;
    // Opens the settings dialog on the page with the given index; true when it closed with OK.
    virtual bool OpenSettings(int pageIndex) = 0;
};
