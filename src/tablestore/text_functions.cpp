#include "tablestore/text_functions.h"

#include <cstring>
#include <exception>
#include <string_view>

#include "logging/log_core.h"

namespace {

int SignedByte(char c) {
  return static_cast<signed char>(c);
}

char FoldAsciiUpper(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

template <typename Fold>
int CompareWith(const char* a, const char* b, Fold fold) {
  if (!a) return b ? -1 : 0;
  if (!b) return 1;
  for (;; ++a, ++b) {
    const char x = fold(*a);
    const char y = fold(*b);
    if (x != y) return SignedByte(x) - SignedByte(y);
    if (x == '\0') return 0;
  }
}

}  // namespace

size_t StringLength(const char* text) {
  return text ? std::strlen(text) : 0;
}

int CompareStrings(const char* a, const char* b) {
  return CompareWith(a, b, [](char c) { return c; });
}

int CompareStringsNoCase(const char* a, const char* b) {
  return CompareWith(a, b, FoldAsciiUpper);
}

bool FindSubString(const char* text, const char* pattern) {
  LogTrace("\n\t@@@@@ Inside FindSubString() @@@@@ \n");
  if (!text || !pattern) return false;
  return std::string_view(text).find(pattern) != std::string_view::npos;
}

int CountSubString(const char* text, const char* pattern) {
  if (!text || !pattern) return -1;
  const std::string_view haystack(text);
  const std::string_view needle(pattern);
  if (needle.empty()) return 0;
  int count = 0;
  for (size_t at = haystack.find(needle); at != std::string_view::npos;
       at = haystack.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

int IndexOfSubString(const char* text, const char* pattern) {
  if (!text || !pattern) return -1;
  const size_t at = std::string_view(text).find(pattern);
  return at == std::string_view::npos ? 0 : static_cast<int>(at);
}

std::optional<std::string> SubStringBefore(const char* text, const char* pattern) {
  if (!text || !pattern) return std::nullopt;
  const std::string_view haystack(text);
  const size_t at = haystack.find(pattern);
  try {
    return std::string(haystack.substr(0, at == std::string_view::npos ? 0 : at));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> SubStringAfter(const char* text, const char* pattern) {
  if (!text || !pattern) return std::nullopt;
  const std::string_view haystack(text);
  const size_t at = haystack.find(pattern);
  if (at == std::string_view::npos) return std::nullopt;
  try {
    return std::string(haystack.substr(at + std::strlen(pattern)));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::vector<std::string>> SplitString(const char* text, const char* separator) {
  if (!text || !separator) return std::nullopt;
  const std::string_view rest(text);
  const std::string_view sep(separator);
  try {
    std::vector<std::string> parts;
    size_t from = 0;
    if (!sep.empty()) {
      for (size_t at = rest.find(sep); at != std::string_view::npos; at = rest.find(sep, from)) {
        parts.emplace_back(rest.substr(from, at - from));
        from = at + sep.size();
      }
    }
    parts.emplace_back(rest.substr(from));
    return parts;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}
