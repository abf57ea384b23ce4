#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

#include "templates/ExprNodes.h"
#include "templates/ExprScanner.h"
#include "templates/ExprTypes.h"

// The clock that DATE, TIME and NOW read: local date and time.
using TExprClock = std::function<QDateTime()>;

// Parses an expression of the template language into a typed syntax tree and evaluates it.
// One caller at a time; the tree of the last successful Parse can be evaluated again and again.
//
// Every failure is an exception derived from EExprError (ExprErrors.h): EExprException for a
// syntax or type error, EConvertError for a malformed number, EZeroDivide, EInvalidOp and
// EOverflow for floating-point faults, EExprLimitError for an expression nested too deeply or a
// text that grows too long.
class TExprParser final
{
public:
    // An empty clock reads the system's local time.
    explicit TExprParser(TExprClock clock = {});
    Q_DISABLE_COPY_MOVE(TExprParser)

    void SetClock(TExprClock clock);
    // The clock's time. During an evaluation the clock is read once, at the first call, so that
    // date() + ' ' + time() never pairs one day's date with the next day's time.
    QDateTime CurrentDateTime() const;

    // Builds the tree of text; on failure no tree is left to evaluate.
    void Parse(const QString& text);
    // Computes the value of every node of the last parsed tree; does nothing without one.
    void Evaluate();
    void ParseAndEvaluate(const QString& text);

    // The value of the last evaluation as text: texts unchanged, integers in decimal, floats
    // with 15 significant digits (3, 0.3, 1E20, 1.5E-7), booleans True or False. Empty when
    // there is no tree.
    QString ResultText() const;
    // As ResultText, but a text in single quotes with inner quotes doubled: 'It''s'.
    QString ResultQuoted() const;

    const TExprNode* Root() const { return m_nodes.Root; }
    // The static type of the last parsed expression; None when there is none.
    TExprType ResultType() const { return m_nodes.Root ? m_nodes.Root->ValueType : TExprType::None; }

    TExprScanner& Scanner() { return m_scanner; }
    TExprNodes& Nodes() { return m_nodes; }

    // The general floating-point text form used by ResultText.
    static QString FloatToText(double value);

private:
    TExprNode* parseExpression();
    TExprNode* parseAndTerm();
    TExprNode* parseNotTerm();
    TExprNode* parseComparison();
    TExprNode* parseSum();
    TExprNode* parseProduct();
    TExprNode* parseOperand();
    TExprNode* parseCall(int number);
    TExprNode* parseNumber();
    TExprNode* makeOperator(TExprOperator op, TExprNode* left, TExprNode* right);
    void checkDepth(TExprNode* node) const;

    void evaluateNode(TExprNode* node);
    void evaluateOperator(TExprNode* node);
    // Computes a binary operator's value from its evaluated operands.
    void combine(TExprNode* node);
    QString takeText(TExprNode* node);
    void release(TExprNode* node);
    void account(const TExprNode* node);

    TExprScanner m_scanner;
    TExprNodes m_nodes{this};
    TExprClock m_clock;
    bool m_evaluating = false;
    mutable std::optional<QDateTime> m_evaluationNow;
    int m_nesting = 0;
    qint64 m_liveText = 0;
};
