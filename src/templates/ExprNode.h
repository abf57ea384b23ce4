#pragma once

#include <QList>
#include <QString>

#include "templates/ExprTypes.h"

class TExprNodes;

// One node of a syntax tree: a constant, a call of a built-in function or an operator. The
// nodes are owned by the TExprNodes that created them; the links between them are plain
// pointers. The value fields hold the node's value in the member that matches ValueType; the
// parser fills them for constants, evaluation for calls and operators.
class TExprNode final
{
public:
    explicit TExprNode(TExprNodes* owner) : Owner(owner) {}
    Q_DISABLE_COPY_MOVE(TExprNode)

    TExprNodes* const Owner;
    TExprNodeKind Kind = TExprNodeKind::Constant;
    TExprOperator Operator = TExprOperator::None;
    int Function = 0;     // 1 to 22 for calls
    QString FunctionName; // as written in the source
    TExprType ValueType = TExprType::None;
    // Levels of the subtree below and including this node.
    int Depth = 1;

    QString Text; // never holds U+0000: a text ends at its first U+0000
    qint64 Integer = 0;
    double Float = 0.0;
    bool Boolean = false;

    TExprNode* Left = nullptr;
    TExprNode* Right = nullptr; // NOT has only a left operand
    QList<TExprNode*> Arguments;
};
