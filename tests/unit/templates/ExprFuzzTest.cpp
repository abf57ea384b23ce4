// Random token sequences and random characters: the parser never crashes or hangs, and every
// failure is one of the documented error kinds.
#include "templates/ExprParser.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <random>
#include <set>

#include "ExprTestHelpers.h"
#include "templates/ExprErrors.h"

using namespace Qt::StringLiterals;

namespace {

struct TOutcomes
{
    int succeeded = 0;
    std::set<int> codes;
    int limits = 0;
    int mathFaults = 0;
    int conversions = 0;
};

// Parses and evaluates text; fails the test for anything but a documented error. For a
// successful text result it also checks two properties: a second evaluation gives the same
// text, and the quoted result read back as an expression gives the same text again.
void Exercise(TExprParser& parser, const QString& text, TOutcomes& outcomes)
{
    static const std::set<int> documented = {4001, 4003, 4004, 4006, 4007, 4008, 4009, 4010};
    try {
        parser.ParseAndEvaluate(text);
        const QString result = parser.ResultText();
        const TExprType type = parser.ResultType();
        ++outcomes.succeeded;
        parser.Evaluate();
        ASSERT_EQ(parser.ResultText(), result) << text.toStdString();
        if (type == TExprType::Text && result.size() <= 256) {
            const QString quoted = parser.ResultQuoted();
            parser.ParseAndEvaluate(quoted);
            ASSERT_EQ(parser.ResultText(), result) << text.toStdString();
        }
    } catch (const EExprException& e) {
        ASSERT_TRUE(documented.count(e.ErrorCode())) << e.ErrorCode() << " for " << text.toStdString();
        ASSERT_TRUE(e.message().startsWith(u"表达式错误: "_s));
        outcomes.codes.insert(e.ErrorCode());
    } catch (const EExprLimitError&) {
        ++outcomes.limits;
    } catch (const EConvertError& e) {
        ASSERT_TRUE(e.message().endsWith(u"' is not a valid floating point value"_s));
        ++outcomes.conversions;
    } catch (const EZeroDivide&) {
        ++outcomes.mathFaults;
    } catch (const EInvalidOp&) {
        ++outcomes.mathFaults;
    } catch (const EOverflow&) {
        ++outcomes.mathFaults;
    } catch (const std::exception& e) {
        FAIL() << "undocumented error " << e.what() << " for " << text.toStdString();
    }
}

} // namespace

TEST(ExprFuzz, RandomTokenSequences)
{
    const QStringList vocabulary = {
        u"("_s,          u")"_s,          u","_s,          u"+"_s,     u"-"_s,       u"*"_s,     u"/"_s,
        u"="_s,          u"<>"_s,         u">="_s,         u"<="_s,    u">"_s,       u"<"_s,     u"0"_s,
        u"1"_s,          u"-1"_s,         u"7"_s,          u"2.5"_s,   u"1e"_s,      u"1e308"_s, u"1e400"_s,
        u"3000000000"_s, u"2147483647"_s, u"2000000000"_s, u"'a'"_s,   u"'it''s'"_s, u"''"_s,    u"'"_s,
        u"TRUE"_s,       u"false"_s,      u"AND"_s,        u"or"_s,    u"NOT"_s,     u"x"_s,     u"upper"_s,
        u"lower"_s,      u"substr"_s,     u"trim"_s,       u"ascii"_s, u"char"_s,    u"left"_s,  u"right"_s,
        u"len"_s,        u"chars"_s,      u"crlf"_s,       u"date"_s,  u"time"_s,    u"now"_s,   u"abs"_s,
        u"pi"_s,         u"round"_s,      u"power"_s,      u"sqrt"_s,  u"floor"_s,   u"中"_s,    u"#"_s};
    std::mt19937 random(20090403);
    std::uniform_int_distribution<int> pick(0, int(vocabulary.size()) - 1);
    std::uniform_int_distribution<int> length(0, 24);
    std::bernoulli_distribution blank(0.4);

    TExprParser parser(FixedNow);
    TOutcomes outcomes;
    for (int round = 0; round < 30000; ++round) {
        QString text;
        const int n = length(random);
        for (int i = 0; i < n; ++i) {
            text += vocabulary.at(pick(random));
            if (blank(random))
                text += u' ';
        }
        Exercise(parser, text, outcomes);
        if (HasFatalFailure())
            return;
    }
    // The sequences reach deep enough to succeed and to meet most of the errors.
    EXPECT_GT(outcomes.succeeded, 100);
    EXPECT_GE(outcomes.codes.size(), 6u);
    EXPECT_GT(outcomes.mathFaults + outcomes.conversions, 0);
}

TEST(ExprFuzz, RandomCharacters)
{
    std::mt19937 random(1124);
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> ascii(0, 127);
    std::uniform_int_distribution<int> unit(0, 0xFFFF);
    std::bernoulli_distribution mostlyAscii(0.9);
    const QString tokenish = u"0123456789+-*/()<>=,'eE. abcfgilmnoprstuw"_s;
    std::uniform_int_distribution<int> pickTokenish(0, int(tokenish.size()) - 1);
    std::bernoulli_distribution fromTokenish(0.7);

    TExprParser parser(FixedNow);
    TOutcomes outcomes;
    for (int round = 0; round < 30000; ++round) {
        QString text;
        const int n = length(random);
        for (int i = 0; i < n; ++i) {
            if (fromTokenish(random))
                text += tokenish.at(pickTokenish(random));
            else
                text += QChar(char16_t(mostlyAscii(random) ? ascii(random) : unit(random)));
        }
        Exercise(parser, text, outcomes);
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(outcomes.succeeded, 100);
    EXPECT_TRUE(outcomes.codes.count(4001));
    EXPECT_TRUE(outcomes.codes.count(4003));
}

namespace {

// A random expression of well-formed shape; its types agree only by chance.
QString RandomExpression(std::mt19937& random, int depth)
{
    static const QStringList leaves = {u"0"_s,          u"1"_s,    u"-1"_s,    u"2"_s,     u"3"_s,
                                       u"80"_s,         u"0.5"_s,  u"-2.5"_s,  u"1e300"_s, u"2000000000"_s,
                                       u"3000000000"_s, u"'a'"_s,  u"'B c'"_s, u"''"_s,    u"'it''s'"_s,
                                       u"True"_s,       u"False"_s};
    static const QStringList operators = {u"+"_s, u"-"_s, u"*"_s,  u"/"_s,  u"="_s,   u"<>"_s,
                                          u"<"_s, u">"_s, u"<="_s, u">="_s, u"AND"_s, u"OR"_s};
    static const QStringList functions = {
        u"upper"_s, u"lower"_s, u"substr"_s, u"trim"_s,  u"trimleft"_s, u"trimright"_s, u"ascii"_s, u"char"_s,
        u"left"_s,  u"right"_s, u"len"_s,    u"chars"_s, u"crlf"_s,     u"date"_s,      u"time"_s,  u"now"_s,
        u"abs"_s,   u"pi"_s,    u"round"_s,  u"power"_s, u"sqrt"_s,     u"floor"_s};
    auto pick = [&random](const QStringList& list) {
        return list.at(std::uniform_int_distribution<int>(0, int(list.size()) - 1)(random));
    };
    const int choice = std::uniform_int_distribution<int>(0, 9)(random);
    if (depth <= 0 || choice < 3)
        return pick(leaves);
    if (choice < 6)
        return u'(' + RandomExpression(random, depth - 1) + u' ' + pick(operators) + u' ' +
               RandomExpression(random, depth - 1) + u')';
    if (choice == 6)
        return u"NOT ("_s + RandomExpression(random, depth - 1) + u')';
    QString call = pick(functions) + u'(';
    const int arguments = std::uniform_int_distribution<int>(0, 3)(random);
    for (int i = 0; i < arguments; ++i)
        call += (i ? u", "_s : QString()) + RandomExpression(random, depth - 1);
    return call + u')';
}

} // namespace

TEST(ExprFuzz, RandomExpressionTrees)
{
    std::mt19937 random(3574);
    TExprParser parser(FixedNow);
    TOutcomes outcomes;
    for (int round = 0; round < 20000; ++round) {
        QString text = RandomExpression(random, 5);
        // Now and then bury it in parentheses, sometimes deeper than allowed.
        if (round % 97 == 0) {
            const int n = std::uniform_int_distribution<int>(1, ExprLimits::MaxNesting + 20)(random);
            text = QString(n, u'(') + text + QString(n, u')');
        }
        Exercise(parser, text, outcomes);
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(outcomes.succeeded, 1000);
    EXPECT_GT(outcomes.mathFaults, 0);
    EXPECT_GT(outcomes.limits, 0);
    EXPECT_TRUE(outcomes.codes.count(4009));
    EXPECT_TRUE(outcomes.codes.count(4010));
}
