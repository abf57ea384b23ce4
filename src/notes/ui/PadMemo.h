#pragma once

#include <QPlainTextEdit>
#include <QStringList>

#include <functional>

// The editor of one note page: a plain multi-line edit with a fixed inner margin of 4 pixels,
// a word-wrap switch that also picks the scroll bars, program-made insertions and the line
// calculator on Ctrl+Enter. Font and colours come from the container: the editor sets neither
// itself, so changing the container's font or palette changes every editor inside it.
class TPadMemo final : public QPlainTextEdit
{
    Q_OBJECT
public:
    // Evaluates one expression and returns the text to show behind it (a text value quoted).
    // A failure is reported by throwing a std::exception whose what() is the UTF-8 message.
    using TEvaluator = std::function<QString(const QString& expression)>;
    // Shows a notice to the user (the main window's information box).
    using TMessageHandler = std::function<void(const QString& message)>;

    static constexpr int MarginWidth = 4;
    // A line longer than this many characters makes the editor lay its text out the cheap way
    // (see HasLongLines); a line of this length still lays out in a few milliseconds.
    static constexpr int LongLineLength = 10000;
    // The longest text the calculator and the templates put into a page: a longer result would
    // hold the window for seconds, so it counts as the language's "result text too long" error.
    static constexpr int MaxInsertLength = 1 << 20;

    explicit TPadMemo(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(TPadMemo)

    void SetEvaluator(TEvaluator evaluator) { m_evaluator = std::move(evaluator); }
    void SetMessageHandler(TMessageHandler handler) { m_showMessage = std::move(handler); }

    // The modified flag on which saving depends: set by every change of the text, cleared
    // when the editor is filled and after the page has been written.
    bool Modified() const;
    void SetModified(bool modified);

    // Fills the editor with a page's text: no undo history, modified flag cleared, caret at 0.
    void SetPageText(const QString& text);
    // The page's text, the one to save and to search: one LF per line break, every other
    // character as it is (toPlainText() would turn no-break spaces into blanks). Positions in
    // it are the editor's cursor positions.
    QString PageText() const;

    // The selection in units of PageText(): start 0-based, length, caret at its end.
    int SelStart() const;
    int SelLength() const;
    void SetSelection(int start, int length);

    // Replaces the selection (or inserts at the caret) with text; the caret ends behind it.
    // CR LF, CR and LF in text all become one line break. With canUndo the insertion is one
    // step of the undo history; without it the history is cleared, as nothing before the
    // insertion could be undone correctly any more.
    void ReplaceSelection(const QString& text, bool canUndo);
    // Puts text on the clipboard as its only content, replacing what was there, and pastes it.
    void PasteAtCaret(const QString& text);

    // Keeps the 4-pixel inner margin on all sides; cheap, and safe to call at any time.
    void AdjustMargins();
    // Word wrap on: vertical scroll bar only; off: vertical and horizontal.
    void SetWrapMode(bool wrap);
    bool WrapMode() const;
    // True while some line of the text is longer than LongLineLength. Qt lays a line out as one
    // piece, again after every keystroke in it, and wrapping at word boundaries costs time that
    // grows with the square of a line that has none. While such a line exists the editor wraps
    // (when wrap is on) at any character, keeps the long lines' shaped glyphs between
    // keystrokes and skips optional font shaping such as kerning; everything else, the wrap
    // setting included, stays as it is.
    bool HasLongLines() const { return m_longLines; }

    // The text of the caret's line from its start up to the caret (the selection start). With
    // the caret at the start of a line it is the line above followed by its line break (one
    // LF here); empty at the start of the text.
    QString GetLineToCaret() const;
    // The calculator: evaluates GetLineToCaret() and inserts " = result" and a line break.
    void EvaluateLineAtCaret();

signals:
    // Files dropped onto the editor; they become pages, so they are not inserted as text.
    void FilesDropped(const QStringList& paths);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void TextChangedAt(int position, int added);
    void SetLongLines(bool longLines);
    void ApplyWordWrapMode();

    TEvaluator m_evaluator;
    TMessageHandler m_showMessage;
    bool m_longLines = false;
};
