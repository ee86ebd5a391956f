// Code-page conversions between narrow texts (UTF-8; the ANSI code page is UTF-8 too) and UTF-16.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "types.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD MB_PRECOMPOSED = 0x00000001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;

// cbMultiByte / cchWideChar of -1: the input is NUL-terminated and the terminator is converted too.
// An output size of 0 asks for the size needed. Failures return 0 with the last error set:
// ERROR_INVALID_PARAMETER, ERROR_INVALID_FLAGS, ERROR_INSUFFICIENT_BUFFER, or
// ERROR_NO_UNICODE_TRANSLATION (invalid input when the *_ERR_INVALID_CHARS flag is given; without
// it invalid sequences become U+FFFD).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int cbMultiByte, LPWSTR wide,
                        int cchWideChar);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWideChar, LPSTR multiByte,
                        int cbMultiByte, LPCSTR defaultChar, LPBOOL usedDefaultChar);

namespace qvplatform {

// Strict conversions: nullopt for invalid input (no replacement characters).
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);
std::optional<std::string> Utf16ToUtf8(std::u16string_view utf16);
// Lenient conversions: invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16Lossy(std::string_view utf8);
std::string Utf16ToUtf8Lossy(std::u16string_view utf16);

// Length of a NUL-terminated UTF-16 text (0 for null).
size_t WideLength(LPCWSTR text);

}  // namespace qvplatform
