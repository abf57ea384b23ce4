#pragma once

#include <QDateTime>
#include <QString>

#include <ostream>

#include "templates/ExprErrors.h"
#include "templates/ExprParser.h"

// 2009-04-03 15:14:35 local time: the clock of every test that does not set its own.
inline QDateTime FixedNow()
{
    return QDateTime(QDate(2009, 4, 3), QTime(15, 14, 35));
}

inline QString Eval(const QString& text)
{
    TExprParser parser(FixedNow);
    parser.ParseAndEvaluate(text);
    return parser.ResultText();
}

inline QString EvalQuoted(const QString& text)
{
    TExprParser parser(FixedNow);
    parser.ParseAndEvaluate(text);
    return parser.ResultQuoted();
}

inline TExprType TypeOf(const QString& text)
{
    TExprParser parser(FixedNow);
    parser.Parse(text);
    return parser.ResultType();
}

// The ErrorCode of the language error that parsing and evaluating text raises; 0 when it
// succeeds, -1 when it fails with an error of another kind.
inline int CodeOf(const QString& text)
{
    try {
        TExprParser parser(FixedNow);
        parser.ParseAndEvaluate(text);
    } catch (const EExprException& e) {
        return e.ErrorCode();
    } catch (const EExprError&) {
        return -1;
    }
    return 0;
}

// The message of whatever error text raises; empty when it succeeds.
inline QString MessageOf(const QString& text)
{
    try {
        TExprParser parser(FixedNow);
        parser.ParseAndEvaluate(text);
    } catch (const EExprError& e) {
        return e.message();
    }
    return QString();
}

// True when parsing and evaluating text raises exactly an error of type E.
template <typename E> bool Raises(const QString& text)
{
    try {
        TExprParser parser(FixedNow);
        parser.ParseAndEvaluate(text);
    } catch (const E&) {
        return true;
    } catch (const EExprError&) {
        return false;
    }
    return false;
}

inline void PrintTo(TExprType type, std::ostream* os)
{
    static const char* const names[] = {"None", "Text", "Integer", "Float", "Boolean"};
    *os << names[int(type) <= 4 ? int(type) : 0];
}

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
