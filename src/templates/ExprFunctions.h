#pragma once

#include <QList>
#include <QString>

#include "templates/ExprTypes.h"

class TExprNode;

// The built-in functions of the template language, by number 1 to 22. No state: everything is
// class-level.
class TExprFunctions final
{
public:
    enum Number : int
    {
        Upper = 1,
        Lower,
        Substr,
        Trim,
        TrimLeft,
        TrimRight,
        Ascii,
        Char,
        Left,
        Right,
        Len,
        Chars,
        Crlf,
        Date,
        Time,
        Now,
        Abs,
        Pi,
        Round,
        Power,
        Sqrt,
        Floor
    };
    static constexpr int Count = 22;

    TExprFunctions() = delete;

    // 1 to 22 for a function name in any case of its ASCII letters, 0 for any other name.
    static int FunctionIndex(QStringView name);
    // The upper-case name; empty for a number that is no function.
    static QString FunctionName(int number);
    // The type of a call before its arguments are known. ABS and POWER take the type of their
    // arguments (see the overload); for them this is Float.
    static TExprType ResultType(int number);
    // The type of a call with these arguments, which CheckArguments has accepted. ABS has the
    // type of its argument, POWER is Integer when both arguments are integers and Float
    // otherwise, FLOOR is Integer; every other function has its fixed type.
    static TExprType ResultType(int number, const QList<TExprNode*>& arguments);
    // Throws EExprException 4010 for a wrong number of arguments, then 4009 for a wrong type.
    static void CheckArguments(int number, const QList<TExprNode*>& arguments);
    // Computes the call's value from the arguments' values and stores it, with its type, in
    // node. DATE, TIME and NOW read the clock of the parser that owns node. Throws EExprError
    // subclasses for floating-point faults and for a text beyond ExprLimits::MaxTextLength.
    static void CallFunction(TExprNode* node, int number, const QList<TExprNode*>& arguments);
};
