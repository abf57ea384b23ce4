#include "notes/ui/PadMemo.h"

#include "templates/ExprErrors.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QUrl>

#include <exception>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace Qt::StringLiterals;

namespace {

bool IsLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// Blanks and control characters, as the calculator trims them (not Unicode spaces such as
// the ideographic space, which may belong to a text value).
bool IsBlankOrControl(QChar c)
{
    return c.unicode() <= u' ';
}

QString TrimBlanksAndControls(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlankOrControl(text.at(first)))
        ++first;
    while (last > first && IsBlankOrControl(text.at(last - 1)))
        --last;
    return text.sliced(first, last - first);
}

QStringList LocalFiles(const QMimeData* mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    return files;
}

bool IsEnterKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// Laying out a long line allocates and frees some tens of megabytes on every keystroke. glibc
// hands blocks that large out as fresh mappings whose pages the kernel faults in and zeroes each
// time, which costs more than the layout itself; kept in the heap, the pages are reused. Done
// once, the first time a long line appears: at most 128 MB of freed memory then stays with the
// process instead of going back to the system at once.
void KeepLargeBlocksInHeap()
{
#if defined(__GLIBC__)
    static bool done = false;
    if (done)
        return;
    done = true;
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
}

// Marks a long line's layout to keep its shaped glyphs from one layout to the next; true when
// the block is long.
bool CacheIfLong(const QTextBlock& block)
{
    if (block.length() <= TPadMemo::LongLineLength)
        return false;
    block.layout()->setCacheEnabled(true);
    return true;
}

} // namespace

TPadMemo::TPadMemo(QWidget* parent) : QPlainTextEdit(parent)
{
    setFrameShape(QFrame::NoFrame);
    setTabChangesFocus(false);
    setAcceptDrops(true);
    SetWrapMode(true);
    document()->setModified(false);
    // Connected directly: the signal comes before the document lays the changed text out, so
    // a long line pasted or loaded is never laid out the slow way even once.
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { TextChangedAt(position, added); });
}

void TPadMemo::TextChangedAt(int position, int added)
{
    QTextDocument* doc = document();
    const int end = qMin(position + added, doc->characterCount() - 1);
    const QTextBlock last = doc->findBlock(end);
    bool longHere = false;
    for (QTextBlock block = doc->findBlock(position); block.isValid(); block = block.next()) {
        longHere = CacheIfLong(block) || longHere;
        if (block == last)
            break;
    }
    if (longHere || !m_longLines) {
        SetLongLines(longHere || m_longLines);
        return;
    }
    // The change may have shortened or split the last long line.
    bool anyLong = false;
    for (QTextBlock block = doc->firstBlock(); block.isValid() && !anyLong; block = block.next())
        anyLong = CacheIfLong(block);
    SetLongLines(anyLong);
}

void TPadMemo::SetLongLines(bool longLines)
{
    if (longLines == m_longLines)
        return;
    m_longLines = longLines;
    if (longLines)
        KeepLargeBlocksInHeap();
    // Each step lays the text out anew: the wrap mode goes first, so that no layout of a long
    // line ever looks for word boundaries.
    ApplyWordWrapMode();
    // Only the strategy is set here: family, size and style still come from the container.
    QFont strategy;
    if (longLines)
        strategy.setStyleStrategy(QFont::PreferNoShaping);
    setFont(strategy);
}

void TPadMemo::ApplyWordWrapMode()
{
    setWordWrapMode(m_longLines ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere);
}

bool TPadMemo::Modified() const
{
    return document()->isModified();
}

void TPadMemo::SetModified(bool modified)
{
    document()->setModified(modified);
}

void TPadMemo::SetPageText(const QString& text)
{
    setPlainText(text);
    moveCursor(QTextCursor::Start);
    SetModified(false);
}

QString TPadMemo::PageText() const
{
    QString text = document()->toRawText();
    for (QChar& c : text)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = u'\n';
    return text;
}

int TPadMemo::SelStart() const
{
    return textCursor().selectionStart();
}

int TPadMemo::SelLength() const
{
    const QTextCursor cursor = textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

void TPadMemo::SetSelection(int start, int length)
{
    const int end = document()->characterCount() - 1;
    start = qBound(0, start, end);
    QTextCursor cursor(document());
    cursor.setPosition(start);
    cursor.setPosition(qBound(start, start + qMax(0, length), end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TPadMemo::ReplaceSelection(const QString& text, bool canUndo)
{
    QTextCursor cursor = textCursor();
    if (canUndo) {
        // One edit block, so the insertion is undone on its own. The document would still merge
        // the next typed character into a block that ends with an insertion right before it;
        // re-applying the block's own format (which changes nothing) ends the block with a
        // different kind of step, so "type, calculate, type, undo" keeps the result.
        cursor.beginEditBlock();
        cursor.insertText(text);
        cursor.setBlockFormat(cursor.blockFormat());
        cursor.endEditBlock();
    } else {
        document()->setUndoRedoEnabled(false);
        cursor.insertText(text);
        document()->setUndoRedoEnabled(true);
        // Disabling the history may reset the flag; the text has changed either way.
        SetModified(true);
    }
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TPadMemo::PasteAtCaret(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto* mime = new QMimeData;
    mime->setText(text);
    clipboard->setMimeData(mime);
    paste();
    ensureCursorVisible();
}

void TPadMemo::AdjustMargins()
{
    if (document()->documentMargin() != MarginWidth)
        document()->setDocumentMargin(MarginWidth);
}

void TPadMemo::SetWrapMode(bool wrap)
{
    setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    ApplyWordWrapMode();
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    AdjustMargins();
}

bool TPadMemo::WrapMode() const
{
    return lineWrapMode() != QPlainTextEdit::NoWrap;
}

QString TPadMemo::GetLineToCaret() const
{
    const QString text = PageText();
    if (text.isEmpty())
        return {};
    const qsizetype c = SelStart();
    // p is a 0-based position: the text before it ends the part looked at.
    qsizetype p = c;
    while (p > 0 && IsLineBreak(text.at(p - 1)))
        --p;
    while (p > 0 && !IsLineBreak(text.at(p - 1)))
        --p;
    if (p >= c)
        return {};
    return text.sliced(p, c - p);
}

void TPadMemo::EvaluateLineAtCaret()
{
    const QString line = GetLineToCaret();
    QString expression = TrimBlanksAndControls(line);
    if (expression.isEmpty() || !m_evaluator)
        return;
    const bool endsWithEquals = expression.endsWith(u'=');
    if (endsWithEquals)
        expression.chop(1);

    QString result;
    try {
        result = m_evaluator(expression);
    } catch (const std::exception& error) {
        if (m_showMessage)
            m_showMessage(QString::fromUtf8(error.what()));
        return;
    }

    QString insertion;
    if (!line.endsWith(u' '))
        insertion += u' ';
    if (!endsWithEquals)
        insertion += u"= "_s;
    insertion += result;
    insertion += u"\r\n"_s;
    if (insertion.size() > MaxInsertLength) {
        if (m_showMessage)
            m_showMessage(EExprLimitError(EExprLimitError::Kind::TextTooLong).message());
        return;
    }
    ReplaceSelection(insertion, true);
}

void TPadMemo::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (IsEnterKey(event) && (mods & Qt::ControlModifier) && !(mods & Qt::AltModifier)) {
        // Ctrl+Enter never reaches the edit: it only runs the calculator.
        event->accept();
        EvaluateLineAtCaret();
        return;
    }
    if (IsEnterKey(event) && (mods & Qt::ShiftModifier)) {
        // A plain edit knows one kind of line break; Shift+Enter makes the same as Enter
        // instead of a soft break that would turn into a different text on saving.
        QKeyEvent plain(event->type(), event->key(), mods & ~Qt::ShiftModifier, event->text(),
                        event->isAutoRepeat(), ushort(event->count()));
        QPlainTextEdit::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TPadMemo::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragEnterEvent(event);
}

void TPadMemo::dragMoveEvent(QDragMoveEvent* event)
{
    if (!LocalFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragMoveEvent(event);
}

void TPadMemo::dropEvent(QDropEvent* event)
{
    const QStringList files = LocalFiles(event->mimeData());
    if (!files.isEmpty()) {
        event->acceptProposedAction();
        emit FilesDropped(files);
        return;
    }
    QPlainTextEdit::dropEvent(event);
}
