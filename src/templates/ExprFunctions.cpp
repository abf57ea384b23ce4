#include "templates/ExprFunctions.h"

#include <QDateTime>

#include <array>
#include <cmath>
#include <limits>

#include "templates/ExprErrors.h"
#include "templates/ExprMath.h"
#include "templates/ExprNode.h"
#include "templates/ExprNodes.h"
#include "templates/ExprParser.h"

using namespace Qt::StringLiterals;

namespace {

enum class TArg : quint8
{
    Text,
    Integer,
    Numeric
};

struct TFunctionInfo
{
    const char16_t* name;
    int argumentCount;
    std::array<TArg, 3> arguments;
    TExprType result;
};

constexpr TArg T = TArg::Text;
constexpr TArg I = TArg::Integer;
constexpr TArg N = TArg::Numeric;

// Indexed by function number - 1.
constexpr std::array<TFunctionInfo, TExprFunctions::Count> Functions = {{
    {u"UPPER", 1, {T}, TExprType::Text},        {u"LOWER", 1, {T}, TExprType::Text},
    {u"SUBSTR", 3, {T, I, I}, TExprType::Text}, {u"TRIM", 1, {T}, TExprType::Text},
    {u"TRIMLEFT", 1, {T}, TExprType::Text},     {u"TRIMRIGHT", 1, {T}, TExprType::Text},
    {u"ASCII", 1, {T}, TExprType::Integer},     {u"CHAR", 1, {I}, TExprType::Text},
    {u"LEFT", 2, {T, I}, TExprType::Text},      {u"RIGHT", 2, {T, I}, TExprType::Text},
    {u"LEN", 1, {T}, TExprType::Integer},       {u"CHARS", 2, {T, I}, TExprType::Text},
    {u"CRLF", 0, {}, TExprType::Text},          {u"DATE", 0, {}, TExprType::Text},
    {u"TIME", 0, {}, TExprType::Text},          {u"NOW", 0, {}, TExprType::Text},
    {u"ABS", 1, {N}, TExprType::Float},         {u"PI", 0, {}, TExprType::Float},
    {u"ROUND", 1, {N}, TExprType::Integer},     {u"POWER", 2, {N, N}, TExprType::Float},
    {u"SQRT", 1, {N}, TExprType::Float},        {u"FLOOR", 1, {N}, TExprType::Integer},
}};

const TFunctionInfo* Info(int number)
{
    if (number < 1 || number > TExprFunctions::Count)
        return nullptr;
    return &Functions[std::size_t(number - 1)];
}

char16_t AsciiUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

bool IsNumeric(TExprType type)
{
    return type == TExprType::Integer || type == TExprType::Float;
}

// Integer arguments count through their low 32 bits, as a signed number.
qint32 Low32(qint64 value)
{
    return qint32(quint32(quint64(value)));
}

double AsFloat(const TExprNode* node)
{
    return node->ValueType == TExprType::Integer ? double(node->Integer) : node->Float;
}

bool IsBlank(QChar c)
{
    return c.unicode() <= 0x0020;
}

void SetText(TExprNode* node, QString text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    node->ValueType = TExprType::Text;
    node->Text = std::move(text);
}

void SetInteger(TExprNode* node, qint64 value)
{
    node->ValueType = TExprType::Integer;
    node->Integer = value;
}

void SetFloat(TExprNode* node, double value)
{
    node->ValueType = TExprType::Float;
    node->Float = ExprMath::Checked(value);
}

QString MapAscii(const QString& text, bool upper)
{
    QString result = text;
    const char16_t from = upper ? u'a' : u'A';
    const char16_t to = upper ? u'z' : u'Z';
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        if (u >= from && u <= to)
            c = QChar(upper ? char16_t(u - 32) : char16_t(u + 32));
    }
    return result;
}

QString SubstrOf(const QString& text, qint32 start, qint32 count)
{
    const qint64 length = text.size();
    const qint64 n = std::min<qint64>(count, length);
    if (n <= 0)
        return QString();
    const qint64 first = start < 1 ? 1 : start;
    if (first > length)
        return QString();
    return text.mid(first - 1, n);
}

QString Repeated(const QString& text, qint32 count)
{
    if (count <= 0 || text.isEmpty())
        return QString();
    if (qint64(text.size()) * count > ExprLimits::MaxTextLength)
        throw EExprLimitError(EExprLimitError::Kind::TextTooLong);
    return text.repeated(count);
}

// Nearest integer, an exact half to the even neighbour.
qint64 RoundHalfEven(double value)
{
    double lower = std::floor(value);
    const double fraction = value - lower;
    double result = lower;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0))
        result = lower + 1.0;
    // 2^63 is the first double beyond the 64-bit range.
    if (!(result >= -9223372036854775808.0 && result < 9223372036854775808.0))
        throw EInvalidOp();
    return qint64(result);
}

qint64 FloorOf(const TExprNode* argument)
{
    const double floored =
        argument->ValueType == TExprType::Integer ? double(argument->Integer) : std::floor(argument->Float);
    if (!(floored >= double(std::numeric_limits<qint32>::min()) &&
          floored <= double(std::numeric_limits<qint32>::max())))
        throw EInvalidOp();
    return qint64(floored);
}

// base^exponent for two integers, truncated toward zero: POWER(2, -1) is 0. A result beyond
// the 64-bit range overflows rather than wrapping into a meaningless number.
qint64 IntegerPower(qint64 base, qint64 exponent)
{
    if (exponent < 0) {
        if (base == 0)
            throw EZeroDivide();
        if (base == 1)
            return 1;
        if (base == -1)
            return (exponent % 2 == 0) ? 1 : -1;
        return 0;
    }
    qint64 result = 1;
    qint64 factor = base;
    while (exponent > 0) {
        if (exponent & 1) {
            if (__builtin_mul_overflow(result, factor, &result))
                throw EOverflow();
        }
        exponent >>= 1;
        if (exponent > 0 && __builtin_mul_overflow(factor, factor, &factor))
            throw EOverflow();
    }
    return result;
}

double FloatPower(double base, double exponent)
{
    const double result = std::pow(base, exponent);
    if (std::isinf(result) && base == 0.0)
        throw EZeroDivide();
    return ExprMath::Checked(result);
}

QDateTime ClockNow(const TExprNode* node)
{
    const TExprParser* parser = node->Owner ? node->Owner->Parser() : nullptr;
    return parser ? parser->CurrentDateTime() : QDateTime::currentDateTime();
}

QString DateText(const QDate& date)
{
    return u"%1-%2-%3"_s.arg(date.year(), 4, 10, QChar(u'0'))
        .arg(date.month(), 2, 10, QChar(u'0'))
        .arg(date.day(), 2, 10, QChar(u'0'));
}

QString TimeText(const QTime& time)
{
    return u"%1:%2:%3"_s.arg(time.hour(), 2, 10, QChar(u'0'))
        .arg(time.minute(), 2, 10, QChar(u'0'))
        .arg(time.second(), 2, 10, QChar(u'0'));
}

} // namespace

int TExprFunctions::FunctionIndex(QStringView name)
{
    for (int i = 0; i < Count; ++i) {
        const QStringView candidate(Functions[std::size_t(i)].name);
        if (candidate.size() != name.size())
            continue;
        bool same = true;
        for (qsizetype k = 0; k < name.size() && same; ++k)
            same = AsciiUpper(name.at(k).unicode()) == candidate.at(k).unicode();
        if (same)
            return i + 1;
    }
    return 0;
}

QString TExprFunctions::FunctionName(int number)
{
    const TFunctionInfo* info = Info(number);
    return info ? QString::fromUtf16(info->name) : QString();
}

TExprType TExprFunctions::ResultType(int number)
{
    const TFunctionInfo* info = Info(number);
    return info ? info->result : TExprType::None;
}

TExprType TExprFunctions::ResultType(int number, const QList<TExprNode*>& arguments)
{
    switch (number) {
    case Abs:
        if (arguments.size() == 1 && IsNumeric(arguments.at(0)->ValueType))
            return arguments.at(0)->ValueType;
        break;
    case Power:
        if (arguments.size() == 2 && arguments.at(0)->ValueType == TExprType::Integer &&
            arguments.at(1)->ValueType == TExprType::Integer)
            return TExprType::Integer;
        break;
    default:
        break;
    }
    return ResultType(number);
}

void TExprFunctions::CheckArguments(int number, const QList<TExprNode*>& arguments)
{
    const TFunctionInfo* info = Info(number);
    if (!info || arguments.size() != info->argumentCount)
        throw EExprException(EExprException::ArgumentCount);
    for (int i = 0; i < info->argumentCount; ++i) {
        const TExprType type = arguments.at(i)->ValueType;
        bool fits = false;
        switch (info->arguments[std::size_t(i)]) {
        case TArg::Text:
            fits = type == TExprType::Text;
            break;
        case TArg::Integer:
            fits = type == TExprType::Integer;
            break;
        case TArg::Numeric:
            fits = IsNumeric(type);
            break;
        }
        if (!fits)
            throw EExprException(EExprException::TypeMismatch);
    }
}

void TExprFunctions::CallFunction(TExprNode* node, int number, const QList<TExprNode*>& arguments)
{
    // The parser has checked count and types; a call node built by other means is checked here.
    CheckArguments(number, arguments);
    const TExprNode* a = arguments.value(0);
    const TExprNode* b = arguments.value(1);
    const TExprNode* c = arguments.value(2);

    switch (Number(number)) {
    case Upper:
        SetText(node, MapAscii(a->Text, true));
        break;
    case Lower:
        SetText(node, MapAscii(a->Text, false));
        break;
    case Substr:
        SetText(node, SubstrOf(a->Text, Low32(b->Integer), Low32(c->Integer)));
        break;
    case Trim: {
        qsizetype first = 0;
        qsizetype last = a->Text.size();
        while (first < last && IsBlank(a->Text.at(first)))
            ++first;
        while (last > first && IsBlank(a->Text.at(last - 1)))
            --last;
        SetText(node, a->Text.mid(first, last - first));
        break;
    }
    case TrimLeft: {
        qsizetype first = 0;
        while (first < a->Text.size() && IsBlank(a->Text.at(first)))
            ++first;
        SetText(node, a->Text.mid(first));
        break;
    }
    case TrimRight: {
        qsizetype last = a->Text.size();
        while (last > 0 && IsBlank(a->Text.at(last - 1)))
            --last;
        SetText(node, a->Text.left(last));
        break;
    }
    case Ascii:
        SetInteger(node, a->Text.isEmpty() ? 0 : a->Text.at(0).unicode());
        break;
    case Char:
        SetText(node, QString(QChar(char16_t(quint16(quint32(Low32(a->Integer)))))));
        break;
    case Left: {
        const qint32 n = Low32(b->Integer);
        SetText(node, n <= 0 ? QString() : a->Text.left(n));
        break;
    }
    case Right: {
        const qint32 n = Low32(b->Integer);
        SetText(node, n <= 0 ? QString() : a->Text.right(n));
        break;
    }
    case Len:
        SetInteger(node, a->Text.size());
        break;
    case Chars:
        SetText(node, Repeated(a->Text, Low32(b->Integer)));
        break;
    case Crlf:
        SetText(node, u"\r\n"_s);
        break;
    case Date:
        SetText(node, DateText(ClockNow(node).date()));
        break;
    case Time:
        SetText(node, TimeText(ClockNow(node).time()));
        break;
    case Now: {
        const QDateTime now = ClockNow(node);
        SetText(node, DateText(now.date()) + u' ' + TimeText(now.time()));
        break;
    }
    case Abs:
        if (a->ValueType == TExprType::Integer)
            SetInteger(node, a->Integer < 0 ? ExprMath::WrapSubtract(0, a->Integer) : a->Integer);
        else
            SetFloat(node, std::fabs(a->Float));
        break;
    case Pi:
        SetFloat(node, 3.141592653589793);
        break;
    case Round:
        SetInteger(node, a->ValueType == TExprType::Integer ? a->Integer : RoundHalfEven(a->Float));
        break;
    case Power:
        if (a->ValueType == TExprType::Integer && b->ValueType == TExprType::Integer)
            SetInteger(node, IntegerPower(a->Integer, b->Integer));
        else
            SetFloat(node, FloatPower(AsFloat(a), AsFloat(b)));
        break;
    case Sqrt: {
        const double value = AsFloat(a);
        if (value < 0.0)
            throw EInvalidOp();
        SetFloat(node, std::sqrt(value));
        break;
    }
    case Floor:
        SetInteger(node, FloorOf(a));
        break;
    }
}
