// Loads settings files of growing size and prints the load time per key beside a baseline
// measured in the same run: reading and decoding the same file without building the store.
// A load that stays linear keeps its time per key flat as the files grow.
//
//   bench_config_load [largest key count=1000000] [rounds=3]
#include "config/AppConfigMgr.h"
#include "core/TextFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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

// A Config.ini of the program's own form with keys extra keys in a section of their own.
QByteArray settingsFile(int keys)
{
    QString text = u"[Config]\r\nRunOnStartup=False\r\nWordWrap=True\r\n\r\n[Extra]\r\n"_s;
    text.reserve(text.size() + qsizetype(keys) * 24);
    for (int i = 0; i < keys; ++i)
        text += u"Key"_s + QString::number(i) + u"=value "_s + QString::number(i) + u"\r\n"_s;
    text += u"\r\n"_s;
    return EncodeText(text, TTextEncoding::Utf16LE);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int largest = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    QTemporaryDir root;
    const QString path = root.path() + u"/Config.ini"_s;

    std::printf("%10s %10s %12s %12s %14s %8s\n", "keys", "MB", "baseline s", "load s", "load us/key",
                "ratio");
    for (int keys = 1000; keys <= largest; keys *= 10) {
        const QByteArray bytes = settingsFile(keys);
        std::vector<double> baseline, load;
        for (int round = 0; round < rounds; ++round) {
            WriteFileAtomically(path, bytes);
            QElapsedTimer timer;
            timer.start();
            const QString text = DecodeText(ReadFileBytes(path));
            const QStringList lines = SplitLines(text);
            baseline.push_back(timer.nsecsElapsed() / 1e9);

            timer.restart();
            TAppConfigMgr config(path);
            load.push_back(timer.nsecsElapsed() / 1e9);
            if (config.ReadString(u"Extra"_s, u"Key%1"_s.arg(keys - 1), QString()).isEmpty() ||
                lines.size() < keys)
                std::fprintf(stderr, "the last key was not loaded\n");
            // The release writes the file back; that is not part of the load.
        }
        const double b = median(baseline);
        const double l = median(load);
        std::printf("%10d %10.1f %12.3f %12.3f %14.2f %8.1f\n", keys, bytes.size() / 1e6, b, l,
                    l * 1e6 / keys, l / b);
        std::fflush(stdout);
    }
    return 0;
}
