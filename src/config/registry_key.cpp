#include "config/registry_key.h"

#include <cstring>
#include <utility>
#include <vector>

RegistryKey::~RegistryKey() { Close(); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : key_(std::exchange(other.key_, nullptr)), view_(std::exchange(other.view_, 0)) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = std::exchange(other.key_, nullptr);
    view_ = std::exchange(other.view_, 0);
  }
  return *this;
}

void RegistryKey::Replace(HKEY key, REGSAM access) {
  Close();
  key_ = key;
  view_ = access & KEY_WOW64_RES;
}

LONG RegistryKey::Open(HKEY hive, const char* keyPath, REGSAM access) {
  HKEY key = nullptr;
  LONG code = RegOpenKeyExA(hive, keyPath, 0, access, &key);
  if (code == ERROR_SUCCESS) Replace(key, access);
  return code;
}

LONG RegistryKey::Create(HKEY hive, const char* keyPath, char* keyClass, DWORD options, REGSAM access,
                         const SECURITY_ATTRIBUTES* security, DWORD* disposition) {
  HKEY key = nullptr;
  LONG code = RegCreateKeyExA(hive, keyPath, 0, keyClass, options, access, security, &key, disposition);
  if (code == ERROR_SUCCESS) Replace(key, access);
  return code;
}

void RegistryKey::Close() {
  if (key_ != nullptr) RegCloseKey(key_);
  key_ = nullptr;
  view_ = 0;
}

LONG RegistryKey::QueryDword(const char* valueName, DWORD* value) const {
  if (value == nullptr) return ERROR_INVALID_DATA;
  DWORD type = 0;
  DWORD size = sizeof(DWORD);
  LONG code = RegQueryValueExA(key_, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  if (code != ERROR_SUCCESS) return code;
  return type == REG_DWORD ? ERROR_SUCCESS : static_cast<LONG>(ERROR_INVALID_DATA);
}

LONG RegistryKey::QueryString(const char* valueName, std::string& text, DWORD* storedSize) const {
  DWORD type = 0;
  DWORD size = 0;
  LONG code = RegQueryValueExA(key_, valueName, nullptr, &type, nullptr, &size);
  if (code != ERROR_SUCCESS) return code;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  std::vector<char> buffer(size + 1, '\0');
  code = RegQueryValueExA(key_, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (code != ERROR_SUCCESS) return code;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  if (size > 0 && buffer[size - 1] != '\0') return ERROR_INVALID_DATA;
  text.assign(buffer.data());
  if (storedSize != nullptr) *storedSize = size;
  return ERROR_SUCCESS;
}

LONG RegistryKey::SetString(const char* valueName, const char* text, DWORD type) const {
  if (text == nullptr) return ERROR_INVALID_DATA;
  return RegSetValueExA(key_, valueName, 0, type, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1));
}
