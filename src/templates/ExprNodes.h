#pragma once

#include <QString>

#include <memory>
#include <vector>

#include "templates/ExprNode.h"

class TExprParser;

// Owns every node created for the current expression; Clear frees them all at once, including
// nodes of an expression whose parsing failed half-way.
class TExprNodes final
{
public:
    explicit TExprNodes(TExprParser* parser = nullptr) : m_parser(parser) {}
    Q_DISABLE_COPY_MOVE(TExprNodes)

    TExprParser* Parser() const { return m_parser; }
    int Count() const { return int(m_nodes.size()); }

    void Clear();
    TExprNode* NewNode(TExprNodeKind kind, TExprType valueType, TExprNode* left = nullptr,
                       TExprNode* right = nullptr, TExprOperator op = TExprOperator::None);
    // A call node for the function name; the function number and the call's type come from the
    // function table (0 and None for a name that is no function).
    TExprNode* NewFunctionNode(const QString& name);
    // Drops the computed texts of calls and operators (constants keep their values).
    void ReleaseValues();

    // The top node of the last expression parsed successfully; null before and after Clear.
    TExprNode* Root = nullptr;

private:
    TExprParser* m_parser;
    std::vector<std::unique_ptr<TExprNode>> m_nodes;
};
