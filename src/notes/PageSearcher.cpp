#include "notes/PageSearcher.h"

#include "core/TextFile.h"
#include "notes/DataManager.h"

#include <QElapsedTimer>
#include <QHash>
#include <QScopeGuard>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// Matches found are sent together at most this often, the first at once.
constexpr int kBatchMs = 40;

struct TSearchText
{
    QString text; // one LF per line break
    QString folded;
};

QString WithLineFeeds(QString text)
{
    return text.replace(u"\r\n"_s, u"\n"_s);
}

TSearchText Prepared(QString text)
{
    TSearchText prepared{WithLineFeeds(std::move(text)), {}};
    // A text that folds to itself is kept once.
    prepared.folded = PageSearch::Fold(prepared.text);
    return prepared;
}

qsizetype UnitsOf(const TSearchText& kept)
{
    return kept.text.size() + (kept.folded.constData() == kept.text.constData() ? 0 : kept.folded.size());
}

} // namespace

struct TPageSearcher::TShared
{
    std::atomic<int> current{0};
    mutable std::mutex mutex;
    QHash<QString, TSearchText> kept;
    qsizetype keptUnits = 0;

    bool Ended(int search) const { return current.load() != search; }

    // The page's text ready to search; nullopt with the reason when its file cannot be read.
    std::optional<TSearchText> TextOf(const TSearchPage& page, QString& reason)
    {
        if (page.live) {
            Forget(page.file);
            return Prepared(page.text);
        }
        {
            const std::lock_guard lock(mutex);
            if (const auto known = kept.constFind(page.file); known != kept.cend())
                return *known;
        }
        TSearchText prepared;
        try {
            prepared = Prepared(page.textKnown ? page.text : TDataManager::ReadPageFileText(page.file));
        } catch (const EFileError& error) {
            reason = error.message();
            return std::nullopt;
        }
        const std::lock_guard lock(mutex);
        // The reader ahead may have kept it meanwhile.
        if (const auto known = kept.constFind(page.file); known != kept.cend())
            return *known;
        keptUnits += UnitsOf(prepared);
        kept.insert(page.file, prepared);
        return prepared;
    }

    // Whether some page still has its text to be read.
    bool AnyUnread(const QList<TSearchPage>& pages) const
    {
        const std::lock_guard lock(mutex);
        return std::any_of(pages.cbegin(), pages.cend(), [this](const TSearchPage& page) {
            return !page.live && !kept.contains(page.file);
        });
    }

    void Forget(const QString& file)
    {
        const std::lock_guard lock(mutex);
        if (const auto known = kept.constFind(file); known != kept.cend()) {
            keptUnits -= UnitsOf(*known);
            kept.erase(known);
        }
    }
};

TPageSearcher::TPageSearcher(QObject* parent) : QObject(parent), m_shared(std::make_shared<TShared>())
{
    // One search at a time: a new one waits only until the old one notices that it has ended.
    m_pool.setMaxThreadCount(1);
}

TPageSearcher::~TPageSearcher()
{
    Cancel();
    m_pool.waitForDone();
}

int TPageSearcher::Start(QList<TSearchPage> pages, const QString& query)
{
    const int search = ++m_shared->current;
    QStringList words = PageSearch::Words(query);
    m_pool.start(
        [this, search, pages = std::move(pages), words = std::move(words)] { Run(search, pages, words); });
    return search;
}

void TPageSearcher::Cancel()
{
    ++m_shared->current;
}

int TPageSearcher::Current() const
{
    return m_shared->current.load();
}

bool TPageSearcher::Wait(int ms)
{
    return m_pool.waitForDone(ms);
}

qsizetype TPageSearcher::KeptPages() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->kept.size();
}

qsizetype TPageSearcher::KeptUnits() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->keptUnits;
}

void TPageSearcher::Run(int search, const QList<TSearchPage>& pages, const QStringList& words)
{
    // Reading the files is most of a first search: while this thread goes from the first page
    // on, another reads from the last page back until the two meet, each on a core of its own.
    std::atomic<qsizetype> reached{0};
    std::thread readAhead;
    if (m_shared->AnyUnread(pages)) {
        try {
            readAhead = std::thread([shared = m_shared, &pages, &reached, search] {
                QString reason;
                for (qsizetype i = pages.size() - 1; i > reached.load() + 1 && !shared->Ended(search); --i)
                    if (!pages[i].live)
                        shared->TextOf(pages[i], reason);
            });
        } catch (const std::system_error&) {
            // Without a second thread this one reads every page.
        }
    }
    const auto joinReadAhead = qScopeGuard([&readAhead] {
        if (readAhead.joinable())
            readAhead.join();
    });

    QList<TPageHits> batch;
    QStringList unreadable;
    int matchCount = 0;
    int pageCount = 0;
    bool sentAny = false;
    QElapsedTimer sinceSent;
    sinceSent.start();
    for (qsizetype i = 0; i < pages.size(); ++i) {
        reached = i;
        if (m_shared->Ended(search))
            return;
        const TSearchPage& page = pages[i];
        QString reason;
        const std::optional<TSearchText> text = m_shared->TextOf(page, reason);
        if (!text) {
            unreadable.append(page.title + u"："_s + reason);
            continue;
        }
        if (words.isEmpty())
            continue;
        QList<TPageMatch> matches = MatchPage(words, PageSearch::Fold(page.title), text->folded);
        if (!matches.isEmpty()) {
            matchCount += int(matches.size());
            ++pageCount;
            batch.append({int(i), page.file, page.title, text->text, std::move(matches)});
        }
        if (!batch.isEmpty() && (!sentAny || sinceSent.elapsed() >= kBatchMs)) {
            Send(search, batch);
            sentAny = true;
            sinceSent.restart();
        }
    }
    if (!batch.isEmpty())
        Send(search, batch);
    QMetaObject::invokeMethod(
        this,
        [this, search, matchCount, pageCount, unreadable] {
            if (Current() == search)
                emit finished(search, matchCount, pageCount, unreadable);
        },
        Qt::QueuedConnection);
}

void TPageSearcher::Send(int search, QList<TPageHits>& batch)
{
    QMetaObject::invokeMethod(
        this,
        [this, search, hits = std::move(batch)] {
            if (Current() == search)
                emit found(search, hits);
        },
        Qt::QueuedConnection);
    batch = {};
}
