#pragma once

#include "reminders/ui/ReminderEditorsHost.h"
#include "reminders/ui/ReminderHost.h"

#include <functional>

// Appends text at the end of line `line` of the editor's page text as one step of its undo
// history, without moving the user's caret or selection. False past the last line.
bool AppendToLine(TPadMemo& editor, int line, const QString& text);

// IReminderHost on the note window's editors; the window supplies what only it knows.
class TEditorReminderHost final : public IReminderHost
{
public:
    explicit TEditorReminderHost(IReminderEditorsHost& window) : m_window(window) {}

    QString FirstPageText() const override;
    void AppendToFirstPageLine(int line, const QString& text) override;
    void PasteAtCaret(const QString& text) override;
    void ShowNotice(const QString& text, MsgBoxKind kind, std::function<void()> answered) override;
    void ShowCountdown(int seconds, std::function<void(bool powerOff)> decided) override;
    void SendDesktopLines() override;
    bool OpenSettings(int pageIndex) override;

private:
    IReminderEditorsHost& m_window;
};
