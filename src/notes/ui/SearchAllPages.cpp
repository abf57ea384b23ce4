#include "notes/ui/SearchAllPages.h"

#include "notes/PageSearch.h"
#include "notes/PageSearcher.h"
#include "notes/SearchResults.h"
#include "notes/ui/PadMemo.h"
#include "notes/ui/PageSet.h"
#include "notes/ui/SearchAllDlg.h"
#include "widgets/CommandTable.h"

#include <QAction>
#include <QWidget>

using namespace Qt::StringLiterals;

TSearchAllPages::TSearchAllPages(QWidget* window, TPageSet& pages, QObject* parent)
    : QObject(parent), m_window(window), m_pages(pages), m_searcher(new TPageSearcher(this)),
      m_results(new TSearchResults(this))
{
    connect(m_searcher, &TPageSearcher::found, this, [this](int, const QList<TPageHits>& hits) {
        const bool first = m_results->rowCount() == 0;
        m_results->Append(hits);
        if (first && m_dialog && m_results->rowCount() > 0)
            m_dialog->SetCurrentRow(0);
        ShowCount(false);
    });
    connect(m_searcher, &TPageSearcher::finished, this,
            [this](int, int, int, const QStringList& unreadable) { ShowCount(true, unreadable); });
}

TSearchAllPages::~TSearchAllPages()
{
    delete m_dialog.data();
}

void TSearchAllPages::BindCommands(TCommandTable& commands)
{
    commands.Bind(Command::SearchAllPages, this, [this] { Execute(); });
    // F3 is the find command's key, which asks Stepping(); Shift+F3 has no command of its own.
    auto* previous = new QAction(m_window);
    previous->setObjectName(u"SearchAllPreviousAction"_s);
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    previous->setShortcutContext(Qt::WindowShortcut);
    connect(previous, &QAction::triggered, this, [this] {
        if (Stepping())
            Step(-1);
    });
    m_window->addAction(previous);
}

void TSearchAllPages::Execute()
{
    if (!m_dialog) {
        m_dialog = new TSearchAllDialog(m_results, m_window);
        connect(m_dialog, &TSearchAllDialog::searchChanged, this, &TSearchAllPages::SearchChanged);
        connect(m_dialog, &TSearchAllDialog::rowChosen, this, &TSearchAllPages::ShowRow);
    }
    // The pages may have changed since the window was last open: the search runs again, and
    // with nothing to search yet, the texts not read so far are read while the user types.
    SearchChanged(m_dialog->SearchText());
    m_dialog->Execute();
}

bool TSearchAllPages::Stepping() const
{
    return m_dialog && m_dialog->isVisible() && m_results->rowCount() > 0;
}

void TSearchAllPages::Step(int delta)
{
    if (m_dialog)
        m_dialog->Step(delta);
}

void TSearchAllPages::SearchChanged(const QString& text)
{
    m_query = text;
    m_results->Clear();
    m_searcher->Start(m_pages.SearchPages(), text);
    if (m_dialog)
        m_dialog->SetStatus(PageSearch::Words(text).isEmpty() ? QString() : u"正在查找…"_s);
}

void TSearchAllPages::ShowCount(bool finished, const QStringList& unreadable)
{
    if (!m_dialog || PageSearch::Words(m_query).isEmpty())
        return;
    QString status;
    if (m_results->MatchCount() == 0)
        status = finished ? u"找不到“%1”"_s.arg(m_query.trimmed()) : u"正在查找…"_s;
    else
        status = u"“%1”：%2 处匹配，%3 个页面"_s.arg(m_query.trimmed())
                     .arg(m_results->MatchCount())
                     .arg(m_results->PageCount());
    if (m_results->MatchCount() > m_results->rowCount())
        status += u"（列出前 %1 处）"_s.arg(m_results->rowCount());
    if (!finished && m_results->MatchCount() > 0)
        status += u"…"_s;
    if (!unreadable.isEmpty())
        status += u"；%1 个页面无法读取"_s.arg(unreadable.size());
    m_dialog->SetStatus(status, unreadable.join(u'\n'), finished);
}

void TSearchAllPages::ShowRow(int row)
{
    if (row < 0 || row >= m_results->rowCount())
        return;
    const TPageHits& page = m_results->PageOf(row);
    const TPageMatch match = m_results->MatchOf(row);
    // Pages may have moved since the search: the page is found by its file.
    const int index = m_pages.IndexOfFile(page.file);
    if (index < 0)
        return;
    m_pages.SelectPage(index);
    TPadMemo* editor = m_pages.CurrentEditor();
    if (!editor)
        return;
    // The note window keeps the search window in front; the editor takes the keys as soon as
    // the user turns to the note window.
    editor->setFocus();
    if (match.inTitle)
        return;
    // The text may have been edited since: the match is looked for again near where it was.
    const QString folded = PageSearch::Fold(editor->PageText());
    const QString word = PageSearch::Fold(QStringView(page.text).sliced(match.start, match.length));
    qsizetype at = match.start;
    if (QStringView(folded).mid(at, match.length) != word) {
        const qsizetype after = folded.indexOf(word, qMin<qsizetype>(at, folded.size()));
        at = after >= 0 ? after : folded.lastIndexOf(word, qMin<qsizetype>(at, folded.size()));
    }
    if (at >= 0)
        editor->SetSelection(int(at), match.length);
}
