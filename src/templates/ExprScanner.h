#pragma once

#include <QString>

enum class TExprToken : quint8
{
    EndOfText,
    Identifier,
    Number,
    String,
    LeftParen,
    RightParen,
    Equal,
    NotEqual,
    GreaterEqual,
    LessEqual,
    Greater,
    Less,
    Plus,
    Minus,
    Star,
    Slash,
    Comma
};

// Splits an expression into tokens, one at a time. Positions are 0-based indexes into the text.
class TExprScanner
{
public:
    // String literals keep at most this many characters of their content.
    static constexpr int MaxStringLength = 256;

    TExprScanner() = default;
    virtual ~TExprScanner() = default;
    Q_DISABLE_COPY_MOVE(TExprScanner)

    // The first position at or after position whose character is not a blank or control
    // character (U+0001 to U+0020); the end of the text stops it.
    virtual int SkipBlanks(int position) const;
    // Reads the token starting at position into kind and text; returns the position after it.
    // Throws EExprException 4001 for a character that starts no token, 4003 for a string
    // without its closing quote.
    virtual int ScanToken(int position, TExprToken& kind, QString& text) const;

    void SetText(const QString& text);
    void NextToken();
    // The kind of the token after the current one; the scanner's state is left as it was.
    TExprToken PeekToken();
    // True when the current token is the identifier word, ignoring the case of ASCII letters.
    bool IsKeyword(QStringView word) const;
    // The source of the current token in single quotes; at the end of the text the whole source.
    QString TokenSourceText() const;

    const QString& Source() const { return m_source; }
    TExprToken Kind() const { return m_kind; }
    TExprToken PreviousKind() const { return m_previousKind; }
    // Identifier, number text or string content of the current token.
    const QString& Text() const { return m_text; }
    int TokenStart() const { return m_tokenStart; }
    int Cursor() const { return m_cursor; }

private:
    QString m_source;
    int m_cursor = 0;
    int m_tokenStart = 0;
    TExprToken m_kind = TExprToken::EndOfText;
    TExprToken m_previousKind = TExprToken::EndOfText;
    QString m_text;
};
