// Scans a folder of page files and takes its pages, as a start does, and prints the time beside
// the time to read and decode every file whole one after another, both measured here in the same
// run. The store reads each file once, on a few threads; the ratio shows what that gains.
//
//   bench_page_scan [pages=10000] [bytes per page=1024] [rounds=5]
#include "core/TextFile.h"
#include "notes/DataManager.h"
#include "platform/Trash.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

class NoTrash final : public ITrash
{
public:
    bool moveToTrash(const QString&) override { return false; }
    bool removePermanently(const QString&) override { return false; }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int pages = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int bytes = argc > 2 ? std::atoi(argv[2]) : 1024;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;

    QTemporaryDir root;
    const QString folder = root.path() + u"/Data/"_s;
    QDir().mkpath(folder);
    const QString body = QString(bytes / 2, u'x');
    for (int i = 0; i < pages; ++i) {
        // Keys in order, so that the scan only reads and sorts, as at every normal start.
        WriteTextFileLines(folder + u"page%1.txt"_s.arg(i, 6, 10, QChar(u'0')),
                           {QString::number(i), u"Page %1"_s.arg(i), QString(), body});
    }
    NoTrash trash;
    std::vector<double> scan, full;
    qint64 checksum = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        TDataManager store(folder, trash);
        const TPageItems items = store.GetPages();
        scan.push_back(timer.nsecsElapsed() / 1e6);
        checksum += items.size();

        timer.restart();
        const QStringList names = QDir(folder).entryList(QDir::Files, QDir::Unsorted);
        for (const QString& name : names)
            checksum += ReadTextFile(folder + name).size();
        full.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double scanMs = median(scan);
    const double fullMs = median(full);
    std::printf("pages: %d of %d bytes, median of %d rounds (checksum %lld)\n", pages, bytes, rounds,
                static_cast<long long>(checksum));
    std::printf("scan and take the pages:          %9.2f ms\n", scanMs);
    std::printf("read every file whole (baseline): %9.2f ms\n", fullMs);
    std::printf("scan / full read:                 %9.3f\n", scanMs / fullMs);
    return 0;
}
