#include "tablestore/number_parsers.h"

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads [+-]digits into an unsigned accumulator (wrapping); false when anything else follows.
template <typename U>
bool ParseWrapped(const char* text, U& magnitude, bool& negative) {
  magnitude = 0;
  negative = false;
  if (!text) return false;
  const char* p = text;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  for (; IsDigit(*p); ++p) magnitude = static_cast<U>(magnitude * 10u + static_cast<U>(*p - '0'));
  return *p == '\0';
}

template <typename S, typename U>
S TextToInteger(const char* text) {
  U magnitude;
  bool negative;
  if (!ParseWrapped(text, magnitude, negative)) return 0;
  return static_cast<S>(negative ? static_cast<U>(U{0} - magnitude) : magnitude);
}

}  // namespace

int32_t TextToInt32(const char* text) {
  return TextToInteger<int32_t, uint32_t>(text);
}

int64_t TextToInt64(const char* text) {
  return TextToInteger<int64_t, uint64_t>(text);
}

double TextToDouble(const char* text) {
  if (!text) return 0;
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  double value = 0;
  for (; IsDigit(*p); ++p) value = value * 10 + (*p - '0');
  if (*p == '.') {
    double divisor = 10;
    for (++p; IsDigit(*p); ++p, divisor *= 10) value += (*p - '0') / divisor;
  }
  if (*p != '\0') return 0;
  return negative ? -value : value;
}
