#include "templates/ExprErrors.h"

using namespace Qt::StringLiterals;

EExprError::EExprError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message)
{
}

QString EExprException::MessageTemplate(int code)
{
    switch (code) {
    case InvalidCharacter:
        return u"表达式中出现不正确的字符 '%1'。"_s;
    case UnterminatedString:
        return u"字符串缺少终结符。"_s;
    case TrailingGarbage:
        return u"表达式的末尾语法错误。"_s;
    case ParenthesisExpected:
        return u"此处 \"%1\" 应为 ')'。"_s;
    case ArgumentSeparatorExpected:
        return u"此处 \"%1\" 应为 ')' 或 ','。"_s;
    case SyntaxError:
        return u"此处 %1 有语法错误。"_s;
    case TypeMismatch:
        return u"类型不匹配。"_s;
    case ArgumentCount:
        return u"函数参数个数错误。"_s;
    default:
        return QString();
    }
}

namespace {

QString ExceptionMessage(int code, const QString& argument)
{
    QString text = EExprException::MessageTemplate(code);
    if (text.contains(u"%1"_s))
        text = text.arg(argument);
    return u"表达式错误: "_s + text;
}

QString LimitMessage(EExprLimitError::Kind kind)
{
    switch (kind) {
    case EExprLimitError::Kind::TooDeep:
        return u"表达式错误: 表达式嵌套过深。"_s;
    case EExprLimitError::Kind::TextTooLong:
        break;
    }
    return u"表达式错误: 结果文本过长。"_s;
}

} // namespace

EExprException::EExprException(int code, const QString& argument)
    : EExprError(ExceptionMessage(code, argument)), m_code(code)
{
}

EExprLimitError::EExprLimitError(Kind kind) : EExprError(LimitMessage(kind)), m_kind(kind) {}

EZeroDivide::EZeroDivide() : EExprError(u"Floating point division by zero"_s) {}

EInvalidOp::EInvalidOp() : EExprError(u"Invalid floating point operation"_s) {}

EOverflow::EOverflow() : EExprError(u"Floating point overflow"_s) {}

EConvertError::EConvertError(const QString& text)
    : EExprError(u"'%1' is not a valid floating point value"_s.arg(text))
{
}
