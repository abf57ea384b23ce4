#include "templates/ExprScanner.h"

#include "templates/ExprErrors.h"

using namespace Qt::StringLiterals;

namespace {

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool IsLetter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

char16_t AsciiUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

// The decimal separator of numbers; fixed, so an expression reads the same in every locale.
constexpr char16_t DecimalSeparator = u'.';

} // namespace

int TExprScanner::SkipBlanks(int position) const
{
    const int length = int(m_source.size());
    while (position < length) {
        const char16_t c = m_source.at(position).unicode();
        if (c < 0x0001 || c > 0x0020)
            break;
        ++position;
    }
    return position;
}

int TExprScanner::ScanToken(int position, TExprToken& kind, QString& text) const
{
    const QString& s = m_source;
    const int length = int(s.size());
    if (position >= length) {
        kind = TExprToken::EndOfText;
        return position;
    }
    const char16_t c = s.at(position).unicode();
    auto at = [&](int i) -> char16_t { return i < length ? s.at(i).unicode() : u'\0'; };

    switch (c) {
    case u'\'': {
        int p = position + 1;
        for (;;) {
            if (p >= length)
                throw EExprException(EExprException::UnterminatedString);
            const QChar ch = s.at(p);
            if (ch == u'\'') {
                if (at(p + 1) != u'\'')
                    break;
                ++p; // a doubled quote stands for one
            }
            if (text.size() < MaxStringLength)
                text.append(ch);
            ++p;
        }
        kind = TExprToken::String;
        return p + 1;
    }
    case u'(':
        kind = TExprToken::LeftParen;
        return position + 1;
    case u')':
        kind = TExprToken::RightParen;
        return position + 1;
    case u'*':
        kind = TExprToken::Star;
        return position + 1;
    case u'+':
        kind = TExprToken::Plus;
        return position + 1;
    case u',':
        kind = TExprToken::Comma;
        return position + 1;
    case u'/':
        kind = TExprToken::Slash;
        return position + 1;
    case u'=':
        kind = TExprToken::Equal;
        return position + 1;
    case u'<':
        if (at(position + 1) == u'=') {
            kind = TExprToken::LessEqual;
            return position + 2;
        }
        if (at(position + 1) == u'>') {
            kind = TExprToken::NotEqual;
            return position + 2;
        }
        kind = TExprToken::Less;
        return position + 1;
    case u'>':
        if (at(position + 1) == u'=') {
            kind = TExprToken::GreaterEqual;
            return position + 2;
        }
        kind = TExprToken::Greater;
        return position + 1;
    default:
        break;
    }

    // After an operand, "-" is the subtraction; anywhere else it is the sign of a number, so
    // 2-1 and 2 -1 subtract while (-1) and 2*-3 hold negative numbers.
    if (c == u'-') {
        switch (m_previousKind) {
        case TExprToken::Identifier:
        case TExprToken::Number:
        case TExprToken::String:
        case TExprToken::RightParen:
            kind = TExprToken::Minus;
            return position + 1;
        default:
            break;
        }
    }

    if (c == u'-' || IsDigit(c)) {
        int p = position + 1;
        while (p < length) {
            const char16_t d = s.at(p).unicode();
            if (IsDigit(d) || d == u'E' || d == u'e' || d == DecimalSeparator) {
                ++p;
            } else if (d == u'+' || d == u'-') {
                const char16_t before = s.at(p - 1).unicode();
                if (before != u'E' && before != u'e')
                    break;
                ++p;
            } else {
                break;
            }
        }
        kind = TExprToken::Number;
        text = s.mid(position, p - position);
        return p;
    }

    if (IsLetter(c) || c == u'_') {
        int p = position + 1;
        while (p < length) {
            const char16_t d = s.at(p).unicode();
            if (!IsLetter(d) && !IsDigit(d) && d != u'_')
                break;
            ++p;
        }
        kind = TExprToken::Identifier;
        text = s.mid(position, p - position);
        return p;
    }

    throw EExprException(EExprException::InvalidCharacter, QString(QChar(c)));
}

void TExprScanner::SetText(const QString& text)
{
    m_source = text;
    m_cursor = 0;
    m_tokenStart = 0;
    m_kind = TExprToken::EndOfText;
    m_previousKind = TExprToken::EndOfText;
    m_text.clear();
}

void TExprScanner::NextToken()
{
    m_previousKind = m_kind;
    m_text.clear();
    m_tokenStart = SkipBlanks(m_cursor);
    m_cursor = ScanToken(m_tokenStart, m_kind, m_text);
}

TExprToken TExprScanner::PeekToken()
{
    // ScanToken reads the previous kind to tell a minus from a sign; for the token after the
    // current one that is the current kind.
    const TExprToken savedPrevious = m_previousKind;
    m_previousKind = m_kind;
    TExprToken kind = TExprToken::EndOfText;
    QString text;
    try {
        ScanToken(SkipBlanks(m_cursor), kind, text);
    } catch (...) {
        m_previousKind = savedPrevious;
        throw;
    }
    m_previousKind = savedPrevious;
    return kind;
}

bool TExprScanner::IsKeyword(QStringView word) const
{
    if (m_kind != TExprToken::Identifier || m_text.size() != word.size())
        return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        if (AsciiUpper(m_text.at(i).unicode()) != AsciiUpper(word.at(i).unicode()))
            return false;
    }
    return true;
}

QString TExprScanner::TokenSourceText() const
{
    if (m_kind == TExprToken::EndOfText || m_tokenStart == m_cursor)
        return u'\'' + m_source + u'\'';
    return u'\'' + m_source.mid(m_tokenStart, m_cursor - m_tokenStart) + u'\'';
}
