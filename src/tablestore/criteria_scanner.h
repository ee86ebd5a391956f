// Scanner of the condition language used by SelectRows: comparisons of a column NAME with a literal
// VALUE, joined by lower-case "and" / "or" and grouped with parentheses, one expression per line.
#pragma once

#include <cstdint>
#include <string_view>

enum class CriteriaTokenKind : uint8_t {
  And,      // "and" (lower case only)
  Or,       // "or" (lower case only)
  Value,    // 12, 1.5, 'text' (quotes kept in the token text)
  Name,     // a letter, then letters, digits and "_"
  LParen,   // "("
  RParen,   // ")"
  Compare,  // < > <= >= = != (the operator code is in CriteriaToken::op)
  LineEnd,  // "\n"
  End,      // end of the input
  Invalid,  // a character that starts no token
};

struct CriteriaToken {
  CriteriaTokenKind kind = CriteriaTokenKind::End;
  std::string_view text;
  uint8_t op = 0;  // comparison operator code for Compare tokens
};

// Splits a criteria text into tokens; the longest match wins, blanks and tabs are skipped.
class CriteriaScanner {
 public:
  explicit CriteriaScanner(std::string_view input) : input_(input) {}
  CriteriaToken Next();

 private:
  std::string_view input_;
  size_t pos_ = 0;
};
