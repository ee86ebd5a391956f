#include "tablestore/criteria_scanner.h"

#include "tablestore/criteria_tree.h"

namespace {

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
// Characters allowed between the quotes of a text literal: blank to "~" except the quote and ";".
bool IsQuotedChar(char c) {
  return c >= ' ' && c <= '~' && c != '\'' && c != ';';
}

}  // namespace

CriteriaToken CriteriaScanner::Next() {
  while (pos_ < input_.size() && (input_[pos_] == ' ' || input_[pos_] == '\t')) ++pos_;
  if (pos_ >= input_.size()) return {CriteriaTokenKind::End, {}, 0};

  const size_t start = pos_;
  const char c = input_[pos_];
  auto token = [&](CriteriaTokenKind kind, size_t length, uint8_t op = 0) {
    pos_ = start + length;
    return CriteriaToken{kind, input_.substr(start, length), op};
  };
  auto peek = [&](size_t offset) { return start + offset < input_.size() ? input_[start + offset] : '\0'; };

  if (IsLetter(c)) {
    size_t n = 1;
    while (IsLetter(peek(n)) || IsDigit(peek(n)) || peek(n) == '_') ++n;
    const std::string_view word = input_.substr(start, n);
    if (word == "and") return token(CriteriaTokenKind::And, n);
    if (word == "or") return token(CriteriaTokenKind::Or, n);
    return token(CriteriaTokenKind::Name, n);
  }
  if (IsDigit(c)) {
    size_t n = 1;
    while (IsDigit(peek(n))) ++n;
    if (peek(n) == '.' && IsDigit(peek(n + 1))) {
      n += 2;
      while (IsDigit(peek(n))) ++n;
    }
    return token(CriteriaTokenKind::Value, n);
  }
  switch (c) {
    case '\'': {
      size_t n = 1;
      while (IsQuotedChar(peek(n))) ++n;
      if (peek(n) == '\'') return token(CriteriaTokenKind::Value, n + 1);
      return token(CriteriaTokenKind::Invalid, 1);
    }
    case '(':
      return token(CriteriaTokenKind::LParen, 1);
    case ')':
      return token(CriteriaTokenKind::RParen, 1);
    case '<':
      if (peek(1) == '=') return token(CriteriaTokenKind::Compare, 2, kCriteriaLessEqual);
      return token(CriteriaTokenKind::Compare, 1, kCriteriaLess);
    case '>':
      if (peek(1) == '=') return token(CriteriaTokenKind::Compare, 2, kCriteriaGreaterEqual);
      return token(CriteriaTokenKind::Compare, 1, kCriteriaGreater);
    case '=':
      return token(CriteriaTokenKind::Compare, 1, kCriteriaEqual);
    case '!':
      if (peek(1) == '=') return token(CriteriaTokenKind::Compare, 2, kCriteriaNotEqual);
      return token(CriteriaTokenKind::Invalid, 1);
    case '\n':
      return token(CriteriaTokenKind::LineEnd, 1);
    default:
      return token(CriteriaTokenKind::Invalid, 1);
  }
}
