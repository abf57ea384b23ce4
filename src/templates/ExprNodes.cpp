#include "templates/ExprNodes.h"

#include "templates/ExprFunctions.h"

void TExprNodes::Clear()
{
    Root = nullptr;
    m_nodes.clear();
}

TExprNode* TExprNodes::NewNode(TExprNodeKind kind, TExprType valueType, TExprNode* left, TExprNode* right,
                               TExprOperator op)
{
    auto node = std::make_unique<TExprNode>(this);
    node->Kind = kind;
    node->ValueType = valueType;
    node->Left = left;
    node->Right = right;
    node->Operator = op;
    m_nodes.push_back(std::move(node));
    return m_nodes.back().get();
}

TExprNode* TExprNodes::NewFunctionNode(const QString& name)
{
    const int number = TExprFunctions::FunctionIndex(name);
    TExprNode* node = NewNode(TExprNodeKind::Function, TExprFunctions::ResultType(number));
    node->Function = number;
    node->FunctionName = name;
    return node;
}

void TExprNodes::ReleaseValues()
{
    for (const auto& node : m_nodes) {
        if (node->Kind != TExprNodeKind::Constant)
            node->Text = QString();
    }
}
