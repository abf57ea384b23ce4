#pragma once

#include "notes/PageSearcher.h"

#include <QAbstractListModel>
#include <QList>
#include <QPoint>

// The rows of a search over all pages, one per match, in page order: the page's title, the
// line number and the line with the match, which the view highlights.
class TSearchResults final : public QAbstractListModel
{
    Q_OBJECT
public:
    enum TRole
    {
        // QPoint(start, length): where the match lies in the row's display text.
        HighlightRole = Qt::UserRole + 1,
    };
    // More matches are counted but not listed.
    static constexpr int MaxRows = 10000;

    explicit TSearchResults(QObject* parent = nullptr);

    void Clear();
    void Append(const QList<TPageHits>& hits);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The page and match of a row; row must be valid.
    const TPageHits& PageOf(int row) const;
    const TPageMatch& MatchOf(int row) const;
    // The row's display text and where its match lies in it.
    QString RowText(int row, QPoint* highlight = nullptr) const;

    int MatchCount() const { return m_matchCount; }
    int PageCount() const { return int(m_pages.size()); }

private:
    struct TRow
    {
        int page;
        int match;
    };
    QList<TPageHits> m_pages;
    QList<TRow> m_rows;
    int m_matchCount = 0;
};
