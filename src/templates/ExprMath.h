#pragma once

#include <QtGlobal>

#include <cmath>

#include "templates/ExprErrors.h"

// Floating-point arithmetic that raises the platform's errors where the hardware would trap:
// a result that is not finite never becomes a value of the language.
namespace ExprMath {

// An infinite result of finite operands overflowed; a NaN was an invalid operation.
inline double Checked(double result)
{
    if (std::isnan(result))
        throw EInvalidOp();
    if (std::isinf(result))
        throw EOverflow();
    return result;
}

inline double Divide(double dividend, double divisor)
{
    if (divisor == 0.0) {
        if (dividend == 0.0)
            throw EInvalidOp();
        throw EZeroDivide();
    }
    return Checked(dividend / divisor);
}

// 64-bit integer arithmetic that wraps around instead of overflowing.
inline qint64 WrapAdd(qint64 a, qint64 b)
{
    return qint64(quint64(a) + quint64(b));
}
inline qint64 WrapSubtract(qint64 a, qint64 b)
{
    return qint64(quint64(a) - quint64(b));
}
inline qint64 WrapMultiply(qint64 a, qint64 b)
{
    return qint64(quint64(a) * quint64(b));
}

} // namespace ExprMath
