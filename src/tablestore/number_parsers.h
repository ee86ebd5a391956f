// Strict text-to-number parsers: an optional sign and decimal digits (and for TextToDouble an
// optional "." with more digits). No blanks, exponent or hexadecimal: a text with any other
// character, and an empty or missing text, gives 0. Integers wrap on overflow.
#pragma once

#include <cstdint>

int32_t TextToInt32(const char* text);
int64_t TextToInt64(const char* text);
double TextToDouble(const char* text);
