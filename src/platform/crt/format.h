// printf-style formatting as the agent's Windows C runtime does it: `%S`, `%ls`, `%ws` (and `%lc`,
// `%C`, `%wc`) take UTF-16 arguments (char16_t texts, converted to UTF-8), a null `%s` prints
// "(null)", and `%I64d`/`%I32d` size prefixes are accepted. The data model is Windows': `long` is 32
// bits, so `%ld`/`%lu`/`%lx` take a LONG/DWORD (`%lld` and `%I64d` take 64-bit values). `%n` is never
// honoured. Everything else behaves as the C library's printf.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace qvplatform {

std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...);

// Formats and writes to a stream; returns the number of bytes written or -1.
int FormatToStream(FILE* stream, const char* format, va_list args);

}  // namespace qvplatform
