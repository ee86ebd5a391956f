#include "advapi32/hive_values.h"

#include <cstring>

#include "kernel32/errors.h"

namespace qvplatform {

namespace {

// Closes a key handle on scope exit.
class OpenKey {
 public:
  OpenKey(HKEY root, const std::string& key, REGSAM access) {
    status_ = RegOpenKeyExA(root, key.c_str(), 0, access, &key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() {
    if (status_ == ERROR_SUCCESS) RegCloseKey(key_);
  }
  LSTATUS status() const { return status_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
  LSTATUS status_;
};

// The raw value (A form: string types in UTF-8) and its type.
LSTATUS ReadRaw(HKEY root, const std::string& key, const char* name, DWORD& type, std::vector<BYTE>& data) {
  OpenKey open(root, key, KEY_QUERY_VALUE);
  if (open.status() != ERROR_SUCCESS) return open.status();
  for (;;) {
    DWORD size = static_cast<DWORD>(data.size());
    LSTATUS status = RegQueryValueExA(open.get(), name, nullptr, &type, data.empty() ? nullptr : data.data(), &size);
    if (status == ERROR_SUCCESS && !data.empty()) {
      data.resize(size);
      return ERROR_SUCCESS;
    }
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return status;
    if (size == 0) {
      data.clear();
      return ERROR_SUCCESS;
    }
    data.resize(size);  // the value may grow between the calls: ask again
  }
}

LSTATUS WriteRaw(HKEY root, const std::string& key, const char* name, DWORD type, const BYTE* data, size_t size) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExA(handle, name, 0, type, data, static_cast<DWORD>(size));
  RegCloseKey(handle);
  return status;
}

}  // namespace

HiveRead<std::string> ReadHiveText(HKEY root, const std::string& key, const char* name) {
  HiveRead<std::string> result;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  result.error = ReadRaw(root, key, name, type, data);
  if (result.error != ERROR_SUCCESS) return result;
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    result.error = ERROR_INVALID_DATA;
    return result;
  }
  std::string text(data.begin(), data.end());
  if (auto end = text.find('\0'); end != std::string::npos) text.resize(end);
  result.value = std::move(text);
  return result;
}

HiveRead<DWORD> ReadHiveDword(HKEY root, const std::string& key, const char* name) {
  HiveRead<DWORD> result;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  result.error = ReadRaw(root, key, name, type, data);
  if (result.error != ERROR_SUCCESS) return result;
  if (type != REG_DWORD || data.size() != sizeof(DWORD)) {
    result.error = ERROR_INVALID_DATA;
    return result;
  }
  DWORD value = static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 | static_cast<DWORD>(data[2]) << 16 |
                static_cast<DWORD>(data[3]) << 24;
  result.value = value;
  return result;
}

HiveRead<std::vector<BYTE>> ReadHiveBinary(HKEY root, const std::string& key, const char* name) {
  HiveRead<std::vector<BYTE>> result;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  result.error = ReadRaw(root, key, name, type, data);
  if (result.error != ERROR_SUCCESS) return result;
  if (type != REG_BINARY) {
    result.error = ERROR_INVALID_DATA;
    return result;
  }
  result.value = std::move(data);
  return result;
}

LSTATUS WriteHiveText(HKEY root, const std::string& key, const char* name, const std::string& text) {
  return WriteRaw(root, key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), text.size() + 1);
}

LSTATUS WriteHiveDword(HKEY root, const std::string& key, const char* name, DWORD value) {
  BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                   static_cast<BYTE>(value >> 24)};
  return WriteRaw(root, key, name, REG_DWORD, bytes, sizeof bytes);
}

LSTATUS WriteHiveBinary(HKEY root, const std::string& key, const char* name, const std::vector<BYTE>& data) {
  return WriteRaw(root, key, name, REG_BINARY, data.data(), data.size());
}

LSTATUS HiveKeyExists(HKEY root, const std::string& key) { return OpenKey(root, key, KEY_QUERY_VALUE).status(); }

}  // namespace qvplatform
