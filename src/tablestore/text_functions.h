// Text functions of the framework. Texts are C strings; a missing text (nullptr) is allowed where
// the result for it is stated. Functions that return a new text return it by value.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Bytes before the terminating 0; 0 for a missing text.
size_t StringLength(const char* text);
// Case-sensitive comparison: 0 when both are missing or equal, -1 when only a is missing, 1 when only
// b is; otherwise the difference of the first differing bytes taken as signed 8-bit values.
int CompareStrings(const char* a, const char* b);
// The same, with only the letters A to Z folded to a to z.
int CompareStringsNoCase(const char* a, const char* b);
// True when pattern occurs in text (case-sensitive).
bool FindSubString(const char* text, const char* pattern);
// Non-overlapping occurrences scanning from the left; -1 when either is missing, 0 for an empty
// pattern.
int CountSubString(const char* text, const char* pattern);
// Position of the first occurrence; 0 when there is none, -1 when either is missing.
int IndexOfSubString(const char* text, const char* pattern);
// The part before the first occurrence (empty when the pattern does not occur); none when either is
// missing.
std::optional<std::string> SubStringBefore(const char* text, const char* pattern);
// The part after the first occurrence; none when either is missing or the pattern does not occur.
std::optional<std::string> SubStringAfter(const char* text, const char* pattern);
// The texts between the occurrences of separator: CountSubString + 1 parts, the last one the text
// after the last separator. None when either is missing.
std::optional<std::vector<std::string>> SplitString(const char* text, const char* separator);
