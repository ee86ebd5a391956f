// Reading and writing single hive values below HKEY_LOCAL_MACHINE (and other roots), for the parts
// of the platform that keep their facts in the registry.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "advapi32/registry.h"
#include "kernel32/errors.h"
#include "types.h"

namespace qvplatform {

// A value that could not be read carries the registry's code (ERROR_FILE_NOT_FOUND when the key
// or the value is missing, ERROR_INVALID_DATA when its type is not the one asked for).
template <class T>
struct HiveRead {
  std::optional<T> value;
  LSTATUS error = ERROR_SUCCESS;
  explicit operator bool() const { return value.has_value(); }
  const T& operator*() const { return *value; }
  const T* operator->() const { return &*value; }
};

// REG_SZ or REG_EXPAND_SZ as UTF-8, without the terminator.
HiveRead<std::string> ReadHiveText(HKEY root, const std::string& key, const char* name);
HiveRead<DWORD> ReadHiveDword(HKEY root, const std::string& key, const char* name);
HiveRead<std::vector<BYTE>> ReadHiveBinary(HKEY root, const std::string& key, const char* name);

// Creates the key as needed and stores the value; returns the registry's code.
LSTATUS WriteHiveText(HKEY root, const std::string& key, const char* name, const std::string& text);
LSTATUS WriteHiveDword(HKEY root, const std::string& key, const char* name, DWORD value);
LSTATUS WriteHiveBinary(HKEY root, const std::string& key, const char* name, const std::vector<BYTE>& data);

// Whether the key exists: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND or the hive's failure.
LSTATUS HiveKeyExists(HKEY root, const std::string& key);

}  // namespace qvplatform
