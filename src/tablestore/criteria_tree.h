// Condition trees of the criteria language and the parser that builds them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Operator codes of a CriteriaNode.
enum : uint8_t {
  kCriteriaLess = 1,          // <
  kCriteriaGreater = 2,       // >
  kCriteriaLessEqual = 3,     // <=
  kCriteriaGreaterEqual = 4,  // >=
  kCriteriaEqual = 5,         // =
  kCriteriaNotEqual = 6,      // !=
  kCriteriaAnd = 7,           // and
  kCriteriaOr = 8,            // or
};

// One node of a condition tree: a comparison of a column with a literal, or "and"/"or" of two trees.
struct CriteriaNode {
  std::string columnName;  // NAME token of a comparison; empty for and/or
  std::string literal;     // VALUE token as written, quotes included; empty for and/or
  uint8_t op = 0;
  int32_t columnIndex = -1;  // position of the column in the table definition, set before evaluation
  uint8_t columnType = 0;    // type code of that column; 0 until set (and for unknown columns)
  std::unique_ptr<CriteriaNode> left;
  std::unique_ptr<CriteriaNode> right;
  CriteriaNode* parent = nullptr;
};

enum class CriteriaParseStatus {
  Ok,
  NoExpression,  // the input holds no line with an expression
  LexicalError,  // a character outside the token set
  SyntaxError,
  StackExhausted,  // the input nests deeper than the parser stack allows
};

// The parser stack starts with this many entries and grows by doubling up to the maximum.
inline constexpr size_t kCriteriaStackInitial = 200;
inline constexpr size_t kCriteriaStackMax = 10000;

struct CriteriaParseResult {
  CriteriaParseStatus status = CriteriaParseStatus::NoExpression;
  std::unique_ptr<CriteriaNode> tree;  // the tree of the last line; set only with Ok
};

// Parses zero or more lines, each an expression followed by "\n". "and" and "or" have the same
// precedence and group to the right. The literal-first form (VALUE op NAME) becomes the comparison
// NAME op' VALUE with the operator mirrored, so that 5 < a means a > 5.
CriteriaParseResult ParseCriteria(std::string_view input);
