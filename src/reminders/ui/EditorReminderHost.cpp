#include "reminders/ui/EditorReminderHost.h"

#include "notes/ui/PadMemo.h"
#include "reminders/ui/NoticeBox.h"
#include "reminders/ui/ShutDownCountdown.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>

bool AppendToLine(TPadMemo& editor, int line, const QString& text)
{
    if (line < 0)
        return false;
    // Page-text positions are the editor's cursor positions; its lines may also be broken by
    // line separators inside one block, so the end of the line is found in the text.
    const QString page = editor.PageText();
    qsizetype end = -1;
    for (int i = 0; i <= line; ++i) {
        end = page.indexOf(u'\n', end + 1);
        if (end < 0) {
            if (i < line)
                return false;
            end = page.size();
        }
    }
    QTextCursor cursor(editor.document());
    cursor.setPosition(static_cast<int>(end));
    cursor.beginEditBlock();
    cursor.insertText(text);
    // Ends the step with a format change (which changes nothing), so the user's next typing
    // is never merged into this insertion's undo step.
    cursor.setBlockFormat(cursor.blockFormat());
    cursor.endEditBlock();
    return true;
}

QString TEditorReminderHost::FirstPageText() const
{
    TPadMemo* editor = m_window.firstEditor();
    return editor ? editor->PageText() : QString();
}

void TEditorReminderHost::AppendToFirstPageLine(int line, const QString& text)
{
    if (TPadMemo* editor = m_window.firstEditor())
        AppendToLine(*editor, line, text);
}

void TEditorReminderHost::PasteAtCaret(const QString& text)
{
    if (TPadMemo* editor = m_window.currentEditor())
        editor->PasteAtCaret(text);
}

void TEditorReminderHost::ShowNotice(const QString& text, MsgBoxKind kind, std::function<void()> answered)
{
    auto* box = new TNoticeBox(m_window.window(), text, kind);
    if (answered)
        QObject::connect(box, &TNoticeBox::answered, box, std::move(answered));
    box->Open();
}

void TEditorReminderHost::ShowCountdown(int seconds, std::function<void(bool powerOff)> decided)
{
    auto* countdown = new TShutDownCountdown(m_window.window(), seconds);
    QObject::connect(countdown, &TShutDownCountdown::decided, countdown, std::move(decided));
    countdown->Open();
}

void TEditorReminderHost::SendDesktopLines()
{
    m_window.sendDesktopLines(m_window.firstEditor());
}

bool TEditorReminderHost::OpenSettings(int pageIndex)
{
    return m_window.openSettings(pageIndex);
}
