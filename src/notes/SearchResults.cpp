#include "notes/SearchResults.h"

using namespace Qt::StringLiterals;

namespace {

// How much of a long line a row shows before its match and in all.
constexpr qsizetype kContextBefore = 40;
constexpr qsizetype kShownLength = 160;

} // namespace

TSearchResults::TSearchResults(QObject* parent) : QAbstractListModel(parent) {}

void TSearchResults::Clear()
{
    beginResetModel();
    m_pages.clear();
    m_rows.clear();
    m_matchCount = 0;
    endResetModel();
}

void TSearchResults::Append(const QList<TPageHits>& hits)
{
    qsizetype newRows = 0;
    for (const TPageHits& page : hits)
        newRows += page.matches.size();
    const int first = int(m_rows.size());
    const int room = MaxRows - first;
    const int added = int(qMin<qsizetype>(newRows, qMax(0, room)));
    if (added > 0)
        beginInsertRows(QModelIndex(), first, first + added - 1);
    for (const TPageHits& page : hits) {
        m_matchCount += int(page.matches.size());
        // A page none of whose matches is listed is counted but not kept.
        if (m_rows.size() >= MaxRows)
            continue;
        const int pageIndex = int(m_pages.size());
        m_pages.append(page);
        for (int m = 0; m < page.matches.size() && m_rows.size() < MaxRows; ++m)
            m_rows.append({pageIndex, m});
    }
    if (added > 0)
        endInsertRows();
}

int TSearchResults::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

const TPageHits& TSearchResults::PageOf(int row) const
{
    return m_pages[m_rows[row].page];
}

const TPageMatch& TSearchResults::MatchOf(int row) const
{
    return PageOf(row).matches[m_rows[row].match];
}

QString TSearchResults::RowText(int row, QPoint* highlight) const
{
    const TPageHits& page = PageOf(row);
    const TPageMatch& match = MatchOf(row);
    QString text = page.title + u"  "_s;
    if (match.inTitle) {
        if (highlight)
            *highlight = QPoint(match.start, match.length);
        return text + u"(标题)"_s;
    }
    text += QString::number(match.line) + u": "_s;
    const QStringView body(page.text);
    const qsizetype lineStart = match.start > 0 ? body.lastIndexOf(u'\n', match.start - 1) + 1 : 0;
    qsizetype lineEnd = body.indexOf(u'\n', match.start);
    if (lineEnd < 0)
        lineEnd = body.size();
    // A long line shows the part around its match.
    qsizetype from = lineStart;
    if (match.start - lineStart > kContextBefore) {
        from = match.start - kContextBefore;
        text += u"…"_s;
    }
    const qsizetype to = qMin(lineEnd, qMax(from + kShownLength, qsizetype(match.start + match.length)));
    const qsizetype at = text.size() + (match.start - from);
    QString shown = body.sliced(from, to - from).toString();
    shown.replace(u'\t', u' ');
    text += shown;
    if (to < lineEnd)
        text += u"…"_s;
    if (highlight)
        *highlight = QPoint(int(at), match.length);
    return text;
}

QVariant TSearchResults::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return RowText(index.row());
    case HighlightRole: {
        QPoint highlight;
        RowText(index.row(), &highlight);
        return highlight;
    }
    default:
        return {};
    }
}
