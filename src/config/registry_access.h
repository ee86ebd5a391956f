// Typed reads, writes and removals of registry values and keys. Each operation opens its key, does
// one thing, closes the key and returns the registry's own status code (0 success, 2 not found,
// 234 more data, ...); 13 means an argument or type check failed. Nothing is cached.
#pragma once

#include <optional>
#include <string>

#include "win32.h"

// The 32-bit value stored under `valueName` (its type is not examined; up to 4 bytes are copied into
// the low end of *value, a longer value gives 234). 2 when the key or the value does not exist.
LONG ReadDwordRegistryData(HKEY hive, const char* keyPath, const char* valueName, DWORD* value);

// The value's bytes as a narrow text, up to the first zero byte (its type is not examined). `value`
// is reset first; it holds a text whenever the value's size could be learned, so a failed read
// after that leaves an empty text. 2 when the value is missing.
LONG ReadRegSZ(HKEY hive, const char* keyPath, const char* valueName, std::optional<std::string>& value);
// As ReadRegSZ, read through the wide interface: the value as UTF-16 text. `valueName` is UTF-8.
LONG ReadRegSZEx(HKEY hive, const char* keyPath, const char* valueName,
                 std::optional<std::u16string>& value);
// As ReadRegSZ, from the 64-bit view when the process runs under WOW64 (gv_isWow64Process).
LONG ReadRegSZ64(HKEY hive, const char* keyPath, const char* valueName, std::optional<std::string>& value);

// 0 when the key exists afterwards (created with any missing parents, or already there).
LONG addRegistryKey(HKEY hive, const char* keyPath);

// Stores `data` (UTF-8 text) under `valueName` (UTF-8) with `type`, creating the key path first.
// REG_SZ, REG_EXPAND_SZ and REG_BINARY store the UTF-16 text with its terminator, REG_MULTI_SZ a
// list of that one text, REG_DWORD the text's leading decimal integer (0 when none), REG_QWORD the
// text's digits as ParseDecimal64 reads them. The name "--" is the key's default value; the data
// "--" is empty data. 13 when the name or the data is missing, cannot be converted, or the type is
// none of these; nothing is written then.
LONG writeValue(HKEY hive, const char* keyPath, const char* valueName, const char* data, DWORD type);

// Removes a value ("--" names the default value).
LONG deleteValue(HKEY hive, const char* keyPath, const char* valueName);
LONG deleteValue(HKEY hive, const char16_t* keyPath, const char16_t* valueName);

// 1 when the key and every key below it were removed, else 0. A missing, null or empty key path
// gives 0 and removes nothing.
int DeleteRegistryTree(HKEY hive, const char* keyPath);
