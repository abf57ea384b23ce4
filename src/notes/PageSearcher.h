#pragma once

#include "notes/PageSearch.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <memory>

// What a search over all pages is given of one page when it starts.
struct TSearchPage
{
    QString file; // the page file: names the page while the search runs
    QString title;
    // The text as it stands: an open editor's (changes not yet written included) or the one
    // kept since the start; either line-break form. Not known: read from file.
    QString text;
    bool textKnown = false;
    // The text is an editor's and may change at any time: it is searched, never kept.
    bool live = false;
};

// A page that holds every word of a query, with its matches. text is the page text that the
// matches' positions refer to, with one LF per line break, as the page's editor counts.
struct TPageHits
{
    int page = 0; // the page's position when the search started
    QString file;
    QString title;
    QString text;
    QList<TPageMatch> matches;
};

// Searches all pages for the words of a query on a thread of its own, so that typing never
// waits for it: a page's text not yet read is read from its file there, and kept in folded form
// for the next search (a page file changes only through its editor, whose text is searched
// instead). A new search ends the one under way; results of an ended search never arrive.
class TPageSearcher final : public QObject
{
    Q_OBJECT
public:
    explicit TPageSearcher(QObject* parent = nullptr);
    ~TPageSearcher() override;
    Q_DISABLE_COPY_MOVE(TPageSearcher)

    // Starts searching pages, in their order, for the words of query; returns the search's
    // number. A query without words finds nothing but still reads the texts not read yet, so
    // that a search started soon after finds them ready.
    int Start(QList<TSearchPage> pages, const QString& query);
    // Ends the search under way; nothing more of it arrives.
    void Cancel();
    int Current() const;
    // Waits up to ms (-1: for ever) until no search runs; its signals still need the event loop.
    bool Wait(int ms = -1);
    // The page texts kept from their files, and their size in UTF-16 units (folded copies included).
    qsizetype KeptPages() const;
    qsizetype KeptUnits() const;

signals:
    // Pages of search that match, in page order, a few at a time: the first as soon as found.
    void found(int search, const QList<TPageHits>& hits);
    // search has looked at every page: matches and pages found in all, and the pages (as
    // "title: reason") whose file could not be read.
    void finished(int search, int matches, int pages, const QStringList& unreadable);

private:
    struct TShared;
    void Run(int search, const QList<TSearchPage>& pages, const QStringList& words);
    void Send(int search, QList<TPageHits>& batch);

    std::shared_ptr<TShared> m_shared;
    QThreadPool m_pool;
};
