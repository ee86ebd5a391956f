#include "kernel32/wildcard.h"

#include <utility>
#include <vector>

namespace qvplatform {

namespace {

enum class Token { kLiteral, kStar, kStarBeforeDot, kQuestion, kDot };

struct PatternItem {
  Token token;
  char literal;
};

std::vector<PatternItem> Compile(std::string_view pattern) {
  std::vector<PatternItem> items;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '?') {
      items.push_back({Token::kQuestion, c});
    } else if (c == '*') {
      items.push_back({next == '.' ? Token::kStarBeforeDot : Token::kStar, c});
    } else if (c == '.' && (next == '?' || next == '*' || next == '\0')) {
      items.push_back({Token::kDot, c});
    } else {
      items.push_back({Token::kLiteral, c});
    }
  }
  return items;
}

class Matcher {
 public:
  Matcher(std::vector<PatternItem> items, std::string_view name)
      : items_(std::move(items)), name_(name), lastDot_(name.rfind('.')),
        memo_((items_.size() + 1) * (name.size() + 1), kUnknown) {}

  bool Match(size_t p, size_t n) {
    char& known = memo_[p * (name_.size() + 1) + n];
    if (known == kUnknown) known = Compute(p, n) ? kYes : kNo;
    return known == kYes;
  }

 private:
  static constexpr char kUnknown = 0, kYes = 1, kNo = 2;

  bool Compute(size_t p, size_t n) {
    if (p == items_.size()) return n == name_.size();
    const PatternItem& item = items_[p];
    bool atEnd = n == name_.size();
    switch (item.token) {
      case Token::kLiteral: return !atEnd && name_[n] == item.literal && Match(p + 1, n + 1);
      case Token::kStar:
        for (size_t k = n; k <= name_.size(); ++k) {
          if (Match(p + 1, k)) return true;
        }
        return false;
      case Token::kStarBeforeDot: {
        size_t limit = name_.size();
        if (lastDot_ != std::string_view::npos && lastDot_ >= n) limit = lastDot_;
        for (size_t k = n; k <= limit; ++k) {
          if (Match(p + 1, k)) return true;
        }
        return false;
      }
      case Token::kQuestion: {
        if (!atEnd && name_[n] != '.') return Match(p + 1, n + 1);
        size_t q = p;
        while (q < items_.size() && items_[q].token == Token::kQuestion) ++q;
        return Match(q, n);
      }
      case Token::kDot:
        if (atEnd) return Match(p + 1, n);
        return name_[n] == '.' && Match(p + 1, n + 1);
    }
    return false;
  }

  std::vector<PatternItem> items_;
  std::string_view name_;
  size_t lastDot_;
  std::vector<char> memo_;
};

}  // namespace

bool MatchesFilePattern(std::string_view pattern, std::string_view name) {
  return Matcher(Compile(pattern), name).Match(0, 0);
}

bool HasWildcards(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

}  // namespace qvplatform
