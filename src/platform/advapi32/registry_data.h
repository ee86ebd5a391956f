// Value data as the hive stores it (Windows' byte layouts) and the name folding behind the
// case-insensitive comparison of key and value names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "types.h"

namespace qvplatform::registry {

using Bytes = std::vector<uint8_t>;

// UTF-16LE bytes of `text`, with a terminator when `terminate` is set.
Bytes EncodeUtf16(std::u16string_view text, bool terminate);
// The UTF-16 code units of little-endian bytes (an odd last byte is dropped).
std::u16string DecodeUtf16(const uint8_t* data, size_t size);
Bytes EncodeDword(uint32_t value);
Bytes EncodeQword(uint64_t value);
// REG_MULTI_SZ layout: every string with its terminator, then the empty string that ends the list.
Bytes EncodeMultiString(const std::vector<std::u16string>& strings);
// The strings of REG_MULTI_SZ data; a missing final terminator is tolerated.
std::vector<std::u16string> DecodeMultiString(const uint8_t* data, size_t size);

bool IsStringType(DWORD type);
// Stored data as the A functions return it: string types converted to UTF-8 (terminators kept),
// any other type unchanged.
Bytes StoredToAnsi(DWORD type, const Bytes& stored);
// The reverse, for data handed to the A functions.
Bytes AnsiToStored(DWORD type, const uint8_t* data, size_t size);

// The form names are compared in: each UTF-16 unit mapped to upper case as Windows does (simple
// case mapping, no change of length), as UTF-8.
std::string FoldName(std::u16string_view name);

}  // namespace qvplatform::registry
