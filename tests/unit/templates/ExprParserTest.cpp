// Grammar: precedence, associativity, calls, constants, the static type rules and every error
// code with its exact message.
#include "templates/ExprParser.h"

#include <gtest/gtest.h>

#include "ExprTestHelpers.h"
#include "templates/ExprErrors.h"
#include "templates/ExprFunctions.h"

using namespace Qt::StringLiterals;

TEST(ExprPrecedence, ProductsBindTighterThanSumsAndBothAssociateLeft)
{
    EXPECT_EQ(Eval(u"1 + 2 * 3"_s), u"7"_s);
    EXPECT_EQ(Eval(u"(1 + 2) * 3"_s), u"9"_s);
    EXPECT_EQ(Eval(u"10 - 4 - 3"_s), u"3"_s);
    EXPECT_EQ(Eval(u"10 - (4 - 3)"_s), u"9"_s);
    EXPECT_EQ(Eval(u"8 / 4 / 2"_s), u"1"_s);
    EXPECT_EQ(Eval(u"2 * 3 - 4 / 2"_s), u"4"_s);
    EXPECT_EQ(Eval(u"2-1"_s), u"1"_s);
    EXPECT_EQ(Eval(u"2 -1"_s), u"1"_s);
    EXPECT_EQ(Eval(u"(-1)"_s), u"-1"_s);
    EXPECT_EQ(Eval(u"2*-3"_s), u"-6"_s);
    EXPECT_EQ(Eval(u"1 - -2"_s), u"3"_s);
    EXPECT_EQ(Eval(u"-5 + 2"_s), u"-3"_s);

    TExprParser parser;
    parser.Parse(u"1 + 2 * 3 - 4"_s);
    const TExprNode* root = parser.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Operator, TExprOperator::Subtract);
    EXPECT_EQ(root->Left->Operator, TExprOperator::Add);
    EXPECT_EQ(root->Left->Right->Operator, TExprOperator::Multiply);
    EXPECT_EQ(root->Right->Integer, 4);
}

TEST(ExprPrecedence, ComparisonsChainAndLogicalLevelsNest)
{
    EXPECT_EQ(Eval(u"1 < 2"_s), u"True"_s);
    EXPECT_EQ(Eval(u"1 < 2 = True"_s), u"True"_s);
    EXPECT_EQ(Eval(u"2 < 1 = True"_s), u"False"_s);
    EXPECT_EQ(Eval(u"1 + 1 = 2"_s), u"True"_s); // sums bind tighter than comparisons
    // AND binds tighter than OR.
    EXPECT_EQ(Eval(u"True OR False AND False"_s), u"True"_s);
    EXPECT_EQ(Eval(u"False AND True OR True"_s), u"True"_s);
    EXPECT_EQ(Eval(u"(True OR False) AND False"_s), u"False"_s);
    // NOT applies to a whole comparison and binds tighter than AND.
    EXPECT_EQ(Eval(u"NOT 1 > 2"_s), u"True"_s);
    EXPECT_EQ(Eval(u"NOT True AND False"_s), u"False"_s);
    EXPECT_EQ(Eval(u"NOT False AND True"_s), u"True"_s);
    EXPECT_EQ(Eval(u"not (1 = 2) or false"_s), u"True"_s);
    EXPECT_EQ(Eval(u"true"_s), u"True"_s);
    EXPECT_EQ(Eval(u"TRUE = tRuE"_s), u"True"_s);
}

TEST(ExprPrecedence, LogicalOperatorsShortCircuit)
{
    EXPECT_EQ(Eval(u"False AND 1/0 = 1"_s), u"False"_s);
    EXPECT_EQ(Eval(u"True OR 1/0 = 1"_s), u"True"_s);
    EXPECT_TRUE(Raises<EZeroDivide>(u"True AND 1/0 = 1"_s));
    EXPECT_TRUE(Raises<EZeroDivide>(u"False OR 1/0 = 1"_s));
}

TEST(ExprCalls, NamesIgnoreCaseAndNeedParentheses)
{
    EXPECT_EQ(Eval(u"CHARS('-', 3)"_s), Eval(u"chars('-', 3)"_s));
    EXPECT_EQ(Eval(u"ChArS('-', 3)"_s), u"---"_s);
    EXPECT_EQ(Eval(u"crlf ( )"_s), u"\r\n"_s);
    EXPECT_EQ(CodeOf(u"crlf"_s), 4008);
    EXPECT_EQ(CodeOf(u"foo(1)"_s), 4008);

    TExprParser parser;
    parser.Parse(u"ChArS('-', 3)"_s);
    EXPECT_EQ(parser.Root()->Kind, TExprNodeKind::Function);
    EXPECT_EQ(parser.Root()->Function, int(TExprFunctions::Chars));
    EXPECT_EQ(parser.Root()->FunctionName, u"ChArS"_s);
    EXPECT_EQ(parser.Root()->Arguments.size(), 2);
}

TEST(ExprCalls, ATrailingCommaClosesTheCallAtTheEndOfTheText)
{
    EXPECT_EQ(Eval(u"chars('-', 8,"_s), u"--------"_s);
    EXPECT_EQ(Eval(u"chars('-', 80,"_s), QString(80, u'-'));
    EXPECT_EQ(Eval(u"chars('-', 2,)"_s), u"--"_s);
    EXPECT_EQ(CodeOf(u"chars('-', 2"_s), 4007);
    // Only the innermost call is closed; the enclosing one is still open.
    EXPECT_EQ(CodeOf(u"upper(chars('a', 2,"_s), 4007);
    EXPECT_EQ(CodeOf(u"chars(,"_s), 4008);
    EXPECT_EQ(CodeOf(u"upper("_s), 4008);
}

TEST(ExprConstants, NumbersBecomeIntegersWithin32BitsAndFloatsBeyond)
{
    EXPECT_EQ(TypeOf(u"2147483647"_s), TExprType::Integer);
    EXPECT_EQ(TypeOf(u"-2147483648"_s), TExprType::Integer);
    EXPECT_EQ(TypeOf(u"3000000000"_s), TExprType::Float);
    EXPECT_EQ(TypeOf(u"2147483648"_s), TExprType::Float);
    EXPECT_EQ(TypeOf(u"-2147483649"_s), TExprType::Float);
    EXPECT_EQ(TypeOf(u"0007"_s), TExprType::Integer);
    EXPECT_EQ(TypeOf(u"1e3"_s), TExprType::Float);
    EXPECT_EQ(TypeOf(u"2.0"_s), TExprType::Float);
    EXPECT_EQ(Eval(u"3000000000"_s), u"3000000000"_s);
    EXPECT_EQ(Eval(u"0007"_s), u"7"_s);
    EXPECT_EQ(Eval(u"1e3"_s), u"1000"_s);
    EXPECT_EQ(Eval(u"1.e1"_s), u"10"_s);
    EXPECT_EQ(Eval(u"-.5"_s), u"-0.5"_s);
    EXPECT_EQ(Eval(u"1e-400"_s), u"0"_s); // too small to tell from zero
}

TEST(ExprConstants, MalformedNumbersRaiseTheConversionError)
{
    EXPECT_EQ(MessageOf(u"-(3)"_s), u"'-' is not a valid floating point value"_s);
    EXPECT_EQ(MessageOf(u"1e"_s), u"'1e' is not a valid floating point value"_s);
    EXPECT_EQ(MessageOf(u"1.2.3"_s), u"'1.2.3' is not a valid floating point value"_s);
    EXPECT_EQ(MessageOf(u"1e400"_s), u"'1e400' is not a valid floating point value"_s);
    EXPECT_TRUE(Raises<EConvertError>(u"2 * 1E+"_s));
    EXPECT_EQ(CodeOf(u"-(3)"_s), -1); // not a language error
}

TEST(ExprConstants, StringsAreTexts)
{
    EXPECT_EQ(Eval(u"'it''s'"_s), u"it's"_s);
    EXPECT_EQ(Eval(u"'a' + 'b'"_s), u"ab"_s);
    EXPECT_EQ(Eval(u"'" + QString(300, u'z') + u"'"_s), QString(256, u'z'));
    EXPECT_EQ(TypeOf(u"date() + ' ' + time()"_s), TExprType::Text);
}

TEST(ExprTypes, OperatorsDemandMatchingOperands)
{
    EXPECT_EQ(TypeOf(u"7 / 2"_s), TExprType::Float);
    EXPECT_EQ(TypeOf(u"8 / 2"_s), TExprType::Float);
    EXPECT_EQ(TypeOf(u"7 * 2"_s), TExprType::Integer);
    EXPECT_EQ(TypeOf(u"7 * 2.0"_s), TExprType::Float);
    EXPECT_EQ(TypeOf(u"7 - 2.5"_s), TExprType::Float);
    EXPECT_EQ(TypeOf(u"'a' + 'b'"_s), TExprType::Text);
    EXPECT_EQ(TypeOf(u"1 < 2.5"_s), TExprType::Boolean);
    EXPECT_EQ(TypeOf(u"'a' < 'b'"_s), TExprType::Boolean);
    EXPECT_EQ(TypeOf(u"True <> False"_s), TExprType::Boolean);
    EXPECT_EQ(TypeOf(u"NOT True"_s), TExprType::Boolean);

    for (const QString& text :
         {u"1 + 'a'"_s, u"'a' - 'b'"_s, u"'a' * 'b'"_s, u"'a' / 'b'"_s, u"1 < 2 < 3"_s, u"True < False"_s,
          u"True >= False"_s, u"True + 1"_s, u"1 = 'a'"_s, u"1 = True"_s, u"1 AND True"_s, u"True OR 'x'"_s,
          u"NOT 1"_s, u"upper(1)"_s, u"chars('-', 2.0)"_s, u"chars('-', '2')"_s, u"abs('a')"_s,
          u"len(crlf()) + crlf()"_s}) {
        EXPECT_EQ(CodeOf(text), 4009) << text.toStdString();
    }
}

TEST(ExprTypes, ArgumentCountIsCheckedBeforeTypes)
{
    EXPECT_EQ(CodeOf(u"abs(1, 2)"_s), 4010);
    EXPECT_EQ(CodeOf(u"upper('a', 1)"_s), 4010);
    EXPECT_EQ(CodeOf(u"upper(1, 'a')"_s), 4010); // wrong types too, but the count comes first
    EXPECT_EQ(CodeOf(u"substr('abc', 1)"_s), 4010);
    EXPECT_EQ(CodeOf(u"crlf(1)"_s), 4010);
    EXPECT_EQ(CodeOf(u"pi(,)"_s), 4008);
    EXPECT_EQ(CodeOf(u"power(2)"_s), 4010);
}

TEST(ExprErrors, EveryCodeCarriesItsExactMessage)
{
    EXPECT_EQ(MessageOf(u"1 # 2"_s), u"表达式错误: 表达式中出现不正确的字符 '#'。"_s);
    EXPECT_EQ(MessageOf(u"你好"_s), u"表达式错误: 表达式中出现不正确的字符 '你'。"_s);
    EXPECT_EQ(MessageOf(u"1\u30002"_s), u"表达式错误: 表达式中出现不正确的字符 '\u3000'。"_s);
    EXPECT_EQ(MessageOf(u"'abc"_s), u"表达式错误: 字符串缺少终结符。"_s);
    EXPECT_EQ(MessageOf(u"1 2"_s), u"表达式错误: 表达式的末尾语法错误。"_s);
    EXPECT_EQ(MessageOf(u"(1"_s), u"表达式错误: 此处 \"'(1'\" 应为 ')'。"_s);
    EXPECT_EQ(MessageOf(u"(1 2)"_s), u"表达式错误: 此处 \"'2'\" 应为 ')'。"_s);
    EXPECT_EQ(MessageOf(u"chars('-' 3)"_s), u"表达式错误: 此处 \"'3'\" 应为 ')' 或 ','。"_s);
    EXPECT_EQ(MessageOf(u"1 +"_s), u"表达式错误: 此处 '1 +' 有语法错误。"_s);
    EXPECT_EQ(MessageOf(u"crlf"_s), u"表达式错误: 此处 'crlf' 有语法错误。"_s);
    EXPECT_EQ(MessageOf(u"NOT NOT True"_s), u"表达式错误: 此处 'NOT' 有语法错误。"_s);
    EXPECT_EQ(MessageOf(u"1 + )"_s), u"表达式错误: 此处 ')' 有语法错误。"_s);
    EXPECT_EQ(MessageOf(u"1 + 'a'"_s), u"表达式错误: 类型不匹配。"_s);
    EXPECT_EQ(MessageOf(u"abs(1, 2)"_s), u"表达式错误: 函数参数个数错误。"_s);

    EXPECT_EQ(CodeOf(u"1 # 2"_s), 4001);
    EXPECT_EQ(CodeOf(u"'abc"_s), 4003);
    EXPECT_EQ(CodeOf(u"1 2"_s), 4004);
    EXPECT_EQ(CodeOf(u"True False"_s), 4004);
    EXPECT_EQ(CodeOf(u"(1"_s), 4006);
    EXPECT_EQ(CodeOf(u"chars('-' 3)"_s), 4007);
    EXPECT_EQ(CodeOf(u"*"_s), 4008);
    EXPECT_EQ(CodeOf(QString()), 4008);
    EXPECT_EQ(CodeOf(u"   "_s), 4008);
    EXPECT_EQ(CodeOf(u"1 + 'a'"_s), 4009);
    EXPECT_EQ(CodeOf(u"abs(1, 2)"_s), 4010);

    // The empty text fails quoting itself.
    EXPECT_EQ(MessageOf(QString()), u"表达式错误: 此处 '' 有语法错误。"_s);
}

TEST(ExprErrors, QuotedTokensKeepTheirOwnQuotes)
{
    EXPECT_EQ(MessageOf(u"(1 'it''s')"_s), u"表达式错误: 此处 \"''it''s''\" 应为 ')'。"_s);
    EXPECT_EQ(MessageOf(u"upper('a' 'b')"_s), u"表达式错误: 此处 \"''b''\" 应为 ')' 或 ','。"_s);
    // At the end of the text the whole text is quoted, blanks included.
    EXPECT_EQ(MessageOf(u" (1 "_s), u"表达式错误: 此处 \"' (1 '\" 应为 ')'。"_s);
}

TEST(ExprErrors, TheMessageTableHasTheEightCodes)
{
    for (int code = 4000; code <= 4011; ++code) {
        const bool used = code == 4001 || code == 4003 || code == 4004 || (code >= 4006 && code <= 4010);
        EXPECT_EQ(!EExprException::MessageTemplate(code).isEmpty(), used) << code;
    }
    const EExprException e(4008, u"'x'"_s);
    EXPECT_EQ(e.ErrorCode(), 4008);
    EXPECT_STREQ(e.what(), "表达式错误: 此处 'x' 有语法错误。");
}

TEST(ExprNodes, AFailedParseLeavesNoTreeAndTheNextParseFreesItsNodes)
{
    TExprParser parser(FixedNow);
    parser.Parse(u"1 + 2"_s);
    EXPECT_EQ(parser.Nodes().Count(), 3);
    EXPECT_THROW(parser.Parse(u"1 + 2 +"_s), EExprException);
    EXPECT_EQ(parser.Root(), nullptr);
    EXPECT_GT(parser.Nodes().Count(), 0); // kept until the next parse
    parser.Evaluate();                    // nothing to evaluate
    EXPECT_EQ(parser.ResultText(), QString());
    parser.ParseAndEvaluate(u"upper('a')"_s);
    EXPECT_EQ(parser.Nodes().Count(), 2);
    EXPECT_EQ(parser.ResultText(), u"A"_s);
    // 4004 is raised after the whole expression was read; no tree either.
    EXPECT_THROW(parser.Parse(u"1 2"_s), EExprException);
    EXPECT_EQ(parser.Root(), nullptr);
}
