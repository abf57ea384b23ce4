#include "notes/ui/EditorJournal.h"

#include "core/Log.h"
#include "core/TextFile.h"
#include "notes/DataManager.h"
#include "notes/PageJournal.h"
#include "notes/ui/PadMemo.h"
#include "notes/ui/PageSet.h"

#include <QDateTime>
#include <QDir>
#include <QTextDocument>
#include <QTimer>
#include <QVariant>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Fingerprint of the text the page file holds, kept on the editor for its journal.
const char kJournalBaseProperty[] = "jvJournalBase";
// Whether the page's journal may exist on the disk.
const char kJournaledProperty[] = "jvJournaled";
const char kJournalTimerName[] = "JournalTimer";
// A change reaches the journal this long after it was made, however fast the typing goes on;
// a large page is journaled half as often, since every write copies the whole text.
constexpr int kJournalDelayMs = 2000;
constexpr int kLargePageCharacters = 1 << 20;

// Writes text to the file that keeps it; the failure, or empty.
QString WriteUnsavedCopy(const QString& path, const QString& text)
{
    try {
        WriteTextFileLines(path, SplitLines(text));
        return {};
    } catch (const EFileError& error) {
        return error.message();
    }
}

// Keeps text in copy, the page's unsaved copy: the file it had before, else a new one in the
// first of folders that takes it. False (copy then empty) with the last failure otherwise.
bool KeepUnsavedCopy(QString& copy, const QStringList& folders, const QString& title, const QString& text,
                     QString& failure)
{
    if (!copy.isEmpty() && (failure = WriteUnsavedCopy(copy, text)).isEmpty())
        return true;
    for (const QString& folder : folders) {
        try {
            TDataManager::MakeFolder(folder);
        } catch (const EFileError& error) {
            failure = error.message();
            continue;
        }
        copy = TPageJournal::UnsavedCopyPath(folder, title, QDateTime::currentDateTime());
        if ((failure = WriteUnsavedCopy(copy, text)).isEmpty())
            return true;
    }
    copy.clear();
    return false;
}

} // namespace

TEditorJournal::TEditorJournal(TPageSet& pages) : QObject(&pages), m_pages(pages) {}

void TEditorJournal::SetJournal(TPageJournal* journal, int delayMs)
{
    m_journal = journal;
    m_delayMs = delayMs > 0 ? delayMs : kJournalDelayMs;
}

void TEditorJournal::Watch(TPadMemo* editor, const QString& fileText)
{
    SetFileText(editor, fileText);
    auto* timer = new QTimer(editor);
    timer->setObjectName(QLatin1StringView(kJournalTimerName));
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, editor] { JournalEditor(editor); });
    // The timer is not restarted by later changes: under steady typing the journal still
    // follows within the delay.
    const auto schedule = [this, editor, timer] {
        if (!m_journal || timer->isActive())
            return;
        const bool large = editor->document()->characterCount() > kLargePageCharacters;
        timer->start(large ? 2 * m_delayMs : m_delayMs);
    };
    connect(editor, &QPlainTextEdit::textChanged, timer, schedule);
    // A text marked modified by the program (a page made with a text) needs its journal too.
    connect(editor->document(), &QTextDocument::modificationChanged, timer, schedule);
}

void TEditorJournal::SetFileText(TPadMemo* editor, const QString& fileText)
{
    editor->setProperty(kJournalBaseProperty, TPageJournal::Fingerprint(fileText));
}

void TEditorJournal::JournalEditor(TPadMemo* editor)
{
    const int index = m_pages.IndexOfEditor(editor);
    if (!m_journal || index < 0)
        return;
    const QString key = m_pages.PageKey(index);
    if (editor->Modified()) {
        m_journal->Write(key, editor->PageText(), editor->property(kJournalBaseProperty).toByteArray());
        editor->setProperty(kJournaledProperty, true);
    } else if (editor->property(kJournaledProperty).toBool()) {
        m_journal->Remove(key);
        editor->setProperty(kJournaledProperty, false);
    }
}

void TEditorJournal::StopTimer(TPadMemo* editor)
{
    if (auto* timer = editor->findChild<QTimer*>(QLatin1StringView(kJournalTimerName)))
        timer->stop();
}

void TEditorJournal::Written(TPadMemo* editor, const QString& key, const QString* savedText)
{
    StopTimer(editor);
    if (savedText)
        SetFileText(editor, *savedText);
    editor->setProperty(kJournaledProperty, false);
    if (m_journal)
        m_journal->Remove(key);
}

void TEditorJournal::Unchanged(TPadMemo* editor, const QString& key)
{
    if (m_journal && editor->property(kJournaledProperty).toBool())
        Written(editor, key, nullptr);
}

void TEditorJournal::Removed(const QString& key)
{
    if (m_journal)
        m_journal->Remove(key);
}

QString TEditorJournal::KeepUnsavedPages()
{
    QList<int> unsaved;
    for (int i = 0; i < m_pages.PageCount(); ++i)
        if (m_pages.HasEditor(i) && m_pages.EditorAt(i)->Modified())
            unsaved.append(i);
    if (unsaved.isEmpty())
        return {};
    if (m_journal) {
        for (int i : unsaved) {
            StopTimer(m_pages.EditorAt(i));
            JournalEditor(m_pages.EditorAt(i));
        }
        m_journal->Flush();
    }
    bool journaled = false;
    QStringList copies;
    QStringList lost;
    for (int i : unsaved) {
        const QString key = m_pages.PageKey(i);
        if (m_journal && m_journal->ErrorOf(key).isEmpty()) {
            journaled = true;
            continue;
        }
        const QString title = u"“"_s + m_pages.PageTitle(i) + u"”"_s;
        const QString text = m_pages.EditorAt(i)->PageText();
        QString& copy = m_unsavedCopies[key];
        QString failure;
        if (KeepUnsavedCopy(copy, m_unsavedFolders, m_pages.PageTitle(i), text, failure)) {
            copies.append(QDir::toNativeSeparators(copy));
            continue;
        }
        lost.append(failure.isEmpty() ? title : title + u"："_s + failure);
        // The last place the text can still reach.
        const QString mark = u"----- "_s + title + u" -----"_s;
        qCWarning(lcJotvane).noquote() << mark + u'\n' + text;
        qCWarning(lcJotvane).noquote() << mark;
    }
    QStringList parts;
    if (journaled)
        parts.append(u"未能保存的内容已保留在恢复文件中，下次启动 Jotvane 时会恢复。"_s);
    if (!copies.isEmpty())
        parts.append(u"未能保存的内容已另存到：\n"_s + copies.join(u'\n'));
    if (!lost.isEmpty())
        parts.append(u"以下页面未能保存的内容无处存放，只写到了标准错误输出：\n"_s + lost.join(u'\n'));
    return parts.join(u"\n\n"_s);
}

TJournalRecovery TEditorJournal::Recover()
{
    TJournalRecovery recovery;
    if (!m_journal)
        return recovery;
    // Almost every start finds no journal: the pages are then not looked at.
    const QList<TJournalEntry> entries = m_journal->Scan();
    if (entries.isEmpty())
        return recovery;
    const int selected = m_pages.PageIndex();
    QHash<QString, int> pages;
    for (int i = 0; i < m_pages.PageCount(); ++i)
        pages.insert(m_pages.PageKey(i), i);
    for (const TJournalEntry& entry : entries) {
        // A page whose file cannot be read now counts as gone: its journal becomes a page of its own.
        const std::optional<QString> pageText = m_pages.StoredText(pages.value(entry.key, -1));
        const int index = pageText ? pages.value(entry.key, -1) : -1;
        switch (TPageJournal::Decide(entry, pageText ? &*pageText : nullptr)) {
        case TJournalAction::Keep:
            recovery.unreadable.append(entry.path);
            break;
        case TJournalAction::Discard:
            m_journal->Remove(entry.key);
            break;
        case TJournalAction::IntoPage: {
            TPadMemo* editor = m_pages.EditorAt(index);
            editor->SetPageText(entry.text);
            editor->SetModified(true);
            // The journal already holds this text.
            StopTimer(editor);
            editor->setProperty(kJournaledProperty, true);
            recovery.recovered.append(m_pages.PageTitle(index));
            break;
        }
        case TJournalAction::AsNewPage: {
            try {
                m_pages.NewPageActionExecute();
            } catch (const EFileError& error) {
                // No page file can be made now (a read-only folder): the journal stays for later.
                recovery.notPlaced.append(QDir::toNativeSeparators(entry.path) + u"："_s + error.message());
                break;
            }
            const int added = m_pages.PageCount() - 1;
            TPadMemo* editor = m_pages.EditorAt(added);
            editor->SetPageText(entry.text);
            editor->SetModified(true);
            StopTimer(editor);
            // The text is under its new key before the old journal goes.
            m_journal->Write(m_pages.PageKey(added), entry.text,
                             editor->property(kJournalBaseProperty).toByteArray());
            editor->setProperty(kJournaledProperty, true);
            m_journal->Remove(entry.key);
            recovery.recovered.append(m_pages.PageTitle(added));
            break;
        }
        }
    }
    m_pages.SelectPage(selected);
    return recovery;
}
