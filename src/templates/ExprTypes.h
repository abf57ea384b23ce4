#pragma once

#include <QtGlobal>

// Value types of the template language; the numbers are the type codes of the language.
enum class TExprType : quint8
{
    None = 0,
    Text = 1,
    Integer = 2, // 64-bit signed
    Float = 3,   // IEEE double
    Boolean = 4
};

enum class TExprNodeKind : quint8
{
    Constant = 0,
    Function = 1,
    Operator = 2
};

enum class TExprOperator : quint8
{
    None = 0,
    Equal = 1,
    NotEqual = 2,
    GreaterEqual = 3,
    LessEqual = 4,
    Greater = 5,
    Less = 6,
    Not = 7,
    And = 8,
    Or = 9,
    Add = 10,
    Subtract = 11,
    Multiply = 12,
    Divide = 13
};

// Bounds that keep every expression safe to parse and evaluate. Parsing is recursive descent and
// evaluation walks the tree recursively, so both depths are capped well below what a thread's
// stack holds; texts are capped so that CHARS('x', 2000000000) fails instead of taking the memory.
namespace ExprLimits {
// Nested parentheses and call argument lists.
inline constexpr int MaxNesting = 100;
// Levels of the syntax tree that evaluation recurses through (a flat chain 1+1+...+1 is one).
inline constexpr int MaxTreeDepth = 1000;
// UTF-16 units of one text value.
inline constexpr qint64 MaxTextLength = 16 * 1024 * 1024;
// UTF-16 units of all text values held at once during one evaluation (operands waiting for
// their neighbours, as in SUBSTR(a, 1, LEN(b)) where a is held while b is computed).
inline constexpr qint64 MaxLiveText = 4 * MaxTextLength;
} // namespace ExprLimits
