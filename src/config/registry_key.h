// One open registry key kept across several reads and writes. Closing happens on Close, on
// replacement by a successful Open or Create, and when the object goes away.
#pragma once

#include <string>

#include "win32.h"

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey();
  RegistryKey(RegistryKey&& other) noexcept;
  RegistryKey& operator=(RegistryKey&& other) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // RegOpenKeyExA / RegCreateKeyExA; on success a key already held is closed and the new one kept,
  // on failure the held key stays. Return the registry's code.
  LONG Open(HKEY hive, const char* keyPath, REGSAM access);
  LONG Create(HKEY hive, const char* keyPath, char* keyClass, DWORD options, REGSAM access,
              const SECURITY_ATTRIBUTES* security, DWORD* disposition);
  void Close();

  // The stored REG_DWORD; the registry's code when the read fails, 13 when the type is another.
  LONG QueryDword(const char* valueName, DWORD* value) const;
  // The stored REG_SZ or REG_EXPAND_SZ text. 13 for another type or a text stored without its
  // terminator; an empty value is an empty text. `storedSize` (when given) receives the stored size.
  LONG QueryString(const char* valueName, std::string& text, DWORD* storedSize = nullptr) const;
  // Stores the text with its terminator; 13 when the text is missing.
  LONG SetString(const char* valueName, const char* text, DWORD type) const;

  HKEY handle() const { return key_; }
  bool IsOpen() const { return key_ != nullptr; }
  // The view bits (KEY_WOW64_32KEY, KEY_WOW64_64KEY) of the access mask the key was opened with.
  REGSAM view() const { return view_; }

 private:
  void Replace(HKEY key, REGSAM access);

  HKEY key_ = nullptr;
  REGSAM view_ = 0;
};
