// Conversions between UTF-8, UTF-16 and the ANSI code page, and small text operations.
#pragma once

#include <cstdint>
#include <string>

#include "win32.h"

// Each returns 1 and fills `out`, or 0 for no input or a failed conversion (then `out` holds the
// zero-filled buffer that was handed over before the conversion, as long as the size query worked).
int ChangeToWideStr(const char* text, std::u16string& out);
int ChangeUtf8ToWideStr(const char* utf8, std::u16string& out);
int ChangeWideToUtf8Str(const char16_t* wide, std::string& out);
int ChangeWideToAnsiStr(const char16_t* wide, std::string& out);
int ChangeAnsiToUTF8Str(const char* ansi, std::string& out);
// The text with the letters A to Z in lower case (no other character changes).
std::string ToLowerUtf8(const char* utf8);

std::string ConcatStrings(const char* first, const char* second);
std::string ReplaceChar(const char* text, char oldChar, char newChar);
// value * 10 + (c - '0') over every character: no sign, no skipping, no check.
int64_t ParseDecimal64(const char* text);

// Logs the system text of the thread's last error at ERROR.
void LogLastError();
