#pragma once

#include "reminders/ui/ReminderHost.h"

#include <functional>

class QWidget;
class TPadMemo;

// Appends text at the end of line `line` of the editor's page text as one step of its undo
// history, without moving the user's caret or selection. False past the last line.
bool AppendToLine(TPadMemo& editor, int line, const QString& text);

// IReminderHost on the note window's editors; the window supplies what only it knows.
class TEditorReminderHost final : public IReminderHost
{
public:
    struct TParts
    {
        QWidget* window = nullptr; // owner of the boxes
        std::function<TPadMemo*()> firstEditor;
        std::function<TPadMemo*()> currentEditor;
        // SendDesktopLines with the first page's editor.
        std::function<void(TPadMemo* firstEditor)> sendDesktopLines;
        // The settings dialog on a page; true on OK.
        std::function<bool(int pageIndex)> openSettings;
    };

    explicit TEditorReminderHost(TParts parts);

    QString FirstPageText() const override;
    void AppendToFirstPageLine(int line, const QString& text) override;
    void PasteAtCaret(const QString& text) override;
    void ShowNotice(const QString& text, MsgBoxKind kind, std::function<void()> answered) override;
    void ShowCountdown(int seconds, std::function<void(bool powerOff)> decided) override;
    void SendDesktopLines() override;
    bool OpenSettings(int pageIndex) override;

private:
    TParts m_parts;
};
