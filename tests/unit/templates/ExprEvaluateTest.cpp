// Evaluation: operators on values, results as text, floating-point faults, the default
// templates, re-evaluation and the limits that keep hostile expressions harmless.
#include "templates/ExprParser.h"

#include <gtest/gtest.h>

#include "ExprTestHelpers.h"
#include "templates/ExprErrors.h"

using namespace Qt::StringLiterals;

TEST(ExprOperators, IntegerArithmeticIs64BitAndWraps)
{
    EXPECT_EQ(Eval(u"2147483647 + 1"_s), u"2147483648"_s);
    EXPECT_EQ(Eval(u"-2147483648 - 1"_s), u"-2147483649"_s);
    EXPECT_EQ(Eval(u"65536 * 65536 * 65536"_s), u"281474976710656"_s);
    EXPECT_EQ(Eval(u"POWER(2, 62) + POWER(2, 62)"_s), u"-9223372036854775808"_s);
    EXPECT_EQ(Eval(u"POWER(2, 62) * 4"_s), u"0"_s);
    EXPECT_EQ(Eval(u"7 / 2"_s), u"3.5"_s);
    EXPECT_EQ(Eval(u"8 / 2"_s), u"4"_s);
    EXPECT_EQ(Eval(u"7 * 2.0"_s), u"14"_s);
}

TEST(ExprOperators, ComparisonsByType)
{
    EXPECT_EQ(Eval(u"'a' > 'B'"_s), u"True"_s); // ordinal, case-sensitive
    EXPECT_EQ(Eval(u"'abc' < 'abd'"_s), u"True"_s);
    EXPECT_EQ(Eval(u"'ab' < 'abc'"_s), u"True"_s);
    EXPECT_EQ(Eval(u"'a' = 'A'"_s), u"False"_s);
    EXPECT_EQ(Eval(u"'a' <> 'A'"_s), u"True"_s);
    EXPECT_EQ(Eval(u"'b' >= 'b'"_s), u"True"_s);
    EXPECT_EQ(Eval(u"'b' <= 'a'"_s), u"False"_s);
    // UTF-16 units, not code points: a surrogate (U+D83D) sorts below U+FF61.
    EXPECT_EQ(Eval(u"CHAR(65377) > CHAR(55357)"_s), u"True"_s);
    EXPECT_EQ(Eval(u"1 = 1.0"_s), u"True"_s);
    EXPECT_EQ(Eval(u"2 > 1.5"_s), u"True"_s);
    EXPECT_EQ(Eval(u"POWER(2, 53) + 1 > POWER(2, 53)"_s), u"True"_s); // exact as 64-bit integers
    EXPECT_EQ(Eval(u"0.1 + 0.2 = 0.3"_s), u"False"_s);
    EXPECT_EQ(Eval(u"False < True"_s.replace(u"<"_s, u"<>"_s)), u"True"_s);
    EXPECT_EQ(Eval(u"True = (1 < 2)"_s), u"True"_s);
    EXPECT_EQ(Eval(u"3 <= 3"_s), u"True"_s);
    EXPECT_EQ(Eval(u"3 >= 4"_s), u"False"_s);
}

TEST(ExprResultText, FloatsUseTheGeneralFormWith15Digits)
{
    EXPECT_EQ(Eval(u"3.0"_s), u"3"_s);
    EXPECT_EQ(Eval(u"100.0"_s), u"100"_s);
    EXPECT_EQ(Eval(u"1e20"_s), u"1E20"_s);
    EXPECT_EQ(Eval(u"1.5e-7"_s), u"1.5E-7"_s);
    EXPECT_EQ(Eval(u"-1.5e-7"_s), u"-1.5E-7"_s);
    EXPECT_EQ(Eval(u"0.1 + 0.2"_s), u"0.3"_s);
    EXPECT_EQ(Eval(u"1/3"_s), u"0.333333333333333"_s);
    EXPECT_EQ(Eval(u"2/3"_s), u"0.666666666666667"_s);
    EXPECT_EQ(Eval(u"-2.5"_s), u"-2.5"_s);
    EXPECT_EQ(Eval(u"0.00001"_s), u"0.00001"_s);
    EXPECT_EQ(Eval(u"0.0000123"_s), u"0.0000123"_s);
    EXPECT_EQ(Eval(u"0.000001"_s), u"1E-6"_s);
    EXPECT_EQ(Eval(u"123456789012345.0"_s), u"123456789012345"_s);
    EXPECT_EQ(Eval(u"1e15"_s), u"1E15"_s);
    EXPECT_EQ(Eval(u"1234567890123456.0"_s), u"1.23456789012346E15"_s);
    EXPECT_EQ(Eval(u"999999999999999.9"_s), u"1E15"_s); // rounded to 15 digits first
    EXPECT_EQ(Eval(u"12345.678"_s), u"12345.678"_s);
    EXPECT_EQ(Eval(u"1.7976931348623157e308"_s), u"1.79769313486232E308"_s);
    EXPECT_EQ(Eval(u"0 * -1.0"_s), u"0"_s); // no negative zero
    EXPECT_EQ(Eval(u"3000000000 * 2"_s), u"6000000000"_s);
}

TEST(ExprResultText, IntegersBooleansAndQuotedTexts)
{
    EXPECT_EQ(Eval(u"-7"_s), u"-7"_s);
    EXPECT_EQ(Eval(u"0"_s), u"0"_s);
    EXPECT_EQ(Eval(u"1 < 2"_s), u"True"_s);
    EXPECT_EQ(Eval(u"1 > 2"_s), u"False"_s);
    EXPECT_EQ(Eval(u"'It''s'"_s), u"It's"_s);
    EXPECT_EQ(EvalQuoted(u"'It''s'"_s), u"'It''s'"_s);
    EXPECT_EQ(EvalQuoted(u"''''''"_s), u"''''''"_s);
    EXPECT_EQ(EvalQuoted(u"''"_s), u"''"_s);
    EXPECT_EQ(EvalQuoted(u"3 * 4"_s), u"12"_s);
    EXPECT_EQ(EvalQuoted(u"7 / 2"_s), u"3.5"_s);
    EXPECT_EQ(EvalQuoted(u"1 < 2"_s), u"True"_s);
}

TEST(ExprFloatFaults, RaiseThePlatformErrorsApartFromLanguageErrors)
{
    EXPECT_EQ(MessageOf(u"1/0"_s), u"Floating point division by zero"_s);
    EXPECT_TRUE(Raises<EZeroDivide>(u"1/0"_s));
    EXPECT_TRUE(Raises<EZeroDivide>(u"-2.5 / (1 - 1)"_s));
    EXPECT_EQ(MessageOf(u"0/0"_s), u"Invalid floating point operation"_s);
    EXPECT_TRUE(Raises<EInvalidOp>(u"0.0 / 0"_s));
    EXPECT_EQ(MessageOf(u"1e308 * 10"_s), u"Floating point overflow"_s);
    EXPECT_TRUE(Raises<EOverflow>(u"1e308 + 1e308"_s));
    EXPECT_TRUE(Raises<EOverflow>(u"-1e308 - 1e308"_s));
    EXPECT_TRUE(Raises<EOverflow>(u"1e308 / 0.1"_s));
    EXPECT_EQ(CodeOf(u"1/0"_s), -1);

    // All of them, and the language errors, are caught as one kind.
    for (const QString& text :
         {u"1/0"_s, u"0/0"_s, u"1e308*10"_s, u"1e"_s, u"1 +"_s, u"chars('x', 2000000000)"_s}) {
        bool caught = false;
        try {
            Eval(text);
        } catch (const EExprError& e) {
            caught = !e.message().isEmpty();
        }
        EXPECT_TRUE(caught) << text.toStdString();
    }
}

TEST(ExprDefaultTemplates, SeparatorDateAndDatedSeparator)
{
    const QString line = Eval(u"crlf() + chars('-', 80) + crlf()"_s);
    EXPECT_EQ(line, u"\r\n"_s + QString(80, u'-') + u"\r\n"_s);

    EXPECT_EQ(Eval(u"date() + ' ' + time()"_s), u"2009-04-03 15:14:35"_s);

    const QString dated =
        Eval(u"crlf() + chars('-', 29) + ' ' + date() + ' ' + time() + ' ' + chars('-', 30) + crlf()"_s);
    ASSERT_TRUE(dated.startsWith(u"\r\n"_s));
    ASSERT_TRUE(dated.endsWith(u"\r\n"_s));
    const QString middle = dated.mid(2, dated.size() - 4);
    EXPECT_EQ(middle.size(), 80);
    EXPECT_EQ(middle, QString(29, u'-') + u" 2009-04-03 15:14:35 "_s + QString(30, u'-'));
}

TEST(ExprReevaluation, TheTreeCanBeEvaluatedAgain)
{
    TExprParser parser(FixedNow);
    parser.Parse(u"upper('ab') + lower(chars('C', 2)) + substr('xyz', 2, 1)"_s);
    parser.Evaluate();
    const QString first = parser.ResultText();
    EXPECT_EQ(first, u"ABccy"_s);
    parser.Evaluate();
    EXPECT_EQ(parser.ResultText(), first);

    // A failed evaluation leaves the tree usable.
    parser.Parse(u"len(chars('x', 3)) / (len('') * 1)"_s);
    EXPECT_THROW(parser.Evaluate(), EZeroDivide);
    EXPECT_THROW(parser.Evaluate(), EZeroDivide);
    parser.ParseAndEvaluate(u"len(chars('x', 3)) / 2"_s);
    EXPECT_EQ(parser.ResultText(), u"1.5"_s);
}

TEST(ExprLimits, HugeTextsFailInsteadOfTakingTheMemory)
{
    EXPECT_TRUE(Raises<EExprLimitError>(u"CHARS('x', 2000000000)"_s));
    EXPECT_EQ(MessageOf(u"CHARS('x', 2000000000)"_s), u"表达式错误: 结果文本过长。"_s);
    EXPECT_TRUE(Raises<EExprLimitError>(u"CHARS(CHARS('ab', 100000), 100000)"_s));
    // Concatenation is capped as well.
    const QString half = u"chars('x', %1)"_s.arg(ExprLimits::MaxTextLength / 2 + 1);
    EXPECT_TRUE(Raises<EExprLimitError>(half + u" + "_s + half));
    // Right at the limit it still works.
    EXPECT_EQ(Eval(u"LEN(CHARS('x', %1))"_s.arg(ExprLimits::MaxTextLength)),
              QString::number(ExprLimits::MaxTextLength));
    EXPECT_TRUE(Raises<EExprLimitError>(u"CHARS('x', %1)"_s.arg(ExprLimits::MaxTextLength + 1)));

    // Texts held while their neighbours are computed count together: five of the largest
    // texts waiting in nested calls are more than may be held at once.
    const QString big = u"CHARS('x', %1)"_s.arg(ExprLimits::MaxTextLength);
    QString nested = u"LEN("_s + big + u")"_s;
    for (int i = 0; i < 4; ++i)
        nested = u"LEN(SUBSTR("_s + big + u", 1, "_s + nested + u"))"_s;
    EXPECT_TRUE(Raises<EExprLimitError>(nested));
    // One waiting text beside another is fine.
    EXPECT_EQ(Eval(u"LEN(SUBSTR("_s + big + u", 1, LEN("_s + big + u")))"_s),
              QString::number(ExprLimits::MaxTextLength));
}

TEST(ExprLimits, DeepNestingFailsInsteadOfExhaustingTheStack)
{
    const auto parens = [](int n) -> QString { return QString(n, u'(') + u'1' + QString(n, u')'); };
    EXPECT_EQ(Eval(parens(ExprLimits::MaxNesting - 1)), u"1"_s);
    EXPECT_TRUE(Raises<EExprLimitError>(parens(ExprLimits::MaxNesting)));
    EXPECT_EQ(MessageOf(parens(100000)), u"表达式错误: 表达式嵌套过深。"_s);

    const auto calls = [](int n) -> QString {
        QString text;
        for (int i = 0; i < n; ++i)
            text += u"upper("_s;
        return text + u"'a'"_s + QString(n, u')');
    };
    EXPECT_EQ(Eval(calls(ExprLimits::MaxNesting / 2 - 1)), u"A"_s);
    EXPECT_TRUE(Raises<EExprLimitError>(calls(50000)));

    // A long flat chain is not deep: only nesting counts.
    const auto chain = [](int terms, const QString& link) -> QString {
        QString text = u"1"_s;
        for (int i = 1; i < terms; ++i)
            text += link;
        return text;
    };
    EXPECT_EQ(Eval(chain(1001, u"+1"_s)), u"1001"_s);
    EXPECT_EQ(Eval(chain(20000, u" + 2*1"_s)), u"39999"_s);
    EXPECT_EQ(Eval(chain(5000, u"-1"_s) + u" = -4998"_s), u"True"_s);
    EXPECT_EQ(Eval(u"'a'"_s + chain(3000, u"+'b'"_s).mid(1)), u"a"_s + QString(2999, u'b'));

    // The parser is usable after such a failure.
    TExprParser parser;
    EXPECT_THROW(parser.Parse(parens(100000)), EExprLimitError);
    parser.ParseAndEvaluate(u"(((2)))"_s);
    EXPECT_EQ(parser.ResultText(), u"2"_s);
}
