#pragma once

#include "widgets/MsgBox.h"

#include <QString>

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
    // The modal message box (ShowMsgBox) owned by the note window, with one OK button; returns
    // when the user has closed it.
    virtual void ShowMessage(const QString& text, MsgBoxKind kind) = 0;
    // A balloon of the notification-area icon; false when there is no icon to show it.
    virtual bool ShowBalloon(const QString& title, const QString& text) = 0;
    // Called after a reminder fired: the desktop display shows the first page's lines again.
    virtual void SendDesktopLines() = 0;
    // Whether the note window is on screen.
    virtual bool WindowVisible() const = 0;
    // Opens the settings dialog on the page with the given index; true when it closed with OK.
    virtual bool OpenSettings(int pageIndex) = 0;
};
