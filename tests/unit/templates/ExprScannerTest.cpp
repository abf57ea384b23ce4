// Tokens: kinds, the minus-or-number rule, numbers, strings and the quoted source of a token.
#include "templates/ExprScanner.h"

#include <gtest/gtest.h>

#include <QList>
#include <QPair>

#include "ExprTestHelpers.h"
#include "templates/ExprErrors.h"

using namespace Qt::StringLiterals;

namespace {

using T = TExprToken;
using Tokens = QList<QPair<TExprToken, QString>>;

Tokens Scan(const QString& text)
{
    TExprScanner scanner;
    scanner.SetText(text);
    Tokens tokens;
    for (;;) {
        scanner.NextToken();
        if (scanner.Kind() == T::EndOfText)
            return tokens;
        tokens.append({scanner.Kind(), scanner.Text()});
    }
}

QList<TExprToken> Kinds(const QString& text)
{
    QList<TExprToken> kinds;
    for (const auto& token : Scan(text))
        kinds.append(token.first);
    return kinds;
}

int ScanErrorCode(const QString& text)
{
    try {
        Scan(text);
    } catch (const EExprException& e) {
        return e.ErrorCode();
    }
    return 0;
}

} // namespace

TEST(ExprScanner, OperatorsAndPunctuation)
{
    EXPECT_EQ(Kinds(u"( ) , + * / = <> >= <= > <"_s),
              (QList<T>{T::LeftParen, T::RightParen, T::Comma, T::Plus, T::Star, T::Slash, T::Equal,
                        T::NotEqual, T::GreaterEqual, T::LessEqual, T::Greater, T::Less}));
    // Two-character operators only in their own order; "><" and "=<" are two tokens each.
    EXPECT_EQ(Kinds(u"><"_s), (QList<T>{T::Greater, T::Less}));
    EXPECT_EQ(Kinds(u"=<"_s), (QList<T>{T::Equal, T::Less}));
    EXPECT_EQ(Kinds(u"<<="_s), (QList<T>{T::Less, T::LessEqual}));
    EXPECT_EQ(Kinds(QString()), QList<T>{});
    EXPECT_EQ(Kinds(u" \t\r\n"_s), QList<T>{});
}

TEST(ExprScanner, MinusAfterAnOperandSubtractsElsewhereStartsANumber)
{
    EXPECT_EQ(Scan(u"2-1"_s), (Tokens{{T::Number, u"2"_s}, {T::Minus, QString()}, {T::Number, u"1"_s}}));
    EXPECT_EQ(Scan(u"2 -1"_s), (Tokens{{T::Number, u"2"_s}, {T::Minus, QString()}, {T::Number, u"1"_s}}));
    EXPECT_EQ(Scan(u"(-1)"_s),
              (Tokens{{T::LeftParen, QString()}, {T::Number, u"-1"_s}, {T::RightParen, QString()}}));
    EXPECT_EQ(Scan(u"2*-3"_s), (Tokens{{T::Number, u"2"_s}, {T::Star, QString()}, {T::Number, u"-3"_s}}));
    EXPECT_EQ(Scan(u"-5"_s), (Tokens{{T::Number, u"-5"_s}}));
    // A minus with no digit behind it is a number token that is just "-".
    EXPECT_EQ(Scan(u"-(3)"_s), (Tokens{{T::Number, u"-"_s},
                                       {T::LeftParen, QString()},
                                       {T::Number, u"3"_s},
                                       {T::RightParen, QString()}}));
    EXPECT_EQ(Kinds(u"x-1"_s), (QList<T>{T::Identifier, T::Minus, T::Number}));
    EXPECT_EQ(Kinds(u"'a'-1"_s), (QList<T>{T::String, T::Minus, T::Number}));
    EXPECT_EQ(Kinds(u"(1)-1"_s), (QList<T>{T::LeftParen, T::Number, T::RightParen, T::Minus, T::Number}));
    EXPECT_EQ(Scan(u"1--2"_s), (Tokens{{T::Number, u"1"_s}, {T::Minus, QString()}, {T::Number, u"-2"_s}}));
    EXPECT_EQ(Scan(u"=-1"_s), (Tokens{{T::Equal, QString()}, {T::Number, u"-1"_s}}));
    EXPECT_EQ(Scan(u",-1"_s), (Tokens{{T::Comma, QString()}, {T::Number, u"-1"_s}}));
}

TEST(ExprScanner, NumbersTakeDigitsExponentsAndThePoint)
{
    EXPECT_EQ(Scan(u"1e-5"_s), (Tokens{{T::Number, u"1e-5"_s}}));
    EXPECT_EQ(Scan(u"1E+5"_s), (Tokens{{T::Number, u"1E+5"_s}}));
    // A sign not preceded by an exponent letter ends the number.
    EXPECT_EQ(Scan(u"1e5+2"_s), (Tokens{{T::Number, u"1e5"_s}, {T::Plus, QString()}, {T::Number, u"2"_s}}));
    EXPECT_EQ(Scan(u"3.25"_s), (Tokens{{T::Number, u"3.25"_s}}));
    // Malformed numbers are still one token; the parser rejects them.
    EXPECT_EQ(Scan(u"1.2.3"_s), (Tokens{{T::Number, u"1.2.3"_s}}));
    EXPECT_EQ(Scan(u"1eE"_s), (Tokens{{T::Number, u"1eE"_s}}));
    // The decimal separator is ".", never ",".
    EXPECT_EQ(Scan(u"1,5"_s), (Tokens{{T::Number, u"1"_s}, {T::Comma, QString()}, {T::Number, u"5"_s}}));
    EXPECT_EQ(Scan(u"12abc"_s), (Tokens{{T::Number, u"12"_s}, {T::Identifier, u"abc"_s}}));
}

TEST(ExprScanner, IdentifiersAreAsciiLettersDigitsAndUnderscores)
{
    EXPECT_EQ(Scan(u"_a1 B_2"_s), (Tokens{{T::Identifier, u"_a1"_s}, {T::Identifier, u"B_2"_s}}));
    EXPECT_EQ(Scan(u"chars("_s), (Tokens{{T::Identifier, u"chars"_s}, {T::LeftParen, QString()}}));
}

TEST(ExprScanner, StringsDoubleTheirQuotesAndKeep256Characters)
{
    EXPECT_EQ(Scan(u"'it''s'"_s), (Tokens{{T::String, u"it's"_s}}));
    EXPECT_EQ(Scan(u"''"_s), (Tokens{{T::String, QString()}}));
    EXPECT_EQ(Scan(u"''''"_s), (Tokens{{T::String, u"'"_s}}));
    EXPECT_EQ(Scan(u"'a''''b'"_s), (Tokens{{T::String, u"a''b"_s}}));
    EXPECT_EQ(Scan(u"'你 好'"_s), (Tokens{{T::String, u"你 好"_s}}));
    EXPECT_EQ(Scan(u"'a''b'+'c'"_s),
              (Tokens{{T::String, u"a'b"_s}, {T::Plus, QString()}, {T::String, u"c"_s}}));

    const QString long300 = QString(300, u'x');
    const Tokens tokens = Scan(u'\'' + long300 + u"'+1"_s);
    ASSERT_EQ(tokens.size(), 3);
    EXPECT_EQ(tokens[0].second, QString(256, u'x'));
    EXPECT_EQ(tokens[1].first, T::Plus); // the rest of the literal was read and skipped
    // A doubled quote counts as one character of the content.
    EXPECT_EQ(Scan(u'\'' + QString(255, u'y') + u"''z'"_s).at(0).second, QString(255, u'y') + u'\'');
    EXPECT_EQ(Scan(u'\'' + QString(256, u'y') + u"''z'"_s).at(0).second, QString(256, u'y'));
}

TEST(ExprScanner, UnterminatedStringsAndStrayCharactersFail)
{
    EXPECT_EQ(ScanErrorCode(u"'abc"_s), 4003);
    EXPECT_EQ(ScanErrorCode(u"'abc''"_s), 4003); // the last two quotes are one quote of the content
    EXPECT_EQ(ScanErrorCode(u"'"_s), 4003);
    EXPECT_EQ(ScanErrorCode(u"1 # 2"_s), 4001);
    EXPECT_EQ(ScanErrorCode(u"1\u30002"_s), 4001); // full-width blank
    EXPECT_EQ(ScanErrorCode(u"你好"_s), 4001);
    EXPECT_EQ(ScanErrorCode(u"\"a\""_s), 4001);
    EXPECT_EQ(ScanErrorCode(u"."_s), 4001);
    // U+0000 is no blank: it starts no token.
    EXPECT_EQ(ScanErrorCode(u"1"_s + QChar(0)), 4001);
    // Control characters are blanks.
    EXPECT_EQ(Kinds(u"\u0001\u001f1\u0020"_s), QList<T>{T::Number});
}

TEST(ExprScanner, SkipBlanksStopsAtTheFirstNonBlank)
{
    TExprScanner scanner;
    scanner.SetText(u" \t\u0001x "_s);
    EXPECT_EQ(scanner.SkipBlanks(0), 3);
    EXPECT_EQ(scanner.SkipBlanks(3), 3);
    EXPECT_EQ(scanner.SkipBlanks(4), 5);
    EXPECT_EQ(scanner.SkipBlanks(5), 5);
}

TEST(ExprScanner, PeekLooksAheadWithoutMoving)
{
    TExprScanner scanner;
    scanner.SetText(u"chars ( x -1"_s);
    scanner.NextToken();
    EXPECT_EQ(scanner.PeekToken(), T::LeftParen);
    EXPECT_EQ(scanner.Kind(), T::Identifier);
    EXPECT_EQ(scanner.Text(), u"chars"_s);
    EXPECT_EQ(scanner.Cursor(), 5);
    scanner.NextToken();
    scanner.NextToken();
    // After the identifier x the minus is an operator, for the peek as for the real scan.
    EXPECT_EQ(scanner.PeekToken(), T::Minus);
    EXPECT_EQ(scanner.PreviousKind(), T::LeftParen);
    scanner.NextToken();
    EXPECT_EQ(scanner.Kind(), T::Minus);
}

TEST(ExprScanner, KeywordsIgnoreAsciiCaseOnly)
{
    TExprScanner scanner;
    scanner.SetText(u"aNd 'and'"_s);
    scanner.NextToken();
    EXPECT_TRUE(scanner.IsKeyword(u"AND"));
    EXPECT_FALSE(scanner.IsKeyword(u"AN"));
    EXPECT_FALSE(scanner.IsKeyword(u"ANDX"));
    scanner.NextToken();
    EXPECT_FALSE(scanner.IsKeyword(u"and")); // a string is no keyword
}

TEST(ExprScanner, TokenSourceTextQuotesTheTokenOrTheWholeText)
{
    TExprScanner scanner;
    scanner.SetText(u"  abc  'it''s' <= "_s);
    scanner.NextToken();
    EXPECT_EQ(scanner.TokenSourceText(), u"'abc'"_s);
    scanner.NextToken();
    // The token's own characters, quotes and all, between one more pair of quotes.
    EXPECT_EQ(scanner.TokenSourceText(), u"''it''s''"_s);
    scanner.NextToken();
    EXPECT_EQ(scanner.TokenSourceText(), u"'<='"_s);
    scanner.NextToken();
    EXPECT_EQ(scanner.Kind(), T::EndOfText);
    EXPECT_EQ(scanner.TokenSourceText(), u"'  abc  'it''s' <= '"_s);
}
