// Value types and data as qvreg's command line writes and shows them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32.h"

namespace qvreg {

using Bytes = std::vector<uint8_t>;

// "REG_SZ" ... (case-insensitive) to the type; none for a name qvreg does not know.
std::optional<DWORD> TypeFromName(std::string_view name);
// The type's name, or its number in hexadecimal ("0x%x") for types without one.
std::string TypeName(DWORD type);

// The bytes to store for `text` given to `add /d`: strings as UTF-16 with terminator (REG_MULTI_SZ
// split at `separator`, "\0" by default), numbers in decimal or 0x-hexadecimal, binary as hex
// digits. None, with a reason in *error, for data that does not fit the type.
std::optional<Bytes> DataFromText(DWORD type, std::string_view text, std::string_view separator, std::string* error);

// The data as `query` prints it: text, 0x-hexadecimal numbers, "\0"-joined strings, hex digits.
std::string DisplayData(DWORD type, const Bytes& data);

// The value of one hexadecimal digit, or -1.
int HexDigitValue(char c);

// Upper-case hexadecimal digits of the bytes, no separators.
std::string HexDigits(const Bytes& data);

}  // namespace qvreg
