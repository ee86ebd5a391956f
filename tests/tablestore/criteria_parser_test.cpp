#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tablestore/criteria_scanner.h"
#include "tablestore/criteria_tree.h"

namespace {

std::string OperatorText(uint8_t op) {
  static const char* const kTexts[] = {"?", "<", ">", "<=", ">=", "=", "!=", " and ", " or "};
  return op < 9 ? kTexts[op] : "?";
}

// The tree with every "and"/"or" in parentheses, e.g. "(a=1 and (b=2 or c=3))".
std::string Describe(const CriteriaNode& node) {
  if (node.op == kCriteriaAnd || node.op == kCriteriaOr) {
    EXPECT_EQ(node.left->parent, &node);
    EXPECT_EQ(node.right->parent, &node);
    return "(" + Describe(*node.left) + OperatorText(node.op) + Describe(*node.right) + ")";
  }
  return node.columnName + OperatorText(node.op) + node.literal;
}

std::string StatusText(CriteriaParseStatus status) {
  switch (status) {
    case CriteriaParseStatus::Ok:
      return "ok";
    case CriteriaParseStatus::NoExpression:
      return "no expression";
    case CriteriaParseStatus::LexicalError:
      return "lexical error";
    case CriteriaParseStatus::SyntaxError:
      return "syntax error";
    case CriteriaParseStatus::StackExhausted:
      return "stack exhausted";
  }
  return "?";
}

struct Case {
  std::string input;     // as SelectRows passes it: the criteria with a line end appended
  std::string expected;  // the tree, or the failure
};

TEST(CriteriaParser, TreesAndFailures) {
  const std::vector<Case> cases = {
      {"PARAM_NAME='RESOURCE_ID'\n", "PARAM_NAME='RESOURCE_ID'"},
      {"PARAM_NAME = 'RESOURCE_ID'\n", "PARAM_NAME='RESOURCE_ID'"},
      {"\tx\t<=\t12\n", "x<=12"},
      {"a>=1.25\n", "a>=1.25"},
      {"a!=''\n", "a!=''"},
      {"a='x y (z) <= and'\n", "a='x y (z) <= and'"},
      // "and" and "or" have one precedence and group to the right.
      {"a=1 and b=2 or c=3\n", "(a=1 and (b=2 or c=3))"},
      {"a=1 or b=2 and c=3\n", "(a=1 or (b=2 and c=3))"},
      {"(a=1 and b=2) or c=3\n", "((a=1 and b=2) or c=3)"},
      {"((a=1))\n", "a=1"},
      {"a=1 and (b=2 or (c=3 and d=4)) and e=5\n", "(a=1 and ((b=2 or (c=3 and d=4)) and e=5))"},
      // The literal-first form mirrors the operator.
      {"5 < a\n", "a>5"},
      {"5 >= a\n", "a<=5"},
      {"'x' = a\n", "a='x'"},
      {"'x' != a\n", "a!='x'"},
      // Capital AND/OR and words that only begin with a keyword are names.
      {"AND=1\n", "AND=1"},
      {"andy=1 and order=2\n", "(andy=1 and order=2)"},
      {"a_1=1\n", "a_1=1"},
      // Several lines: the last expression counts.
      {"a=1\nb=2\n", "b=2"},
      {"\n", "syntax error"},
      {"", "no expression"},
      {"a=1\n\n", "syntax error"},
      {"a=b\n", "syntax error"},
      {"1=2\n", "syntax error"},
      {"a\n", "syntax error"},
      {"a=1 b=2\n", "syntax error"},
      {"a=1 and\n", "syntax error"},
      {"(a=1\n", "syntax error"},
      {"a=1)\n", "syntax error"},
      {"()\n", "syntax error"},
      {"a<>1\n", "syntax error"},
      {"a==1\n", "syntax error"},
      {"not a=1\n", "syntax error"},
      {"a=1 AND b=2\n", "syntax error"},
      {"a=-1\n", "lexical error"},
      {"a=.5\n", "lexical error"},
      {"a=5.\n", "lexical error"},
      {"a=1e3\n", "syntax error"},
      {"a=\"x\"\n", "lexical error"},
      {"a='x\n", "lexical error"},
      {"a='x;y'\n", "lexical error"},
      {"a='x\ty'\n", "lexical error"},
      {"a='caf\xc3\xa9'\n", "lexical error"},
      {"a=1 & b=2\n", "lexical error"},
      {"a!1\n", "lexical error"},
      {"a=1\r\n", "lexical error"},
      {"_a=1\n", "lexical error"},
      {std::string("a=1\0", 4) + "\n", "lexical error"},
  };
  for (const Case& c : cases) {
    CriteriaParseResult result = ParseCriteria(c.input);
    const std::string got =
        result.status == CriteriaParseStatus::Ok ? Describe(*result.tree) : StatusText(result.status);
    EXPECT_EQ(got, c.expected) << "input: " << c.input;
    if (result.status != CriteriaParseStatus::Ok) {
      EXPECT_EQ(result.tree, nullptr) << c.input;
    }
  }
}

TEST(CriteriaScanner, LongestMatchAndKeywords) {
  struct TokenCase {
    std::string input;
    std::vector<CriteriaTokenKind> kinds;
  };
  using K = CriteriaTokenKind;
  const std::vector<TokenCase> cases = {
      {"and or andx or1", {K::And, K::Or, K::Name, K::Name, K::End}},
      {"12.5.3", {K::Value, K::Invalid}},
      {"<=>=!=", {K::Compare, K::Compare, K::Compare, K::End}},
      {"''", {K::Value, K::End}},
      {"'''", {K::Value, K::Invalid}},
  };
  for (const TokenCase& c : cases) {
    CriteriaScanner scanner(c.input);
    std::vector<K> got;
    for (size_t i = 0; i < c.kinds.size(); ++i) got.push_back(scanner.Next().kind);
    EXPECT_EQ(got, c.kinds) << c.input;
  }
  CriteriaScanner scanner("x<=12.5");
  EXPECT_EQ(scanner.Next().text, "x");
  const CriteriaToken op = scanner.Next();
  EXPECT_EQ(op.text, "<=");
  EXPECT_EQ(op.op, kCriteriaLessEqual);
  EXPECT_EQ(scanner.Next().text, "12.5");
}

// Building a nesting that needs n parser stack entries.
std::string Nested(size_t depth) {
  return std::string(depth, '(') + "a=1" + std::string(depth, ')') + "\n";
}
std::string Chain(size_t links) {
  std::string text = "a=1";
  for (size_t i = 0; i < links; ++i) text += " and a=1";
  return text + "\n";
}

TEST(CriteriaParser, StackLimit) {
  struct StackCase {
    std::string label;
    std::string input;
    CriteriaParseStatus expected;
  };
  // Start state, "input", the open parentheses and the three items of "a=1" share the stack.
  const std::vector<StackCase> cases = {
      {"parentheses just inside the limit", Nested(kCriteriaStackMax - 6), CriteriaParseStatus::Ok},
      {"parentheses beyond the limit", Nested(kCriteriaStackMax - 5), CriteriaParseStatus::StackExhausted},
      {"long right-grouped chain", Chain(4000), CriteriaParseStatus::Ok},
      {"chain beyond the limit", Chain(5000), CriteriaParseStatus::StackExhausted},
  };
  for (const StackCase& c : cases) {
    EXPECT_EQ(StatusText(ParseCriteria(c.input).status), StatusText(c.expected)) << c.label;
  }
}

}  // namespace
