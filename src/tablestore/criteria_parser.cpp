// A shift-reduce parser for the criteria language. Grammar:
//   input: (nothing) | input expr "\n"
//   expr:  NAME op VALUE | VALUE op NAME | expr and expr | expr or expr | "(" expr ")"
// "and"/"or" are right-associative with equal precedence, so a chain is shifted whole and reduced
// from the right when ")" or the line end arrives. The stack counts every state the way an LALR
// parser's does (the start state and "input" included) and is limited to kCriteriaStackMax entries.
#include <utility>
#include <vector>

#include "tablestore/criteria_scanner.h"
#include "tablestore/criteria_tree.h"

namespace {

enum class Symbol : uint8_t { Start, Input, Name, Value, Op, Expr, And, Or, LParen, RParen };

struct StackItem {
  explicit StackItem(Symbol s, std::string_view t = {}, uint8_t o = 0,
                     std::unique_ptr<CriteriaNode> n = nullptr)
      : symbol(s), text(t), op(o), node(std::move(n)) {}

  Symbol symbol;
  std::string_view text;               // Name, Value
  uint8_t op;                          // Op
  std::unique_ptr<CriteriaNode> node;  // Expr
};

uint8_t Mirror(uint8_t op) {
  switch (op) {
    case kCriteriaLess:
      return kCriteriaGreater;
    case kCriteriaGreater:
      return kCriteriaLess;
    case kCriteriaLessEqual:
      return kCriteriaGreaterEqual;
    case kCriteriaGreaterEqual:
      return kCriteriaLessEqual;
    default:
      return op;
  }
}

class Parser {
 public:
  explicit Parser(std::string_view input) : scanner_(input) { stack_.reserve(kCriteriaStackInitial); }

  CriteriaParseResult Run() {
    if (!Push(StackItem(Symbol::Start)) || !Push(StackItem(Symbol::Input)))
      return Fail(CriteriaParseStatus::StackExhausted);
    for (;;) {
      const CriteriaToken token = scanner_.Next();
      const CriteriaParseStatus status = Step(token);
      if (status != CriteriaParseStatus::Ok) return Fail(status);
      if (token.kind == CriteriaTokenKind::End) break;
    }
    CriteriaParseResult result;
    result.status = last_ ? CriteriaParseStatus::Ok : CriteriaParseStatus::NoExpression;
    result.tree = std::move(last_);
    return result;
  }

 private:
  Symbol Top(size_t depth = 0) const { return stack_[stack_.size() - 1 - depth].symbol; }
  bool StartsExpression() const {
    const Symbol s = Top();
    return s == Symbol::Input || s == Symbol::And || s == Symbol::Or || s == Symbol::LParen;
  }

  bool Push(StackItem item) {
    if (stack_.size() + 1 >= kCriteriaStackMax) return false;
    if (stack_.size() == stack_.capacity())
      stack_.reserve(std::min(stack_.capacity() * 2, kCriteriaStackMax));
    stack_.push_back(std::move(item));
    return true;
  }

  CriteriaParseResult Fail(CriteriaParseStatus status) {
    stack_.clear();
    last_.reset();
    CriteriaParseResult result;
    result.status = status;
    return result;
  }

  // Replaces the top three items (an operand, Op and the other operand) by a comparison node.
  void ReduceComparison(bool literalFirst) {
    auto node = std::make_unique<CriteriaNode>();
    const StackItem& first = stack_[stack_.size() - 3];
    const StackItem& op = stack_[stack_.size() - 2];
    const StackItem& second = stack_[stack_.size() - 1];
    node->columnName = std::string(literalFirst ? second.text : first.text);
    node->literal = std::string(literalFirst ? first.text : second.text);
    node->op = literalFirst ? Mirror(op.op) : op.op;
    stack_.erase(stack_.end() - 3, stack_.end());
    stack_.push_back(StackItem(Symbol::Expr, {}, 0, std::move(node)));
  }

  // Reduces every trailing "expr and expr" / "expr or expr", the rightmost first.
  void ReduceChain() {
    while (stack_.size() >= 3 && Top() == Symbol::Expr && (Top(1) == Symbol::And || Top(1) == Symbol::Or) &&
           Top(2) == Symbol::Expr) {
      auto node = std::make_unique<CriteriaNode>();
      node->op = Top(1) == Symbol::And ? kCriteriaAnd : kCriteriaOr;
      node->right = std::move(stack_.back().node);
      node->left = std::move(stack_[stack_.size() - 3].node);
      node->left->parent = node.get();
      node->right->parent = node.get();
      stack_.erase(stack_.end() - 3, stack_.end());
      stack_.push_back(StackItem(Symbol::Expr, {}, 0, std::move(node)));
    }
  }

  CriteriaParseStatus Shift(StackItem item) {
    return Push(std::move(item)) ? CriteriaParseStatus::Ok : CriteriaParseStatus::StackExhausted;
  }

  CriteriaParseStatus Operand(const CriteriaToken& token, Symbol symbol, Symbol other) {
    if (Top() == Symbol::Op && Top(1) == other) {
      if (!Push(StackItem(symbol, token.text))) return CriteriaParseStatus::StackExhausted;
      ReduceComparison(other == Symbol::Value);
      return CriteriaParseStatus::Ok;
    }
    if (!StartsExpression()) return CriteriaParseStatus::SyntaxError;
    return Shift(StackItem(symbol, token.text));
  }

  CriteriaParseStatus Step(const CriteriaToken& token) {
    switch (token.kind) {
      case CriteriaTokenKind::Invalid:
        return CriteriaParseStatus::LexicalError;
      case CriteriaTokenKind::Name:
        return Operand(token, Symbol::Name, Symbol::Value);
      case CriteriaTokenKind::Value:
        return Operand(token, Symbol::Value, Symbol::Name);
      case CriteriaTokenKind::Compare:
        if (Top() != Symbol::Name && Top() != Symbol::Value) return CriteriaParseStatus::SyntaxError;
        return Shift(StackItem(Symbol::Op, {}, token.op));
      case CriteriaTokenKind::And:
      case CriteriaTokenKind::Or:
        if (Top() != Symbol::Expr) return CriteriaParseStatus::SyntaxError;
        return Shift(StackItem(token.kind == CriteriaTokenKind::And ? Symbol::And : Symbol::Or));
      case CriteriaTokenKind::LParen:
        if (!StartsExpression()) return CriteriaParseStatus::SyntaxError;
        return Shift(StackItem(Symbol::LParen));
      case CriteriaTokenKind::RParen: {
        if (Top() != Symbol::Expr) return CriteriaParseStatus::SyntaxError;
        ReduceChain();
        if (Top(1) != Symbol::LParen) return CriteriaParseStatus::SyntaxError;
        if (!Push(StackItem(Symbol::RParen))) return CriteriaParseStatus::StackExhausted;
        StackItem inner = std::move(stack_[stack_.size() - 2]);
        stack_.erase(stack_.end() - 3, stack_.end());
        stack_.push_back(std::move(inner));
        return CriteriaParseStatus::Ok;
      }
      case CriteriaTokenKind::LineEnd:
        if (Top() != Symbol::Expr) return CriteriaParseStatus::SyntaxError;
        ReduceChain();
        if (Top(1) != Symbol::Input) return CriteriaParseStatus::SyntaxError;
        last_ = std::move(stack_.back().node);
        stack_.pop_back();
        return CriteriaParseStatus::Ok;
      case CriteriaTokenKind::End:
        return Top() == Symbol::Input ? CriteriaParseStatus::Ok : CriteriaParseStatus::SyntaxError;
    }
    return CriteriaParseStatus::SyntaxError;
  }

  CriteriaScanner scanner_;
  std::vector<StackItem> stack_;
  std::unique_ptr<CriteriaNode> last_;
};

}  // namespace

CriteriaParseResult ParseCriteria(std::string_view input) {
  return Parser(input).Run();
}
