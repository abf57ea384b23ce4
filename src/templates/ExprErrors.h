#pragma once

#include <QString>

#include <stdexcept>

// The errors an expression can raise while it is parsed or evaluated. Callers that only need to
// know that it failed, and why in words, catch EExprError and show message().
//
// - EExprException: a syntax or type error of the language, with its ErrorCode 4001 to 4010.
// - EExprLimitError: the expression is nested too deeply or its text grows too long to handle.
// - EZeroDivide, EInvalidOp, EOverflow: floating-point faults, with the platform's English texts.
// - EConvertError: a number token that is not a valid number.
class EExprError : public std::runtime_error
{
public:
    explicit EExprError(const QString& message);
    QString message() const { return m_message; }

private:
    QString m_message;
};

class EExprException : public EExprError
{
public:
    enum Code : int
    {
        InvalidCharacter = 4001,
        UnterminatedString = 4003,
        TrailingGarbage = 4004,
        ParenthesisExpected = 4006,
        ArgumentSeparatorExpected = 4007,
        SyntaxError = 4008,
        TypeMismatch = 4009,
        ArgumentCount = 4010
    };

    // The message is "表达式错误: " followed by the code's own text, with argument (a character
    // or a quoted token) in its place where the text has one.
    explicit EExprException(int code, const QString& argument = QString());
    int ErrorCode() const { return m_code; }

    // The code's own text without the common prefix; empty for an unknown code.
    static QString MessageTemplate(int code);

private:
    int m_code;
};

class EExprLimitError : public EExprError
{
public:
    enum class Kind
    {
        TooDeep,
        TextTooLong
    };
    explicit EExprLimitError(Kind kind);
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// "Floating point division by zero": a non-zero number divided by zero.
class EZeroDivide : public EExprError
{
public:
    EZeroDivide();
};

// "Invalid floating point operation": 0/0, the square root of a negative number, a result
// that no number represents.
class EInvalidOp : public EExprError
{
public:
    EInvalidOp();
};

// "Floating point overflow": a result too large for a double.
class EOverflow : public EExprError
{
public:
    EOverflow();
};

// "'%s' is not a valid floating point value".
class EConvertError : public EExprError
{
public:
    explicit EConvertError(const QString& text);
};
