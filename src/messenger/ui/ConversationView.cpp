#include "messenger/ui/ConversationView.h"

#include "core/Error.h"
#include "core/TextFile.h"
#include "notes/SearchText.h"
#include "widgets/MsgBox.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString kSaveCaption = u"保存(&S)"_s;

} // namespace

void ReportMessengerError(const QString& text)
{
    std::fprintf(stderr, "jotvane: %s\n", text.toLocal8Bit().constData());
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
                                     QWidget* owner)
    : QObject(owner), m_owner(owner), m_chatLog(appFolder)
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
    connect(&m_saveTimer, &QTimer::timeout, this, [this] {
        try {
            m_chatLog.Save(Lines(), false);
        } catch (const EFileError& error) {
            ReportMessengerError(error.message());
        }
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
    m_memoContent->appendPlainText(line);
    m_memoContent->moveCursor(QTextCursor::End);
    m_memoContent->ensureCursorVisible();
}

QStringList TConversationView::Lines() const
{
    const QTextDocument* document = m_memoContent->document();
    if (document->isEmpty())
        return {};
    QStringList lines;
    lines.reserve(document->blockCount());
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines << block.text();
    return lines;
}

bool TConversationView::Changed() const
{
    return m_memoContent->document()->isModified();
}

void TConversationView::MarkUnchanged()
{
    m_memoContent->document()->setModified(false);
}

void TConversationView::CopyToLogPage()
{
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
    m_loading = false;
    connect(m_memoContent->document(), &QTextDocument::contentsChanged, this,
            &TConversationView::ContentChanged, Qt::UniqueConnection);
}

void TConversationView::Save(bool withBackup)
{
    m_saveTimer.stop();
    m_chatLog.Save(Lines(), withBackup);
}

void TConversationView::StopAutoSave()
{
    m_stopped = true;
    m_saveTimer.stop();
}

void TConversationView::ContentChanged()
{
    if (m_loading || m_stopped)
        return;
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
        ShowMsgBox(m_owner, u"找不到“%1”"_s.arg(m_findText), MsgBoxKind::Information, {MsgBoxButton::OK});
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
        ShowMsgBox(m_owner, error.message(), MsgBoxKind::Error, {MsgBoxButton::OK});
    }
    m_memoContent->setReadOnly(true);
    action->setText(ModifyCaption());
}
