// The built-in functions: the table, clamping of positions and counts, ASCII-only case, the
// numeric functions and their types, the clock.
#include "templates/ExprFunctions.h"

#include <gtest/gtest.h>

#include "ExprTestHelpers.h"
#include "templates/ExprNodes.h"

using namespace Qt::StringLiterals;

TEST(ExprFunctionTable, NamesNumbersAndTypes)
{
    const QStringList names = {u"UPPER"_s, u"LOWER"_s, u"SUBSTR"_s, u"TRIM"_s,  u"TRIMLEFT"_s, u"TRIMRIGHT"_s,
                               u"ASCII"_s, u"CHAR"_s,  u"LEFT"_s,   u"RIGHT"_s, u"LEN"_s,      u"CHARS"_s,
                               u"CRLF"_s,  u"DATE"_s,  u"TIME"_s,   u"NOW"_s,   u"ABS"_s,      u"PI"_s,
                               u"ROUND"_s, u"POWER"_s, u"SQRT"_s,   u"FLOOR"_s};
    ASSERT_EQ(names.size(), TExprFunctions::Count);
    for (int i = 0; i < names.size(); ++i) {
        EXPECT_EQ(TExprFunctions::FunctionName(i + 1), names[i]);
        EXPECT_EQ(TExprFunctions::FunctionIndex(names[i]), i + 1);
        EXPECT_EQ(TExprFunctions::FunctionIndex(names[i].toLower()), i + 1);
    }
    EXPECT_EQ(TExprFunctions::FunctionIndex(u"TrimLeft"), 5);
    EXPECT_EQ(TExprFunctions::FunctionIndex(u""), 0);
    EXPECT_EQ(TExprFunctions::FunctionIndex(u"UPPERX"), 0);
    EXPECT_EQ(TExprFunctions::FunctionIndex(u"TRIMLEF"), 0);
    // Only ASCII letters fold: the long s is no "s".
    EXPECT_EQ(TExprFunctions::FunctionIndex(u"\u017Fqrt"), 0);
    EXPECT_EQ(TExprFunctions::FunctionName(0), QString());
    EXPECT_EQ(TExprFunctions::FunctionName(23), QString());

    EXPECT_EQ(TExprFunctions::ResultType(TExprFunctions::Ascii), TExprType::Integer);
    EXPECT_EQ(TExprFunctions::ResultType(TExprFunctions::Len), TExprType::Integer);
    EXPECT_EQ(TExprFunctions::ResultType(TExprFunctions::Now), TExprType::Text);
    EXPECT_EQ(TExprFunctions::ResultType(TExprFunctions::Pi), TExprType::Float);
    EXPECT_EQ(TExprFunctions::ResultType(TExprFunctions::Round), TExprType::Integer);
    EXPECT_EQ(TExprFunctions::ResultType(TExprFunctions::Sqrt), TExprType::Float);
    EXPECT_EQ(TExprFunctions::ResultType(TExprFunctions::Floor), TExprType::Integer);
    EXPECT_EQ(TExprFunctions::ResultType(0), TExprType::None);
}

TEST(ExprFunctionTable, CallFunctionChecksAHandBuiltCall)
{
    TExprNodes nodes;
    TExprNode* call = nodes.NewFunctionNode(u"left"_s);
    EXPECT_EQ(call->Function, int(TExprFunctions::Left));
    EXPECT_EQ(call->ValueType, TExprType::Text);
    TExprNode* text = nodes.NewNode(TExprNodeKind::Constant, TExprType::Text);
    text->Text = u"abcdef"_s;
    TExprNode* count = nodes.NewNode(TExprNodeKind::Constant, TExprType::Integer);
    count->Integer = 4;
    EXPECT_THROW(TExprFunctions::CallFunction(call, call->Function, {text}), EExprException);
    TExprFunctions::CallFunction(call, call->Function, {text, count});
    EXPECT_EQ(call->Text, u"abcd"_s);
    EXPECT_EQ(nodes.NewFunctionNode(u"nosuch"_s)->Function, 0);
}

TEST(ExprTextFunctions, SubstrClampsStartAndCount)
{
    EXPECT_EQ(Eval(u"SUBSTR('abcdef', 3, 2)"_s), u"cd"_s);
    EXPECT_EQ(Eval(u"SUBSTR('abc', 0, 2)"_s), u"ab"_s);
    EXPECT_EQ(Eval(u"SUBSTR('abcdef', -5, 2)"_s), u"ab"_s);
    EXPECT_EQ(Eval(u"SUBSTR('abc', 5, 2)"_s), QString());
    EXPECT_EQ(Eval(u"SUBSTR('abc', 4, 1)"_s), QString());
    EXPECT_EQ(Eval(u"SUBSTR('abc', 3, 1)"_s), u"c"_s);
    EXPECT_EQ(Eval(u"SUBSTR('abc', 1, -1)"_s), QString());
    EXPECT_EQ(Eval(u"SUBSTR('abc', 1, 0)"_s), QString());
    EXPECT_EQ(Eval(u"SUBSTR('abc', 2, 99)"_s), u"bc"_s);
    EXPECT_EQ(Eval(u"SUBSTR('', 1, 1)"_s), QString());
    // Integer arguments count through their low 32 bits: 4294967298 is 2.
    EXPECT_EQ(Eval(u"SUBSTR('abc', 2147483647 * 2 + 4, 1)"_s), u"b"_s);
}

TEST(ExprTextFunctions, LeftRightAndCharsClampTheirCounts)
{
    EXPECT_EQ(Eval(u"LEFT('abc', 5)"_s), u"abc"_s);
    EXPECT_EQ(Eval(u"LEFT('abc', 2)"_s), u"ab"_s);
    EXPECT_EQ(Eval(u"LEFT('abc', 0)"_s), QString());
    EXPECT_EQ(Eval(u"LEFT('abc', -2)"_s), QString());
    EXPECT_EQ(Eval(u"RIGHT('abc', 2)"_s), u"bc"_s);
    EXPECT_EQ(Eval(u"RIGHT('abc', 9)"_s), u"abc"_s);
    EXPECT_EQ(Eval(u"RIGHT('abc', -1)"_s), QString());
    EXPECT_EQ(Eval(u"CHARS('ab', 3)"_s), u"ababab"_s);
    EXPECT_EQ(Eval(u"CHARS('x', 0)"_s), QString());
    EXPECT_EQ(Eval(u"CHARS('x', -3)"_s), QString());
    EXPECT_EQ(Eval(u"CHARS('', 1000)"_s), QString());
    EXPECT_EQ(Eval(u"LEN(CHARS('-', 80))"_s), u"80"_s);
    // 4294967296 has the low 32 bits 0; 4294967297 has 1.
    EXPECT_EQ(Eval(u"CHARS('x', 65536 * 65536)"_s), QString());
    EXPECT_EQ(Eval(u"CHARS('x', 65536 * 65536 + 1)"_s), u"x"_s);
}

TEST(ExprTextFunctions, TrimRemovesBlanksAndControlCharactersOnly)
{
    EXPECT_EQ(Eval(u"TRIM(' \t a b ' + crlf())"_s), u"a b"_s);
    EXPECT_EQ(Eval(u"TRIMLEFT('  a b  ')"_s), u"a b  "_s);
    EXPECT_EQ(Eval(u"TRIMRIGHT('  a b  ')"_s), u"  a b"_s);
    EXPECT_EQ(Eval(u"TRIM('   ')"_s), QString());
    EXPECT_EQ(Eval(u"TRIM(CHAR(160) + 'a' + CHAR(12288))"_s), u"\u00A0a\u3000"_s);
    EXPECT_EQ(Eval(u"TRIM(CHAR(1) + 'a' + CHAR(31))"_s), u"a"_s);
}

TEST(ExprTextFunctions, CaseChangesOnlyAsciiLetters)
{
    EXPECT_EQ(Eval(u"UPPER('äb')"_s), u"äB"_s);
    EXPECT_EQ(Eval(u"UPPER('straße z{')"_s), u"STRAßE Z{"_s);
    EXPECT_EQ(Eval(u"LOWER('ÄBC@[')"_s), u"Äbc@["_s);
    EXPECT_EQ(Eval(u"LEN(UPPER('ß'))"_s), u"1"_s);
}

TEST(ExprTextFunctions, CodesAndCharacters)
{
    EXPECT_EQ(Eval(u"ASCII('')"_s), u"0"_s);
    EXPECT_EQ(Eval(u"ASCII('A')"_s), u"65"_s);
    EXPECT_EQ(Eval(u"ASCII('你好')"_s), u"20320"_s);
    EXPECT_EQ(Eval(u"CHAR(20320)"_s), u"\u4F60"_s);
    EXPECT_EQ(Eval(u"CHAR(65)"_s), u"A"_s);
    EXPECT_EQ(Eval(u"CHAR(65536 + 66)"_s), u"B"_s); // low 16 bits
    EXPECT_EQ(Eval(u"CHAR(-1)"_s), u"\uFFFF"_s);
    EXPECT_EQ(Eval(u"LEN(CRLF())"_s), u"2"_s);
    EXPECT_EQ(Eval(u"CRLF()"_s), u"\r\n"_s);
    EXPECT_EQ(Eval(u"LEN('你好')"_s), u"2"_s);
    EXPECT_EQ(Eval(u"ASCII(CHAR(55357))"_s), u"55357"_s); // a lone surrogate is one unit
}

TEST(ExprTextFunctions, ATextEndsAtItsFirstNul)
{
    EXPECT_EQ(Eval(u"LEN(CHAR(0))"_s), u"0"_s);
    EXPECT_EQ(Eval(u"LEN('a' + CHAR(0) + 'b')"_s), u"2"_s);
    EXPECT_EQ(Eval(u"ASCII(CHAR(65536))"_s), u"0"_s);
    EXPECT_EQ(Eval(u"'ab"_s + QChar(0) + u"cd'"_s), u"ab"_s);
}

TEST(ExprClock, DateTimeAndNowReadTheInjectedClockAnewEachTime)
{
    EXPECT_EQ(Eval(u"DATE()"_s), u"2009-04-03"_s);
    EXPECT_EQ(Eval(u"TIME()"_s), u"15:14:35"_s);
    EXPECT_EQ(Eval(u"NOW()"_s), u"2009-04-03 15:14:35"_s);

    QDateTime now(QDate(987, 1, 2), QTime(0, 5, 9));
    TExprParser parser([&now] { return now; });
    parser.Parse(u"now() + '|' + date() + '|' + time()"_s);
    parser.Evaluate();
    EXPECT_EQ(parser.ResultText(), u"0987-01-02 00:05:09|0987-01-02|00:05:09"_s);
    now = QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59));
    parser.Evaluate();
    EXPECT_EQ(parser.ResultText(), u"2024-12-31 23:59:59|2024-12-31|23:59:59"_s);

    // One evaluation reads the clock once: a stamp taken as midnight passes stays one moment.
    QDateTime ticking(QDate(2009, 4, 3), QTime(23, 59, 59));
    int reads = 0;
    TExprParser stamp([&] {
        ++reads;
        const QDateTime read = ticking;
        ticking = ticking.addSecs(1);
        return read;
    });
    stamp.Parse(u"date() + ' ' + time() + '|' + now()"_s);
    stamp.Evaluate();
    EXPECT_EQ(stamp.ResultText(), u"2009-04-03 23:59:59|2009-04-03 23:59:59"_s);
    EXPECT_EQ(reads, 1);
    stamp.Evaluate();
    EXPECT_EQ(stamp.ResultText(), u"2009-04-04 00:00:00|2009-04-04 00:00:00"_s);
    EXPECT_EQ(reads, 2);

    // Without a clock of its own the parser reads the system's.
    TExprParser system;
    system.ParseAndEvaluate(u"date()"_s);
    const QString before = QDate::currentDate().toString(u"yyyy-MM-dd"_s);
    EXPECT_TRUE(system.ResultText() == before ||
                system.ResultText() == QDate::currentDate().addDays(-1).toString(u"yyyy-MM-dd"_s));
}

TEST(ExprNumericFunctions, RoundGoesToTheEvenNeighbourOnHalves)
{
    EXPECT_EQ(Eval(u"ROUND(2.5)"_s), u"2"_s);
    EXPECT_EQ(Eval(u"ROUND(3.5)"_s), u"4"_s);
    EXPECT_EQ(Eval(u"ROUND(-2.5)"_s), u"-2"_s);
    EXPECT_EQ(Eval(u"ROUND(-0.5)"_s), u"0"_s);
    EXPECT_EQ(Eval(u"ROUND(-1.5)"_s), u"-2"_s);
    EXPECT_EQ(Eval(u"ROUND(2.5000001)"_s), u"3"_s);
    EXPECT_EQ(Eval(u"ROUND(0.49999999999999994)"_s), u"0"_s);
    EXPECT_EQ(Eval(u"ROUND(7)"_s), u"7"_s);
    EXPECT_EQ(Eval(u"ROUND(1e15 + 0.5)"_s), u"1000000000000000"_s);
    EXPECT_EQ(TypeOf(u"ROUND(2.5)"_s), TExprType::Integer);
    EXPECT_TRUE(Raises<EInvalidOp>(u"ROUND(1e19)"_s));
}

TEST(ExprNumericFunctions, FloorIsAnIntegerInThe32BitRange)
{
    EXPECT_EQ(Eval(u"FLOOR(-1.5)"_s), u"-2"_s);
    EXPECT_EQ(Eval(u"FLOOR(2.9)"_s), u"2"_s);
    EXPECT_EQ(Eval(u"FLOOR(-2)"_s), u"-2"_s);
    EXPECT_EQ(Eval(u"FLOOR(2147483647.5)"_s), u"2147483647"_s);
    EXPECT_EQ(TypeOf(u"FLOOR(2.9)"_s), TExprType::Integer);
    // Its value is an integer in every context: as a count and in integer arithmetic.
    EXPECT_EQ(Eval(u"CHARS('-', FLOOR(2.9))"_s), u"--"_s);
    EXPECT_EQ(Eval(u"FLOOR(7.5) * 3"_s), u"21"_s);
    EXPECT_TRUE(Raises<EInvalidOp>(u"FLOOR(3000000000)"_s));
    EXPECT_TRUE(Raises<EInvalidOp>(u"FLOOR(-2147483649)"_s));
    EXPECT_TRUE(Raises<EInvalidOp>(u"FLOOR(2147483647 + 1)"_s));
}

TEST(ExprNumericFunctions, AbsKeepsItsArgumentsType)
{
    EXPECT_EQ(Eval(u"ABS(-3)"_s), u"3"_s);
    EXPECT_EQ(TypeOf(u"ABS(-3)"_s), TExprType::Integer);
    EXPECT_EQ(Eval(u"ABS(-2.5)"_s), u"2.5"_s);
    EXPECT_EQ(TypeOf(u"ABS(-2.5)"_s), TExprType::Float);
    EXPECT_EQ(Eval(u"CHARS('x', ABS(-3))"_s), u"xxx"_s);
    EXPECT_EQ(Eval(u"ABS(-3) * 2"_s), u"6"_s);
    // Exact beyond the 53 bits of a double.
    EXPECT_EQ(Eval(u"ABS(0 - POWER(2, 53) - 1)"_s), u"9007199254740993"_s);
    // Like every integer operation it wraps: the smallest 64-bit number is its own absolute value.
    EXPECT_EQ(Eval(u"ABS(0 - POWER(2, 62) - POWER(2, 62))"_s), u"-9223372036854775808"_s);
}

TEST(ExprNumericFunctions, PowerOfTwoIntegersIsATruncatedInteger)
{
    EXPECT_EQ(Eval(u"POWER(2, -1)"_s), u"0"_s);
    EXPECT_EQ(TypeOf(u"POWER(2, -1)"_s), TExprType::Integer);
    EXPECT_EQ(Eval(u"POWER(2, 10)"_s), u"1024"_s);
    EXPECT_EQ(Eval(u"POWER(-2, 3)"_s), u"-8"_s);
    EXPECT_EQ(Eval(u"POWER(-1, -3)"_s), u"-1"_s);
    EXPECT_EQ(Eval(u"POWER(-1, -4)"_s), u"1"_s);
    EXPECT_EQ(Eval(u"POWER(1, -7)"_s), u"1"_s);
    EXPECT_EQ(Eval(u"POWER(0, 0)"_s), u"1"_s);
    EXPECT_EQ(Eval(u"POWER(2, 62)"_s), u"4611686018427387904"_s);
    EXPECT_EQ(Eval(u"POWER(-2, 63)"_s), u"-9223372036854775808"_s);
    EXPECT_EQ(Eval(u"CHARS('ab', POWER(2, 2))"_s), u"abababab"_s);
    EXPECT_TRUE(Raises<EOverflow>(u"POWER(2, 63)"_s));
    EXPECT_TRUE(Raises<EOverflow>(u"POWER(10, 2000000000)"_s));
    EXPECT_TRUE(Raises<EZeroDivide>(u"POWER(0, -1)"_s));

    EXPECT_EQ(Eval(u"POWER(2.0, -1)"_s), u"0.5"_s);
    EXPECT_EQ(TypeOf(u"POWER(2, 0.5)"_s), TExprType::Float);
    EXPECT_EQ(Eval(u"POWER(4, 0.5)"_s), u"2"_s);
    EXPECT_TRUE(Raises<EInvalidOp>(u"POWER(-8, 0.5)"_s));
    EXPECT_TRUE(Raises<EOverflow>(u"POWER(10, 400.0)"_s));
    EXPECT_TRUE(Raises<EZeroDivide>(u"POWER(0.0, -1)"_s));
}

TEST(ExprNumericFunctions, SqrtAndPi)
{
    EXPECT_EQ(Eval(u"SQRT(16)"_s), u"4"_s);
    EXPECT_EQ(TypeOf(u"SQRT(16)"_s), TExprType::Float);
    EXPECT_EQ(Eval(u"SQRT(2)"_s), u"1.4142135623731"_s);
    EXPECT_EQ(Eval(u"SQRT(0)"_s), u"0"_s);
    EXPECT_TRUE(Raises<EInvalidOp>(u"SQRT(-1)"_s));
    EXPECT_EQ(MessageOf(u"SQRT(-0.5)"_s), u"Invalid floating point operation"_s);
    EXPECT_EQ(Eval(u"PI()"_s), u"3.14159265358979"_s);
    EXPECT_EQ(Eval(u"PI() * 2"_s), u"6.28318530717959"_s);
}
