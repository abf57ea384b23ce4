// Evaluations per second of the three default insert templates and of a 200-token arithmetic
// line, each measured three ways:
//   ParseAndEvaluate  what an insert command does: a fresh parse, evaluation and the text;
//   Evaluate          what repeated use of one parsed tree costs;
//   Scan              baseline: only reading the tokens, the least any evaluation must do.
// The templates also have a hand-built baseline: the same text composed directly in C++.
// After the table a summary prints every figure as a ratio to its baselines.
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QString>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "templates/ExprParser.h"
#include "templates/ExprScanner.h"

using namespace Qt::StringLiterals;

namespace {

QDateTime FixedNow()
{
    return QDateTime(QDate(2009, 4, 3), QTime(15, 14, 35));
}

int CountTokens(const QString& text)
{
    TExprScanner scanner;
    scanner.SetText(text);
    int count = 0;
    for (scanner.NextToken(); scanner.Kind() != TExprToken::EndOfText; scanner.NextToken())
        ++count;
    return count;
}

// 95 numbers, 94 operators, four pairs of parentheses and one call of ABS: 200 tokens.
QString Arithmetic200()
{
    const QString ops[] = {u" + "_s, u" - "_s, u" * "_s, u" / "_s};
    int operand = 0;
    int op = 0;
    auto number = [&operand] { return QString::number(operand++ % 9 + 1); };
    auto nextOp = [&] { return ops[op++ % 4]; };
    QString text = u"abs("_s;
    text += number();
    for (int i = 0; i < 3; ++i)
        text += nextOp() + number();
    text += u')';
    int parens = 0;
    while (operand < 95) {
        text += nextOp();
        if (parens < 4 && operand % 20 == 10) {
            text += u'(' + number();
            text += nextOp() + number() + u')';
            ++parens;
        } else {
            text += number();
        }
    }
    return text;
}

struct TCase
{
    const char* name;
    QString text;
};

const std::vector<TCase>& Cases()
{
    static const std::vector<TCase> cases = {
        {"Line", u"crlf() + chars('-', 80) + crlf()"_s},
        {"Date", u"date() + ' ' + time()"_s},
        {"LineDate",
         u"crlf() + chars('-', 29) + ' ' + date() + ' ' + time() + ' ' + chars('-', 30) + crlf()"_s},
        {"Arithmetic200", Arithmetic200()},
    };
    return cases;
}

// The texts of the three templates composed directly, reading the same clock as the parser.
QString HandBuilt(int index)
{
    if (index == 0)
        return u"\r\n"_s + QString(80, u'-') + u"\r\n"_s;
    const QDateTime now = FixedNow();
    const QString stamp = now.date().toString(u"yyyy-MM-dd"_s) + u' ' + now.time().toString(u"HH:mm:ss"_s);
    if (index == 1)
        return stamp;
    return u"\r\n"_s + QString(29, u'-') + u' ' + stamp + u' ' + QString(30, u'-') + u"\r\n"_s;
}

void BM_ParseAndEvaluate(benchmark::State& state)
{
    const QString& text = Cases()[std::size_t(state.range(0))].text;
    for (auto _ : state) {
        TExprParser parser(FixedNow);
        parser.ParseAndEvaluate(text);
        benchmark::DoNotOptimize(parser.ResultText());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(Cases()[std::size_t(state.range(0))].name);
}

void BM_Evaluate(benchmark::State& state)
{
    TExprParser parser(FixedNow);
    parser.Parse(Cases()[std::size_t(state.range(0))].text);
    for (auto _ : state) {
        parser.Evaluate();
        benchmark::DoNotOptimize(parser.ResultText());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(Cases()[std::size_t(state.range(0))].name);
}

void BM_Scan(benchmark::State& state)
{
    const QString& text = Cases()[std::size_t(state.range(0))].text;
    for (auto _ : state)
        benchmark::DoNotOptimize(CountTokens(text));
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(Cases()[std::size_t(state.range(0))].name);
}

void BM_HandBuilt(benchmark::State& state)
{
    const int index = int(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(HandBuilt(index));
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(Cases()[std::size_t(index)].name);
}

BENCHMARK(BM_ParseAndEvaluate)->DenseRange(0, 3);
BENCHMARK(BM_Evaluate)->DenseRange(0, 3);
BENCHMARK(BM_Scan)->DenseRange(0, 3);
BENCHMARK(BM_HandBuilt)->DenseRange(0, 2);

// Keeps every run's rate (items per second) for the summary.
class TCollectingReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const auto it = run.counters.find("items_per_second");
            if (it != run.counters.end())
                rates[run.benchmark_name()] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> rates;
};

double Rate(const TCollectingReporter& reporter, const char* benchmark, std::size_t index)
{
    const auto it = reporter.rates.find(std::string(benchmark) + "/" + std::to_string(index));
    return it == reporter.rates.end() ? 0.0 : it->second;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TCollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-14s %7s %16s %16s %16s %10s %10s\n", "expression", "tokens", "parse+eval/s", "eval/s",
                "scan/s", "vs scan", "vs C++");
    for (std::size_t i = 0; i < Cases().size(); ++i) {
        const double full = Rate(reporter, "BM_ParseAndEvaluate", i);
        const double evaluate = Rate(reporter, "BM_Evaluate", i);
        const double scan = Rate(reporter, "BM_Scan", i);
        const double hand = i < 3 ? Rate(reporter, "BM_HandBuilt", i) : 0.0;
        char handRatio[32] = "-";
        if (hand > 0)
            std::snprintf(handRatio, sizeof handRatio, "%.3f", full / hand);
        std::printf("%-14s %7d %16.0f %16.0f %16.0f %10.3f %10s\n", Cases()[i].name,
                    CountTokens(Cases()[i].text), full, evaluate, scan, scan > 0 ? full / scan : 0.0,
                    handRatio);
    }
    std::printf("(vs scan and vs C++: parse+eval rate divided by the scan-only and the hand-built rate)\n");
    return 0;
}
