// How long a page of one very long line takes to open and to take a keystroke, printed beside
// the same for a page of as many characters in short lines (the baseline, measured in the same
// run), and how long the calculator's insertion of a long result holds the window. The editor
// is driven directly, in a shown 800x600 window of the offscreen platform (QT_QPA_PLATFORM is
// set to offscreen here), with word wrap on and the program's default font, "宋体" at 9 points.
// Every time includes the repaint that shows the result.
//
//   bench_long_line [characters=1048576] [keystrokes=5] [content=words|x]
//
// "words" fills the long line with Chinese and Latin words, "x" with one letter repeated (no
// place to break a line at a word boundary, as chars('x', n) makes).
#include "notes/ui/PadMemo.h"
#include "widgets/BaseFrm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

double ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString Repeated(const QString& piece, int characters)
{
    QString text;
    text.reserve(characters + piece.size());
    while (text.size() < characters)
        text += piece;
    text.truncate(characters);
    return text;
}

struct TFigures
{
    double open = 0;
    double keystroke = 0;
};

class TBench
{
public:
    TBench()
    {
        InstallFontSubstitutions();
        m_panel.setFont(QFont(u"宋体"_s, 9));
        m_panel.resize(800, 600);
        auto* layout = new QVBoxLayout(&m_panel);
        layout->setContentsMargins(0, 0, 0, 0);
        m_memo = new TPadMemo(&m_panel);
        layout->addWidget(m_memo);
        m_panel.show();
        (void)QTest::qWaitForWindowExposed(&m_panel);
        m_memo->setFocus();
    }

    void Settle()
    {
        m_memo->repaint();
        QCoreApplication::processEvents();
    }

    TFigures Page(const QString& text, int keystrokes)
    {
        m_memo->SetPageText(QString());
        Settle();
        TFigures figures;
        QElapsedTimer timer;
        timer.start();
        m_memo->SetPageText(text);
        Settle();
        figures.open = ms(timer);
        std::vector<double> keys;
        for (int i = 0; i < keystrokes; ++i) {
            timer.restart();
            QTest::keyClick(m_memo, Qt::Key_A);
            Settle();
            keys.push_back(ms(timer));
        }
        figures.keystroke = median(keys);
        return figures;
    }

    // A page of short lines with the caret on an empty last line, then one insertion of
    // characters letters and a line break, as the calculator makes it.
    double Insertion(int characters)
    {
        m_memo->SetPageText(Repeated(u"1+2\n"_s, 4000) + u'\n');
        m_memo->SetSelection(16000, 0);
        Settle();
        const QString result = QString(characters, u'x') + u"\r\n"_s;
        QElapsedTimer timer;
        timer.start();
        m_memo->ReplaceSelection(result, true);
        Settle();
        return ms(timer);
    }

private:
    QWidget m_panel;
    TPadMemo* m_memo = nullptr;
};

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int characters = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 1 << 20;
    const int keystrokes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const bool letters = argc > 3 && std::strcmp(argv[3], "x") == 0;

    const QString longLine = letters ? QString(characters, u'x')
                                     : Repeated(u"Jotvane 便签 keeps a note, 提醒 at 09:30. "_s, characters);
    // Lines of 64 characters and a line break: 16,384 lines for 1 MB.
    const QString shortLines = Repeated(QString(64, u'y') + u'\n', characters);

    TBench bench;
    const TFigures baseline = bench.Page(shortLines, keystrokes);
    const TFigures huge = bench.Page(longLine, keystrokes);
    std::printf("page of %d characters, word wrap on, median of %d keystrokes at the start of the page:\n",
                characters, keystrokes);
    std::printf("  %-34s open %9.1f ms   keystroke %8.1f ms\n",
                "baseline, lines of 64 characters:", baseline.open, baseline.keystroke);
    std::printf("  %-34s open %9.1f ms   keystroke %8.1f ms\n",
                letters ? "one line of the letter x:" : "one line of words:", huge.open, huge.keystroke);
    std::printf("  one line / baseline:               open %9.1fx   keystroke %8.1fx\n",
                huge.open / baseline.open, huge.keystroke / baseline.keystroke);
    std::printf("calculator insertion of a result into a page of 4,000 short lines:\n");
    for (const int length : {characters / 4, characters / 2, characters, 2 * characters})
        std::printf("  %9d characters: %9.1f ms\n", length, bench.Insertion(length));
    return 0;
}
