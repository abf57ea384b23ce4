// The search over all pages at 1,000 and 10,000 pages of about 1 KB: the time from starting a
// search to its first result and to its end, for the first search (every text still to be read
// from its file, as after a start that took the titles from the page index) and for later ones
// (texts kept), beside a plain `grep -rl` over the same files in the same run. Then what
// keeping the texts costs: the memory in use, and matching against texts folded once against
// folding them at every search.
//
//   bench_page_search [rounds=5]
#include "core/TextFile.h"
#include "notes/PageSearch.h"
#include "notes/PageSearcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The resident memory of this process in MB.
double residentMb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// Pages of ordinary words, Latin and Chinese, about bytes long in UTF-16 each; each rare word
// is put on three pages.
QList<TSearchPage> WritePages(const QString& folder, int count, int bytes, const QStringList& rareWords)
{
    static const QStringList vocabulary = {u"note"_s, u"meeting"_s, u"Monday"_s, u"call"_s,    u"report"_s,
                                           u"会议"_s, u"明天"_s,    u"项目"_s,   u"buy"_s,     u"milk"_s,
                                           u"idea"_s, u"代码"_s,    u"review"_s, u"Project"_s, u"提醒"_s};
    QRandomGenerator random(42);
    QList<TSearchPage> pages;
    for (int i = 0; i < count; ++i) {
        QStringList lines{QString::number(i), u"Page %1"_s.arg(i), QString()};
        QString line;
        qsizetype units = 0;
        while (units * 2 < bytes) {
            const QString& word = vocabulary[random.bounded(int(vocabulary.size()))];
            line += word + u' ';
            units += word.size() + 1;
            if (line.size() > 60) {
                lines.append(line);
                units += 2;
                line.clear();
            }
        }
        for (int w = 0; w < rareWords.size(); ++w)
            for (int k = 1; k <= 3; ++k)
                if (i == (count * k) / 4 + w)
                    line += rareWords[w];
        lines.append(line);
        const QString path = folder + u"page%1.txt"_s.arg(i, 6, 10, QChar(u'0'));
        WriteTextFileLines(path, lines);
        pages.append({path, lines[1], QString(), false, false});
    }
    return pages;
}

// Milliseconds of `grep -rl` finding word in the UTF-16 files of folder; the files it lists in count.
double GrepMs(const QString& folder, const QString& word, int& count)
{
    QString pattern;
    for (QChar c : word)
        pattern += QString(c) + u"\\x00"_s;
    QElapsedTimer timer;
    timer.start();
    QProcess grep;
    grep.start(u"grep"_s, {u"-rlaP"_s, pattern, folder});
    grep.waitForFinished(-1);
    const double ms = timer.nsecsElapsed() / 1e6;
    count = int(grep.readAllStandardOutput().count('\n'));
    return ms;
}

struct TTimes
{
    double firstMs = -1;
    double allMs = -1;
    int matches = 0;
};

TTimes Search(TPageSearcher& searcher, const QList<TSearchPage>& pages, const QString& query)
{
    TTimes times;
    QEventLoop loop;
    QElapsedTimer timer;
    const auto onFound = QObject::connect(&searcher, &TPageSearcher::found, &loop, [&] {
        if (times.firstMs < 0)
            times.firstMs = timer.nsecsElapsed() / 1e6;
    });
    const auto onFinished = QObject::connect(&searcher, &TPageSearcher::finished, &loop,
                                             [&](int, int matches, int, const QStringList&) {
                                                 times.allMs = timer.nsecsElapsed() / 1e6;
                                                 times.matches = matches;
                                                 loop.quit();
                                             });
    timer.start();
    searcher.Start(pages, query);
    loop.exec();
    QObject::disconnect(onFound);
    QObject::disconnect(onFinished);
    return times;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const QStringList rare = {u"zanzibar"_s, u"quixotic"_s, u"xylophone"_s};

    std::printf("Time to the first result and to the end of a search, beside grep -rl over the same files\n");
    std::printf("(medians of %d rounds; first search: every text read from its file)\n\n", rounds);
    std::printf("%7s  %-12s  %10s  %20s  %20s  %18s\n", "pages", "query", "grep -rl", "first search: 1st/all",
                "later search: 1st/all", "later 1st / grep");
    for (const int count : {1000, 10000}) {
        QTemporaryDir root;
        const QString folder = root.path() + u"/Data/"_s;
        QDir().mkpath(folder);
        const QList<TSearchPage> pages = WritePages(folder, count, 1024, rare);
        const double memoryBefore = residentMb();

        std::vector<double> grepMs, firstFirst, firstAll, laterFirst, laterAll;
        int grepCount = 0;
        int found = 0;
        qsizetype keptUnits = 0;
        double memoryAfter = 0;
        for (int round = 0; round < rounds; ++round) {
            grepMs.push_back(GrepMs(folder, rare[0], grepCount));
            TPageSearcher searcher;
            const TTimes first = Search(searcher, pages, rare[0]);
            firstFirst.push_back(first.firstMs);
            firstAll.push_back(first.allMs);
            const TTimes later = Search(searcher, pages, rare[1 + round % 2]);
            laterFirst.push_back(later.firstMs);
            laterAll.push_back(later.allMs);
            found = first.matches;
            keptUnits = searcher.KeptUnits();
            memoryAfter = std::max(memoryAfter, residentMb());
        }
        const double grep = median(grepMs);
        std::printf("%7d  %-12s  %7.1f ms  %8.1f / %6.1f ms  %8.1f / %6.1f ms  %17.2fx\n", count,
                    qPrintable(rare[0]), grep, median(firstFirst), median(firstAll), median(laterFirst),
                    median(laterAll), median(laterFirst) / grep);
        std::printf("         (grep lists %d files, the search finds %d matches)\n", grepCount, found);

        // A short query as the first key of a word: many matches, the list shows the first ones.
        TPageSearcher searcher;
        Search(searcher, pages, QString());
        std::vector<double> shortFirst, shortAll;
        int shortMatches = 0;
        for (int round = 0; round < rounds; ++round) {
            const TTimes times = Search(searcher, pages, u"m"_s);
            shortFirst.push_back(times.firstMs);
            shortAll.push_back(times.allMs);
            shortMatches = times.matches;
        }
        std::printf("%7d  %-12s  %10s  %20s  %8.1f / %6.1f ms  (%d matches)\n", count, "m", "", "",
                    median(shortFirst), median(shortAll), shortMatches);

        // Keeping folded texts against folding every text at every search.
        QList<QString> texts, folded;
        for (const TSearchPage& page : pages) {
            texts.append(ReadTextFile(page.file).replace(u"\r\n"_s, u"\n"_s));
            folded.append(PageSearch::Fold(texts.back()));
        }
        const QStringList words = PageSearch::Words(rare[1]);
        std::vector<double> keptMs, refoldMs;
        qsizetype sink = 0;
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer timer;
            timer.start();
            for (const QString& text : folded)
                sink += MatchPage(words, {}, text).size();
            keptMs.push_back(timer.nsecsElapsed() / 1e6);
            timer.restart();
            for (const QString& text : texts)
                sink += MatchPage(words, {}, PageSearch::Fold(text)).size();
            refoldMs.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::printf("         matching kept folded texts %.1f ms, folding at every search %.1f ms (%.1fx), "
                    "%lld hits\n",
                    median(keptMs), median(refoldMs), median(refoldMs) / median(keptMs),
                    (long long)(sink / rounds / 2));
        std::printf("         memory in use: %.1f MB before the searches, %.1f MB with every text kept "
                    "(kept texts %.1f MB in UTF-16)\n\n",
                    memoryBefore, memoryAfter, double(keptUnits) * 2 / (1024 * 1024));
    }
    return 0;
}
