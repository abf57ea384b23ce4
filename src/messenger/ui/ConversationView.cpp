#include "messenger/ui/ConversationView.h"

#include "core/Error.h"
#include "core/Log.h"
#include "core/TextFile.h"
#include "notes/SearchText.h"
#include "widgets/DialogService.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kSaveCaption = u"保存(&S)"_s;

} // namespace

void ReportMessengerError(const QString& text)
{
    qCWarning(lcJotvane).noquote() << text;
}

QStringList DisplayedLines(const QPlainTextEdit* box)
{
    QStringList lines;
    QTextDocument* document = box->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        document->documentLayout()->blockBoundingRect(block); // lays the block out
        const QTextLayout* layout = block.layout();
        const QString text = block.text();
        if (layout == nullptr || layout->lineCount() <= 1) {
            lines << text;
            continue;
        }
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            lines << text.mid(line.textStart(), line.textLength());
        }
    }
    return lines;
}

TConversationView::TConversationView(const QString& appFolder, QWidget* chatPage, QWidget* logPage,
                                     QWidget* owner, IDialogService& dialogs)
    : QObject(owner), m_owner(owner), m_dialogs(dialogs), m_chatLog(appFolder)
{
    m_memoContent = new QPlainTextEdit(chatPage);
    m_memoContent->setObjectName(u"memoContent"_s);
    m_memoContent->setReadOnly(true);
    m_memoContent->setUndoRedoEnabled(false);
    m_memoContent->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memoContent->setToolTip(u"请用“编辑—〉通讯纪录—〉修改”菜单修改此处内容，然后别忘了保存。"_s +
                              u"Ctr+F查找,Ctr+D隐藏"_s);

    m_memoChatContent = new QPlainTextEdit(logPage);
    m_memoChatContent->setObjectName(u"memoChatContent"_s);
    m_memoChatContent->setReadOnly(true);
    m_memoChatContent->setUndoRedoEnabled(false);

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(ChatSaveDelay);
    connect(&m_saveTimer, &QTimer::timeout, this, &TConversationView::SaveNew);
    // The writer's reports come back to this thread; ones still queued when the view goes are
    // dropped with it.
    m_writer = std::make_unique<TChatLogWriter>(m_chatLog, [this](const QString& error) {
        QMetaObject::invokeMethod(
            this, [this, error] { WriterReported(error); }, Qt::QueuedConnection);
    });
}

QString TConversationView::ModifyCaption()
{
    return u"修改(&M)"_s;
}

void TConversationView::Append(const QString& text)
{
    QString line = text;
    line.replace(u"\r\n"_s, u"\n"_s);
    line.replace(u'\r', u'\n');
    m_pending << line;
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &TConversationView::FlushPending, Qt::QueuedConnection);
    }
}

void TConversationView::FlushPending()
{
    m_flushQueued = false;
    if (m_pending.isEmpty())
        return;
    m_ownChange = true;
    m_memoContent->appendPlainText(m_pending.join(u'\n'));
    m_pending.clear();
    m_memoContent->moveCursor(QTextCursor::End);
    m_memoContent->ensureCursorVisible();
    m_ownChange = false;
    RollIfLarge();
    // A steady stream of lines cannot put the save off: past its delay it is due at once, even
    // when the timer had no turn.
    if (!m_stopped && m_unsavedSince.isValid() && m_unsavedSince.elapsed() >= ChatSaveDelay)
        SaveNew();
}

QStringList TConversationView::Lines() const
{
    const QTextDocument* document = m_memoContent->document();
    QStringList lines;
    if (!document->isEmpty()) {
        lines.reserve(document->blockCount() + m_pending.size());
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            lines << block.text();
    }
    for (const QString& line : m_pending)
        lines << line.split(u'\n');
    return lines;
}

bool TConversationView::Changed() const
{
    return m_memoContent->document()->isModified() || !m_pending.isEmpty();
}

void TConversationView::MarkUnchanged()
{
    FlushPending();
    m_memoContent->document()->setModified(false);
}

void TConversationView::CopyToLogPage()
{
    FlushPending();
    m_memoChatContent->setPlainText(m_memoContent->toPlainText());
}

void TConversationView::Load()
{
    m_loading = true;
    if (m_chatLog.Exists()) {
        try {
            m_memoContent->setPlainText(m_chatLog.Load().join(u'\n'));
        } catch (const EFileError& error) {
            ReportMessengerError(error.message());
        }
    }
    m_memoContent->moveCursor(QTextCursor::End);
    MarkUnchanged();
    m_savedBlocks = m_memoContent->document()->isEmpty() ? 0 : m_memoContent->document()->blockCount();
    // A log in another encoding is written whole once, then appended to.
    m_wholeSave = !m_chatLog.Appendable();
    m_loading = false;
    connect(m_memoContent->document(), &QTextDocument::contentsChanged, this,
            &TConversationView::ContentChanged, Qt::UniqueConnection);
}

void TConversationView::Save(bool withBackup)
{
    FlushPending();
    m_saveTimer.stop();
    m_writer->Wait();
    const QStringList lines = Lines();
    try {
        m_chatLog.Save(lines, withBackup);
    } catch (const EFileError& error) {
        m_wholeSave = true;
        WriterReported(error.message());
        throw;
    }
    m_savedBlocks = int(lines.size());
    m_wholeSave = false;
    m_unsavedSince.invalidate();
    WriterReported(QString());
}

void TConversationView::SaveNew()
{
    FlushPending();
    m_saveTimer.stop();
    m_unsavedSince.invalidate();
    const QTextDocument* document = m_memoContent->document();
    const int count = document->isEmpty() ? 0 : document->blockCount();
    if (m_wholeSave || count < m_savedBlocks) {
        m_writer->Replace(Lines());
        m_wholeSave = false;
    } else if (count > m_savedBlocks) {
        QStringList fresh;
        fresh.reserve(count - m_savedBlocks);
        for (QTextBlock block = document->findBlockByNumber(m_savedBlocks); block.isValid();
             block = block.next())
            fresh << block.text();
        m_writer->Append(fresh);
    }
    m_savedBlocks = count;
}

void TConversationView::WriterReported(const QString& error)
{
    if (!error.isEmpty())
        m_wholeSave = true; // what the failed write held goes with the next one
    if (error == m_saveError)
        return;
    m_saveError = error;
    if (!error.isEmpty())
        ReportMessengerError(error);
    emit saveFailed(error);
}

// Past its size limit the log keeps its newer half: the older lines leave the view and go to
// the end of chat_bak.txt.
void TConversationView::RollIfLarge()
{
    QTextDocument* document = m_memoContent->document();
    const qint64 limit = m_sizeLimit / 2; // code units of two bytes
    if (document->characterCount() <= limit)
        return;
    qint64 remaining = document->characterCount();
    QStringList old;
    QTextBlock block = document->begin();
    while (block.isValid() && remaining > limit / 2) {
        old << block.text();
        remaining -= block.length();
        block = block.next();
    }
    if (!block.isValid())
        return;
    m_ownChange = true;
    QTextCursor cursor(document);
    cursor.setPosition(0);
    cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_memoContent->moveCursor(QTextCursor::End);
    m_ownChange = false;
    const QStringList kept = Lines();
    m_writer->Roll(old, kept);
    m_savedBlocks = int(kept.size());
    m_wholeSave = false;
}

void TConversationView::StopAutoSave()
{
    FlushPending();
    m_stopped = true;
    m_saveTimer.stop();
    m_writer->Wait();
}

void TConversationView::ContentChanged()
{
    if (m_loading)
        return;
    if (!m_ownChange)
        m_wholeSave = true; // the user edits the view
    if (m_stopped)
        return;
    if (!m_unsavedSince.isValid())
        m_unsavedSince.start();
    // Not restarted by later changes: a steady stream of lines still reaches the file.
    if (!m_saveTimer.isActive())
        m_saveTimer.start();
}

// Find and modify

void TConversationView::FindActionExecute()
{
    if (m_findDialog == nullptr) {
        m_findDialog = new TFindDialog(m_owner);
        m_findDialog->SetDown(true);
        connect(m_findDialog, &TFindDialog::FindClicked, this, [this] {
            m_findText = m_findDialog->FindText();
            m_findOptions =
                (m_findDialog->Down() ? soDown : 0) | (m_findDialog->MatchCase() ? soMatchCase : 0);
            FindInChat();
        });
    }
    m_findDialog->Execute();
}

void TConversationView::FindNextActionExecute()
{
    if (m_findText.isEmpty())
        FindActionExecute();
    else
        FindInChat();
}

void TConversationView::FindInChat()
{
    FlushPending();
    const bool chatShown = !chatPageShown || chatPageShown();
    QPlainTextEdit* view = chatShown ? m_memoContent : m_memoChatContent;
    QTextCursor cursor = view->textCursor();
    const int start = cursor.selectionStart();
    const int position =
        SearchText(view->toPlainText(), start, cursor.selectionEnd() - start, m_findOptions, m_findText);
    if (position > 0) {
        cursor.setPosition(position - 1);
        cursor.setPosition(position - 1 + int(m_findText.size()), QTextCursor::KeepAnchor);
        view->setTextCursor(cursor);
        view->ensureCursorVisible();
    } else {
        m_dialogs.MessageBox(m_owner, u"找不到“%1”"_s.arg(m_findText), MsgBoxKind::Information,
                             {MsgBoxButton::OK});
    }
}

void TConversationView::ModifyActionExecute(QAction* action)
{
    if (action->text() == ModifyCaption()) {
        m_memoContent->setReadOnly(false);
        action->setText(kSaveCaption);
        return;
    }
    try {
        Save(false);
    } catch (const EFileError& error) {
        m_dialogs.MessageBox(m_owner, error.message(), MsgBoxKind::Error, {MsgBoxButton::OK});
    }
    m_memoContent->setReadOnly(true);
    action->setText(ModifyCaption());
}
