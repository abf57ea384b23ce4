#include "templates/ExprParser.h"

#include <vector>

#include <QByteArray>

#include <algorithm>
#include <cmath>

#include "templates/ExprErrors.h"
#include "templates/ExprFunctions.h"
#include "templates/ExprMath.h"

using namespace Qt::StringLiterals;

namespace {

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool IsNumeric(TExprType type)
{
    return type == TExprType::Integer || type == TExprType::Float;
}

bool IsComparison(TExprOperator op)
{
    return op >= TExprOperator::Equal && op <= TExprOperator::Less;
}

TExprOperator ComparisonOperator(TExprToken token)
{
    switch (token) {
    case TExprToken::Equal:
        return TExprOperator::Equal;
    case TExprToken::NotEqual:
        return TExprOperator::NotEqual;
    case TExprToken::GreaterEqual:
        return TExprOperator::GreaterEqual;
    case TExprToken::LessEqual:
        return TExprOperator::LessEqual;
    case TExprToken::Greater:
        return TExprOperator::Greater;
    case TExprToken::Less:
        return TExprOperator::Less;
    default:
        return TExprOperator::None;
    }
}

// The whole text a 32-bit signed decimal integer: an optional "-", then digits.
bool ReadInt32(const QString& text, qint32& value)
{
    qsizetype i = 0;
    const bool negative = text.startsWith(u'-');
    if (negative)
        i = 1;
    if (i >= text.size())
        return false;
    qint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text.at(i)))
            return false;
        magnitude = magnitude * 10 + (text.at(i).unicode() - u'0');
        if (magnitude > 2147483648LL)
            return false;
    }
    const qint64 result = negative ? -magnitude : magnitude;
    if (result > 2147483647LL)
        return false;
    value = qint32(result);
    return true;
}

// [-] digits [. digits] [E [+|-] digits], at least one digit before the exponent.
bool ReadFloat(const QString& text, double& value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && text.at(i) == u'-')
        ++i;
    int mantissaDigits = 0;
    while (i < n && IsDigit(text.at(i))) {
        ++i;
        ++mantissaDigits;
    }
    if (i < n && text.at(i) == u'.') {
        ++i;
        while (i < n && IsDigit(text.at(i))) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (text.at(i) == u'E' || text.at(i) == u'e')) {
        ++i;
        if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
            ++i;
        int exponentDigits = 0;
        while (i < n && IsDigit(text.at(i))) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    if (i != n)
        return false;
    bool ok = false;
    const double result = text.toDouble(&ok);
    if (!ok) {
        // Out of range: too large is no number, too small is zero.
        if (std::isinf(result) || result != 0.0)
            return false;
    }
    value = result;
    return true;
}

int Compare(const TExprNode* left, const TExprNode* right)
{
    auto sign = [](auto a, auto b) { return a < b ? -1 : (b < a ? 1 : 0); };
    if (left->ValueType == TExprType::Text)
        return sign(QString::compare(left->Text, right->Text, Qt::CaseSensitive), 0);
    if (left->ValueType == TExprType::Boolean)
        return sign(int(left->Boolean), int(right->Boolean));
    if (left->ValueType == TExprType::Integer && right->ValueType == TExprType::Integer)
        return sign(left->Integer, right->Integer);
    const double a = left->ValueType == TExprType::Integer ? double(left->Integer) : left->Float;
    const double b = right->ValueType == TExprType::Integer ? double(right->Integer) : right->Float;
    return sign(a, b);
}

bool ComparisonHolds(TExprOperator op, int order)
{
    switch (op) {
    case TExprOperator::Equal:
        return order == 0;
    case TExprOperator::NotEqual:
        return order != 0;
    case TExprOperator::GreaterEqual:
        return order >= 0;
    case TExprOperator::LessEqual:
        return order <= 0;
    case TExprOperator::Greater:
        return order > 0;
    case TExprOperator::Less:
        return order < 0;
    default:
        return false;
    }
}

double AsFloat(const TExprNode* node)
{
    return node->ValueType == TExprType::Integer ? double(node->Integer) : node->Float;
}

bool IsChainOperator(const TExprNode* node)
{
    if (node->Kind != TExprNodeKind::Operator)
        return false;
    return node->Operator != TExprOperator::Not && node->Operator != TExprOperator::And &&
           node->Operator != TExprOperator::Or;
}

// True when both the node and its left operand are binary operators whose operands are both
// always evaluated: the left operand is then evaluated by the loop over the chain.
bool ContinuesChain(const TExprNode* node)
{
    return IsChainOperator(node) && node->Left && IsChainOperator(node->Left);
}

// Counts one level of parentheses or argument list while it is being parsed.
class TNestingGuard
{
public:
    explicit TNestingGuard(int& nesting) : m_nesting(nesting)
    {
        if (m_nesting >= ExprLimits::MaxNesting)
            throw EExprLimitError(EExprLimitError::Kind::TooDeep);
        ++m_nesting;
    }
    ~TNestingGuard() { --m_nesting; }
    Q_DISABLE_COPY_MOVE(TNestingGuard)

private:
    int& m_nesting;
};

} // namespace

TExprParser::TExprParser(TExprClock clock) : m_clock(std::move(clock)) {}

void TExprParser::SetClock(TExprClock clock)
{
    m_clock = std::move(clock);
}

QDateTime TExprParser::CurrentDateTime() const
{
    if (m_evaluating && m_evaluationNow)
        return *m_evaluationNow;
    QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    if (m_evaluating)
        m_evaluationNow = now;
    return now;
}

// ---- Parsing --------------------------------------------------------------------------------

void TExprParser::Parse(const QString& text)
{
    m_nodes.Clear();
    m_nesting = 0;
    m_scanner.SetText(text);
    m_scanner.NextToken();
    TExprNode* root = parseExpression();
    if (m_scanner.Kind() != TExprToken::EndOfText)
        throw EExprException(EExprException::TrailingGarbage);
    m_nodes.Root = root;
}

TExprNode* TExprParser::parseExpression()
{
    TNestingGuard guard(m_nesting);
    TExprNode* left = parseAndTerm();
    while (m_scanner.IsKeyword(u"OR")) {
        m_scanner.NextToken();
        left = makeOperator(TExprOperator::Or, left, parseAndTerm());
    }
    return left;
}

TExprNode* TExprParser::parseAndTerm()
{
    TExprNode* left = parseNotTerm();
    while (m_scanner.IsKeyword(u"AND")) {
        m_scanner.NextToken();
        left = makeOperator(TExprOperator::And, left, parseNotTerm());
    }
    return left;
}

TExprNode* TExprParser::parseNotTerm()
{
    if (!m_scanner.IsKeyword(u"NOT"))
        return parseComparison();
    m_scanner.NextToken();
    return makeOperator(TExprOperator::Not, parseComparison(), nullptr);
}

TExprNode* TExprParser::parseComparison()
{
    TExprNode* left = parseSum();
    for (;;) {
        const TExprOperator op = ComparisonOperator(m_scanner.Kind());
        if (op == TExprOperator::None)
            return left;
        m_scanner.NextToken();
        left = makeOperator(op, left, parseSum());
    }
}

TExprNode* TExprParser::parseSum()
{
    TExprNode* left = parseProduct();
    for (;;) {
        TExprOperator op = TExprOperator::None;
        if (m_scanner.Kind() == TExprToken::Plus)
            op = TExprOperator::Add;
        else if (m_scanner.Kind() == TExprToken::Minus)
            op = TExprOperator::Subtract;
        else
            return left;
        m_scanner.NextToken();
        left = makeOperator(op, left, parseProduct());
    }
}

TExprNode* TExprParser::parseProduct()
{
    TExprNode* left = parseOperand();
    for (;;) {
        TExprOperator op = TExprOperator::None;
        if (m_scanner.Kind() == TExprToken::Star)
            op = TExprOperator::Multiply;
        else if (m_scanner.Kind() == TExprToken::Slash)
            op = TExprOperator::Divide;
        else
            return left;
        m_scanner.NextToken();
        left = makeOperator(op, left, parseOperand());
    }
}

TExprNode* TExprParser::parseOperand()
{
    switch (m_scanner.Kind()) {
    case TExprToken::Identifier: {
        const int number = TExprFunctions::FunctionIndex(m_scanner.Text());
        if (number != 0 && m_scanner.PeekToken() == TExprToken::LeftParen)
            return parseCall(number);
        const bool isTrue = m_scanner.IsKeyword(u"True");
        if (isTrue || m_scanner.IsKeyword(u"False")) {
            TExprNode* node = m_nodes.NewNode(TExprNodeKind::Constant, TExprType::Boolean);
            node->Boolean = isTrue;
            m_scanner.NextToken();
            return node;
        }
        break;
    }
    case TExprToken::Number:
        return parseNumber();
    case TExprToken::String: {
        TExprNode* node = m_nodes.NewNode(TExprNodeKind::Constant, TExprType::Text);
        QString text = m_scanner.Text();
        const qsizetype nul = text.indexOf(QChar(0));
        if (nul >= 0)
            text.truncate(nul);
        node->Text = text;
        m_scanner.NextToken();
        return node;
    }
    case TExprToken::LeftParen: {
        m_scanner.NextToken();
        TExprNode* node = parseExpression();
        if (m_scanner.Kind() != TExprToken::RightParen)
            throw EExprException(EExprException::ParenthesisExpected, m_scanner.TokenSourceText());
        m_scanner.NextToken();
        return node;
    }
    default:
        break;
    }
    throw EExprException(EExprException::SyntaxError, m_scanner.TokenSourceText());
}

TExprNode* TExprParser::parseCall(int number)
{
    TNestingGuard guard(m_nesting);
    TExprNode* node = m_nodes.NewFunctionNode(m_scanner.Text());
    m_scanner.NextToken(); // the name
    m_scanner.NextToken(); // "("
    if (m_scanner.Kind() != TExprToken::RightParen) {
        // A "," at the very end closes the call, so a template cut off after its last argument
        // still reads: chars('-', 80, is chars('-', 80).
        for (;;) {
            node->Arguments.append(parseExpression());
            if (m_scanner.Kind() == TExprToken::Comma)
                m_scanner.NextToken();
            else if (m_scanner.Kind() != TExprToken::RightParen)
                throw EExprException(EExprException::ArgumentSeparatorExpected, m_scanner.TokenSourceText());
            if (m_scanner.Kind() == TExprToken::RightParen || m_scanner.Kind() == TExprToken::EndOfText)
                break;
        }
    }
    TExprFunctions::CheckArguments(number, node->Arguments);
    node->ValueType = TExprFunctions::ResultType(number, node->Arguments);
    checkDepth(node);
    m_scanner.NextToken(); // ")"
    return node;
}

TExprNode* TExprParser::parseNumber()
{
    const QString& text = m_scanner.Text();
    TExprNode* node = nullptr;
    qint32 integer = 0;
    double real = 0.0;
    if (ReadInt32(text, integer)) {
        node = m_nodes.NewNode(TExprNodeKind::Constant, TExprType::Integer);
        node->Integer = integer;
    } else if (ReadFloat(text, real)) {
        node = m_nodes.NewNode(TExprNodeKind::Constant, TExprType::Float);
        node->Float = real;
    } else {
        throw EConvertError(text);
    }
    m_scanner.NextToken();
    return node;
}

TExprNode* TExprParser::makeOperator(TExprOperator op, TExprNode* left, TExprNode* right)
{
    const TExprType a = left->ValueType;
    const TExprType b = right ? right->ValueType : TExprType::Boolean;
    TExprType type = TExprType::None;
    switch (op) {
    case TExprOperator::Not:
    case TExprOperator::And:
    case TExprOperator::Or:
        if (a == TExprType::Boolean && b == TExprType::Boolean)
            type = TExprType::Boolean;
        break;
    case TExprOperator::Add:
    case TExprOperator::Subtract:
    case TExprOperator::Multiply:
    case TExprOperator::Divide:
        if (IsNumeric(a) && IsNumeric(b)) {
            const bool real = op == TExprOperator::Divide || a == TExprType::Float || b == TExprType::Float;
            type = real ? TExprType::Float : TExprType::Integer;
        } else if (a == TExprType::Text && b == TExprType::Text && op == TExprOperator::Add) {
            type = TExprType::Text;
        }
        break;
    default: // comparisons
        if ((IsNumeric(a) && IsNumeric(b)) || (a == TExprType::Text && b == TExprType::Text) ||
            (a == TExprType::Boolean && b == TExprType::Boolean &&
             (op == TExprOperator::Equal || op == TExprOperator::NotEqual)))
            type = TExprType::Boolean;
        break;
    }
    if (type == TExprType::None)
        throw EExprException(EExprException::TypeMismatch);
    TExprNode* node = m_nodes.NewNode(TExprNodeKind::Operator, type, left, right, op);
    checkDepth(node);
    return node;
}

void TExprParser::checkDepth(TExprNode* node) const
{
    int below = 0;
    // A left operand that continues a chain such as 1+2+3 is evaluated in a loop at this node's
    // own level, so a long flat chain is not deep.
    if (node->Left)
        below = ContinuesChain(node) ? node->Left->Depth - 1 : node->Left->Depth;
    if (node->Right)
        below = std::max(below, node->Right->Depth);
    for (const TExprNode* argument : std::as_const(node->Arguments))
        below = std::max(below, argument->Depth);
    node->Depth = below + 1;
    if (node->Depth > ExprLimits::MaxTreeDepth)
        throw EExprLimitError(EExprLimitError::Kind::TooDeep);
}

// ---- Evaluation -----------------------------------------------------------------------------

void TExprParser::Evaluate()
{
    TExprNode* root = m_nodes.Root;
    if (!root)
        return;
    m_liveText = 0;
    m_evaluating = true;
    m_evaluationNow.reset();
    try {
        evaluateNode(root);
    } catch (...) {
        m_evaluating = false;
        m_nodes.ReleaseValues();
        m_liveText = 0;
        throw;
    }
    m_evaluating = false;
}

void TExprParser::ParseAndEvaluate(const QString& text)
{
    Parse(text);
    Evaluate();
}

void TExprParser::evaluateNode(TExprNode* node)
{
    switch (node->Kind) {
    case TExprNodeKind::Constant:
        return;
    case TExprNodeKind::Function:
        for (TExprNode* argument : std::as_const(node->Arguments))
            evaluateNode(argument);
        TExprFunctions::CallFunction(node, node->Function, node->Arguments);
        for (TExprNode* argument : std::as_const(node->Arguments))
            release(argument);
        account(node);
        return;
    case TExprNodeKind::Operator:
        evaluateOperator(node);
        return;
    }
}

void TExprParser::evaluateOperator(TExprNode* node)
{
    TExprNode* left = node->Left;
    TExprNode* right = node->Right;
    const TExprOperator op = node->Operator;

    // The logical operators look at the right operand only when the left one does not decide.
    switch (op) {
    case TExprOperator::Not:
        evaluateNode(left);
        node->Boolean = !left->Boolean;
        return;
    case TExprOperator::And:
        evaluateNode(left);
        node->Boolean = left->Boolean;
        if (node->Boolean) {
            evaluateNode(right);
            node->Boolean = right->Boolean;
        }
        return;
    case TExprOperator::Or:
        evaluateNode(left);
        node->Boolean = left->Boolean;
        if (!node->Boolean) {
            evaluateNode(right);
            node->Boolean = right->Boolean;
        }
        return;
    default:
        break;
    }

    // A chain such as 1+1+...+1 leans left: its links are evaluated bottom up in a loop rather
    // than by recursion, so that its length costs no stack.
    std::vector<TExprNode*> chain{node};
    while (ContinuesChain(chain.back()))
        chain.push_back(chain.back()->Left);
    evaluateNode(chain.back()->Left);
    for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
        evaluateNode((*link)->Right);
        combine(*link);
    }
}

void TExprParser::combine(TExprNode* node)
{
    TExprNode* left = node->Left;
    TExprNode* right = node->Right;
    const TExprOperator op = node->Operator;
    if (IsComparison(op)) {
        node->Boolean = ComparisonHolds(op, Compare(left, right));
    } else if (left->ValueType == TExprType::Text) {
        // Only "+" passes the type rules for texts.
        if (qint64(left->Text.size()) + right->Text.size() > ExprLimits::MaxTextLength)
            throw EExprLimitError(EExprLimitError::Kind::TextTooLong);
        QString text = takeText(left);
        text.append(right->Text);
        node->Text = std::move(text);
        node->ValueType = TExprType::Text;
    } else if (left->ValueType == TExprType::Integer && right->ValueType == TExprType::Integer &&
               op != TExprOperator::Divide) {
        const qint64 a = left->Integer;
        const qint64 b = right->Integer;
        node->ValueType = TExprType::Integer;
        if (op == TExprOperator::Add)
            node->Integer = ExprMath::WrapAdd(a, b);
        else if (op == TExprOperator::Subtract)
            node->Integer = ExprMath::WrapSubtract(a, b);
        else
            node->Integer = ExprMath::WrapMultiply(a, b);
    } else {
        const double a = AsFloat(left);
        const double b = AsFloat(right);
        node->ValueType = TExprType::Float;
        if (op == TExprOperator::Add)
            node->Float = ExprMath::Checked(a + b);
        else if (op == TExprOperator::Subtract)
            node->Float = ExprMath::Checked(a - b);
        else if (op == TExprOperator::Multiply)
            node->Float = ExprMath::Checked(a * b);
        else
            node->Float = ExprMath::Divide(a, b);
    }
    release(left);
    release(right);
    account(node);
}

// The values of calls and operators are needed only by the node above them; once it has its
// own value they are dropped, so a long text is held once rather than at every level.
QString TExprParser::takeText(TExprNode* node)
{
    if (node->Kind == TExprNodeKind::Constant)
        return node->Text;
    m_liveText -= node->Text.size();
    return std::exchange(node->Text, QString());
}

void TExprParser::release(TExprNode* node)
{
    if (node->Kind == TExprNodeKind::Constant || node->Text.isNull())
        return;
    m_liveText -= node->Text.size();
    node->Text = QString();
}

void TExprParser::account(const TExprNode* node)
{
    if (node->ValueType != TExprType::Text)
        return;
    m_liveText += node->Text.size();
    if (m_liveText > ExprLimits::MaxLiveText)
        throw EExprLimitError(EExprLimitError::Kind::TextTooLong);
}

// ---- Results --------------------------------------------------------------------------------

QString TExprParser::FloatToText(double value)
{
    if (value == 0.0 || !std::isfinite(value))
        return u"0"_s;
    // d.dddddddddddddde±x: the 15 significant digits and the decimal exponent.
    const QByteArray scientific = QByteArray::number(value, 'e', 14);
    const qsizetype e = scientific.indexOf('e');
    const bool negative = scientific.startsWith('-');
    QByteArray digits = scientific.left(e);
    digits.remove(0, negative ? 1 : 0);
    digits.remove(1, 1); // the point
    const int exponent = scientific.mid(e + 1).toInt();
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);

    QByteArray out = negative ? "-" : "";
    if (exponent >= -5 && exponent < 15) {
        if (exponent >= 0) {
            const qsizetype whole = exponent + 1;
            if (digits.size() <= whole) {
                out += digits + QByteArray(whole - digits.size(), '0');
            } else {
                out += digits.left(whole) + '.' + digits.mid(whole);
            }
        } else {
            out += "0." + QByteArray(-exponent - 1, '0') + digits;
        }
    } else {
        out += digits.left(1);
        if (digits.size() > 1)
            out += '.' + digits.mid(1);
        out += 'E' + QByteArray::number(exponent);
    }
    return QString::fromLatin1(out);
}

QString TExprParser::ResultText() const
{
    const TExprNode* root = m_nodes.Root;
    if (!root)
        return QString();
    switch (root->ValueType) {
    case TExprType::Text:
        return root->Text;
    case TExprType::Integer:
        return QString::number(root->Integer);
    case TExprType::Float:
        return FloatToText(root->Float);
    case TExprType::Boolean:
        return root->Boolean ? u"True"_s : u"False"_s;
    case TExprType::None:
        break;
    }
    return QString();
}

QString TExprParser::ResultQuoted() const
{
    const TExprNode* root = m_nodes.Root;
    if (!root || root->ValueType != TExprType::Text)
        return ResultText();
    QString quoted = root->Text;
    quoted.replace(u'\'', u"''"_s);
    return u'\'' + quoted + u'\'';
}
