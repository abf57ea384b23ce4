// How long one journal write of a 1 MB page holds the GUI thread, printed beside the time of a
// plain QSaveFile write of the same bytes measured in the same run. The GUI thread takes the
// page's text out of its editor and hands it to the journal; the worker thread encodes, writes
// and flushes it. The temporary folder lies under TMPDIR.
//
//   bench_journal_write [characters=1048576] [rounds=20]
#include "core/TextFile.h"
#include "notes/PageJournal.h"
#include "notes/ui/PadMemo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSaveFile>
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

double ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int characters = argc > 1 ? std::atoi(argv[1]) : 1 << 20;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;

    QString line = QString(79, u'x') + u'\n';
    QString text;
    while (text.size() < characters)
        text += line;
    text.truncate(characters);
    TPadMemo editor;
    editor.SetPageText(text);

    QTemporaryDir root;
    TPageJournal journal(root.path() + u"/.recovery"_s);
    const QByteArray base = TPageJournal::Fingerprint(text);
    std::vector<double> extract, handOff, background, plain;
    for (int round = 0; round < rounds; ++round) {
        // One change, as typing makes it, so that the text is taken anew.
        editor.ReplaceSelection(u"y"_s, true);

        QElapsedTimer timer;
        timer.start();
        const QString current = editor.PageText();
        extract.push_back(ms(timer));
        timer.restart();
        journal.Write(u"{PAGE}.txt"_s, current, base);
        handOff.push_back(ms(timer));
        timer.restart();
        journal.Flush();
        background.push_back(ms(timer));

        // The baseline: the same bytes through QSaveFile, without any flush of our own.
        const QByteArray bytes = TPageJournal::Encode(u"{PAGE}.txt"_s, current, base);
        timer.restart();
        QSaveFile file(root.path() + u"/plain.txt"_s);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            std::fprintf(stderr, "plain write failed\n");
            return 1;
        }
        plain.push_back(ms(timer));
    }
    const double gui = median(extract) + median(handOff);
    std::printf("journal write of a page of %d characters (%lld bytes on disk), median of %d rounds:\n",
                characters, qint64(TPageJournal::Encode(u"{PAGE}.txt"_s, text, base).size()), rounds);
    std::printf("  GUI thread: %.3f ms (text out of the editor %.3f ms, hand-off %.3f ms)\n", gui,
                median(extract), median(handOff));
    std::printf("  worker thread until on disk (encode, write, fsync, rename, folder fsync): %.3f ms\n",
                median(background));
    std::printf("  baseline, plain QSaveFile write of the same bytes on the GUI thread: %.3f ms\n",
                median(plain));
    std::printf("  GUI thread time / plain write: %.2f\n", gui / median(plain));
    return journal.LastError().isEmpty() ? 0 : 1;
}
