#include "advapi32/registry.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "advapi32/registry_data.h"
#include "advapi32/registry_store.h"
#include "kernel32/conversions.h"
#include "kernel32/errors.h"
#include "kernel32/handles.h"

namespace qvplatform {

std::string RegistryPath() {
  const char* path = std::getenv("QVAGENT_REGISTRY");
  return (path && *path) ? path : "/var/lib/qvagent/registry.db";
}

namespace registry {
namespace {

// An open key: the hive it belongs to, its row, and the rights it was opened with.
struct KeyObject : KernelObject {
  KeyObject(std::shared_ptr<Store> s, KeyId k, REGSAM a) : store(std::move(s)), id(k), access(a) {}
  std::shared_ptr<Store> store;
  KeyId id;
  REGSAM access;
};

struct Target {
  std::shared_ptr<Store> store;
  KeyId id = 0;
  REGSAM access = 0;
};

// The store of the hive RegistryPath names now; reopened when the path changes or in a forked
// child (which must not use its parent's connection).
DWORD CurrentStore(std::shared_ptr<Store>* out) {
  static std::mutex mutex;
  static std::shared_ptr<Store> current;
  std::string path = RegistryPath();
  std::lock_guard lock(mutex);
  if (!current || current->path() != path || current->pid() != getpid()) {
    std::shared_ptr<Store> opened;
    if (DWORD code = Store::Open(path, &opened); code != ERROR_SUCCESS) return code;
    current = std::move(opened);
  }
  *out = current;
  return ERROR_SUCCESS;
}

// The predefined root a handle value stands for (accepting the sign-extended spelling), or 0.
uintptr_t PredefinedRoot(HKEY key) {
  auto value = reinterpret_cast<uintptr_t>(key);
  if constexpr (sizeof(uintptr_t) > 4) {
    uint64_t high = static_cast<uint64_t>(value) >> 32;
    if (high != 0 && high != 0xFFFFFFFFu) return 0;
  }
  auto low = static_cast<uint32_t>(value);
  return (low >= 0x80000000u && low <= 0x8000000Fu) ? low : 0;
}

DWORD Resolve(HKEY key, Target* target) {
  if (uintptr_t root = PredefinedRoot(key)) {
    if (DWORD code = CurrentStore(&target->store); code != ERROR_SUCCESS) return code;
    target->access = KEY_ALL_ACCESS;
    return target->store->Root(root, &target->id);
  }
  auto object = std::dynamic_pointer_cast<KeyObject>(LookupObject(key));
  if (!object) return ERROR_INVALID_HANDLE;
  target->store = object->store;
  target->id = object->id;
  target->access = object->access;
  return ERROR_SUCCESS;
}

// Resolve, and check that the handle was opened with `right`.
DWORD Resolve(HKEY key, REGSAM right, Target* target) {
  if (DWORD code = Resolve(key, target); code != ERROR_SUCCESS) return code;
  return (target->access & right) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// The class of a key is always empty.
template <class Char>
void ReturnNoClass(Char* className, LPDWORD classSize) {
  if (!classSize) return;
  if (className && *classSize > 0) className[0] = Char();
  *classSize = 0;
}

void ReturnFileTime(int64_t ticks, LPFILETIME time) {
  if (!time) return;
  time->dwLowDateTime = static_cast<DWORD>(ticks);
  time->dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
}

// Splits a subkey path into its names. A trailing (or doubled) backslash adds no name; a leading
// one is refused as Windows does.
DWORD SplitPath(const std::optional<std::u16string>& subKey, std::vector<std::u16string>* names) {
  names->clear();
  if (!subKey || subKey->empty()) return ERROR_SUCCESS;
  if ((*subKey)[0] == u'\\') return ERROR_BAD_PATHNAME;
  size_t start = 0;
  while (start < subKey->size()) {
    size_t end = std::min(subKey->find(u'\\', start), subKey->size());
    if (end > start) {
      if (end - start > QV_REG_MAX_KEY_NAME) return ERROR_INVALID_PARAMETER;
      names->push_back(subKey->substr(start, end - start));
    }
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

std::optional<std::u16string> Wide(LPCSTR text) {
  if (!text) return std::nullopt;
  return Utf8ToUtf16Lossy(text);
}

std::optional<std::u16string> Wide(LPCWSTR text) {
  if (!text) return std::nullopt;
  return std::u16string(text);
}

std::u16string NameOrDefault(const std::optional<std::u16string>& name) { return name.value_or(u""); }

DWORD NewHandle(const Target& parent, KeyId id, REGSAM access, PHKEY result) {
  HANDLE handle = InsertHandle(std::make_shared<KeyObject>(parent.store, id, access));
  if (!handle) return ERROR_NOT_ENOUGH_MEMORY;
  *result = reinterpret_cast<HKEY>(handle);
  return ERROR_SUCCESS;
}

// Copies a name into a caller's buffer of `capacity` characters (terminator included).
template <class Char>
DWORD CopyName(const std::basic_string<Char>& name, Char* buffer, DWORD capacity) {
  if (name.size() + 1 > capacity) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.data(), name.size() * sizeof(Char));
  buffer[name.size()] = Char();
  return ERROR_SUCCESS;
}

template <class Char>
std::basic_string<Char> Narrowed(const std::u16string& name);
template <>
std::string Narrowed<char>(const std::u16string& name) {
  return Utf16ToUtf8Lossy(name);
}
template <>
std::u16string Narrowed<char16_t>(const std::u16string& name) {
  return name;
}

// The "buffer too small, here is the size" protocol of value data.
DWORD ReturnData(const Bytes& data, LPBYTE buffer, LPDWORD size) {
  if (!size) return ERROR_SUCCESS;
  if (buffer && *size < data.size()) {
    *size = static_cast<DWORD>(data.size());
    return ERROR_MORE_DATA;
  }
  if (buffer && !data.empty()) std::memcpy(buffer, data.data(), data.size());
  *size = static_cast<DWORD>(data.size());
  return ERROR_SUCCESS;
}

LSTATUS OpenKey(HKEY key, const std::optional<std::u16string>& subKey, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::vector<std::u16string> names;
  if (DWORD code = SplitPath(subKey, &names); code != ERROR_SUCCESS) return code;
  Target target;
  if (DWORD code = Resolve(key, &target); code != ERROR_SUCCESS) return code;
  KeyId id = 0;
  if (DWORD code = target.store->OpenKey(target.id, names, &id); code != ERROR_SUCCESS) return code;
  return NewHandle(target, id, access, result);
}

// RegOpenKey: without a subkey the very handle passed in comes back; otherwise a full-access open.
template <class Char>
LSTATUS OpenKeyOrSame(HKEY key, const Char* subKey, PHKEY result) {
  if (result && (!subKey || !*subKey)) {
    Target target;
    if (DWORD code = Resolve(key, &target); code != ERROR_SUCCESS) return code;
    *result = key;
    return ERROR_SUCCESS;
  }
  return OpenKey(key, Wide(subKey), KEY_ALL_ACCESS, result);
}

LSTATUS CreateKey(HKEY key, const std::optional<std::u16string>& subKey, REGSAM access, PHKEY result,
                  LPDWORD disposition) {
  if (!result || !subKey) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::vector<std::u16string> names;
  if (DWORD code = SplitPath(subKey, &names); code != ERROR_SUCCESS) return code;
  Target target;
  if (DWORD code = Resolve(key, &target); code != ERROR_SUCCESS) return code;
  KeyId id = 0;
  bool created = false;
  if (DWORD code = target.store->CreateKey(target.id, names, &id, &created); code != ERROR_SUCCESS)
    return code;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return NewHandle(target, id, access, result);
}

LSTATUS QueryValue(HKEY key, const std::optional<std::u16string>& name, LPDWORD type, LPBYTE data,
                   LPDWORD size, bool ansi) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  Target target;
  if (DWORD code = Resolve(key, KEY_QUERY_VALUE, &target); code != ERROR_SUCCESS) return code;
  ValueRecord value;
  if (DWORD code = target.store->QueryValue(target.id, NameOrDefault(name), &value); code != ERROR_SUCCESS)
    return code;
  if (type) *type = value.type;
  return ReturnData(ansi ? StoredToAnsi(value.type, value.data) : value.data, data, size);
}

LSTATUS SetValue(HKEY key, const std::optional<std::u16string>& name, DWORD type, const BYTE* data,
                 DWORD size, bool ansi) {
  if (!data && size) return ERROR_NOACCESS;
  std::u16string valueName = NameOrDefault(name);
  if (valueName.size() > QV_REG_MAX_VALUE_NAME) return ERROR_INVALID_PARAMETER;
  Target target;
  if (DWORD code = Resolve(key, KEY_SET_VALUE, &target); code != ERROR_SUCCESS) return code;
  Bytes stored = ansi ? AnsiToStored(type, data, size) : Bytes(data, data + size);
  return target.store->SetValue(target.id, valueName, type, stored.data(), stored.size());
}

LSTATUS DeleteValue(HKEY key, const std::optional<std::u16string>& name) {
  Target target;
  if (DWORD code = Resolve(key, KEY_SET_VALUE, &target); code != ERROR_SUCCESS) return code;
  return target.store->DeleteValue(target.id, NameOrDefault(name));
}

// Opens the key named by `subKey` below `key` for a deletion.
DWORD FindForDelete(HKEY key, const std::optional<std::u16string>& subKey, Target* target, KeyId* id) {
  std::vector<std::u16string> names;
  if (DWORD code = SplitPath(subKey, &names); code != ERROR_SUCCESS) return code;
  if (DWORD code = Resolve(key, target); code != ERROR_SUCCESS) return code;
  return target->store->OpenKey(target->id, names, id);
}

LSTATUS DeleteKey(HKEY key, const std::optional<std::u16string>& subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  Target target;
  KeyId id = 0;
  if (DWORD code = FindForDelete(key, subKey, &target, &id); code != ERROR_SUCCESS) return code;
  return target.store->DeleteKey(id);
}

LSTATUS DeleteTree(HKEY key, const std::optional<std::u16string>& subKey) {
  Target target;
  KeyId id = 0;
  if (DWORD code = FindForDelete(key, subKey, &target, &id); code != ERROR_SUCCESS) return code;
  return target.store->DeleteTree(id, subKey.has_value());
}

template <class Char>
LSTATUS EnumKey(HKEY key, DWORD index, Char* name, LPDWORD nameSize, Char* className, LPDWORD classSize,
                LPFILETIME lastWrite) {
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  Target target;
  if (DWORD code = Resolve(key, KEY_ENUMERATE_SUB_KEYS, &target); code != ERROR_SUCCESS) return code;
  KeyRecord record;
  if (DWORD code = target.store->EnumKey(target.id, index, &record); code != ERROR_SUCCESS) return code;
  auto converted = Narrowed<Char>(record.name);
  if (DWORD code = CopyName(converted, name, *nameSize); code != ERROR_SUCCESS) return code;
  *nameSize = static_cast<DWORD>(converted.size());
  ReturnNoClass(className, classSize);
  ReturnFileTime(record.lastWrite, lastWrite);
  return ERROR_SUCCESS;
}

template <class Char>
LSTATUS EnumValue(HKEY key, DWORD index, Char* name, LPDWORD nameSize, LPDWORD type, LPBYTE data,
                  LPDWORD dataSize, bool ansi) {
  if (!name || !nameSize || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  Target target;
  if (DWORD code = Resolve(key, KEY_QUERY_VALUE, &target); code != ERROR_SUCCESS) return code;
  ValueRecord value;
  if (DWORD code = target.store->EnumValue(target.id, index, &value); code != ERROR_SUCCESS) return code;
  auto converted = Narrowed<Char>(value.name);
  if (DWORD code = CopyName(converted, name, *nameSize); code != ERROR_SUCCESS) return code;
  *nameSize = static_cast<DWORD>(converted.size());
  if (type) *type = value.type;
  return ReturnData(ansi ? StoredToAnsi(value.type, value.data) : value.data, data, dataSize);
}

template <class Char>
LSTATUS QueryInfoKey(HKEY key, Char* className, LPDWORD classSize, LPDWORD subKeys, LPDWORD maxSubKeyLen,
                     LPDWORD maxClassLen, LPDWORD values, LPDWORD maxValueNameLen, LPDWORD maxValueLen,
                     LPDWORD securityDescriptorSize, LPFILETIME lastWrite, bool ansi) {
  Target target;
  if (DWORD code = Resolve(key, KEY_QUERY_VALUE, &target); code != ERROR_SUCCESS) return code;
  const bool details = maxSubKeyLen || maxValueNameLen || maxValueLen;
  KeyStats stats;
  if (DWORD code = target.store->Stats(target.id, details, &stats); code != ERROR_SUCCESS) return code;
  size_t longestKey = 0, longestName = 0, longestData = 0;
  for (const auto& name : stats.subKeyNames) longestKey = std::max(longestKey, Narrowed<Char>(name).size());
  for (const auto& value : stats.valueRecords) {
    longestName = std::max(longestName, Narrowed<Char>(value.name).size());
    longestData = std::max(longestData, ansi ? StoredToAnsi(value.type, value.data).size() : value.data.size());
  }
  ReturnNoClass(className, classSize);
  if (subKeys) *subKeys = stats.subKeys;
  if (maxSubKeyLen) *maxSubKeyLen = static_cast<DWORD>(longestKey);
  if (maxClassLen) *maxClassLen = 0;
  if (values) *values = stats.values;
  if (maxValueNameLen) *maxValueNameLen = static_cast<DWORD>(longestName);
  if (maxValueLen) *maxValueLen = static_cast<DWORD>(longestData);
  if (securityDescriptorSize) *securityDescriptorSize = 0;
  ReturnFileTime(stats.lastWrite, lastWrite);
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace registry

RegistryTransaction::RegistryTransaction() {
  status_ = registry::CurrentStore(&store_);
  if (status_ == ERROR_SUCCESS) status_ = store_->BeginExplicit();
  if (status_ != ERROR_SUCCESS) store_.reset();
}

RegistryTransaction::~RegistryTransaction() {
  if (store_) store_->RollbackExplicit();
}

LSTATUS RegistryTransaction::Commit() {
  if (!store_) return status_ == ERROR_SUCCESS ? ERROR_INVALID_FUNCTION : status_;
  LSTATUS code = store_->CommitExplicit();
  store_.reset();
  return code;
}

}  // namespace qvplatform

using namespace qvplatform::registry;

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  return OpenKey(hKey, Wide(lpSubKey), samDesired, phkResult);
}

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  return OpenKey(hKey, Wide(lpSubKey), samDesired, phkResult);
}

LSTATUS RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  return OpenKeyOrSame(hKey, lpSubKey, phkResult);
}

LSTATUS RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult) {
  return OpenKeyOrSame(hKey, lpSubKey, phkResult);
}

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                        const SECURITY_ATTRIBUTES*, PHKEY phkResult, LPDWORD lpdwDisposition) {
  return CreateKey(hKey, Wide(lpSubKey), samDesired, phkResult, lpdwDisposition);
}

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired,
                        const SECURITY_ATTRIBUTES*, PHKEY phkResult, LPDWORD lpdwDisposition) {
  return CreateKey(hKey, Wide(lpSubKey), samDesired, phkResult, lpdwDisposition);
}

LSTATUS RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (phkResult && (!lpSubKey || !*lpSubKey)) return RegOpenKeyA(hKey, nullptr, phkResult);
  return CreateKey(hKey, Wide(lpSubKey), KEY_ALL_ACCESS, phkResult, nullptr);
}

LSTATUS RegCloseKey(HKEY hKey) {
  if (PredefinedRoot(hKey)) return ERROR_SUCCESS;
  if (!std::dynamic_pointer_cast<KeyObject>(qvplatform::LookupObject(hKey))) return ERROR_INVALID_HANDLE;
  DWORD lastError = GetLastError();
  bool removed = qvplatform::RemoveHandle(hKey) != nullptr;
  SetLastError(lastError);
  return removed ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegFlushKey(HKEY hKey) {
  Target target;
  return Resolve(hKey, &target);
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
  return QueryValue(hKey, Wide(lpValueName), lpType, lpData, lpcbData, true);
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
  return QueryValue(hKey, Wide(lpValueName), lpType, lpData, lpcbData, false);
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  return SetValue(hKey, Wide(lpValueName), dwType, lpData, cbData, true);
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  return SetValue(hKey, Wide(lpValueName), dwType, lpData, cbData, false);
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) { return DeleteValue(hKey, Wide(lpValueName)); }

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) { return DeleteValue(hKey, Wide(lpValueName)); }

LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) { return DeleteKey(hKey, Wide(lpSubKey)); }

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) { return DeleteKey(hKey, Wide(lpSubKey)); }

LSTATUS RegDeleteKeyExA(HKEY hKey, LPCSTR lpSubKey, REGSAM, DWORD) { return DeleteKey(hKey, Wide(lpSubKey)); }

LSTATUS RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM, DWORD) { return DeleteKey(hKey, Wide(lpSubKey)); }

LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) { return DeleteTree(hKey, Wide(lpSubKey)); }

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) { return DeleteTree(hKey, Wide(lpSubKey)); }

LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  return EnumKey<char>(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr);
}

LSTATUS RegEnumKeyW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD cchName) {
  return EnumKey<char16_t>(hKey, dwIndex, lpName, &cchName, nullptr, nullptr, nullptr);
}

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR lpClass,
                      LPDWORD lpcchClass, LPFILETIME lpftLastWriteTime) {
  return EnumKey<char>(hKey, dwIndex, lpName, lpcchName, lpClass, lpcchClass, lpftLastWriteTime);
}

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                      LPDWORD lpcchClass, LPFILETIME lpftLastWriteTime) {
  return EnumKey<char16_t>(hKey, dwIndex, lpName, lpcchName, lpClass, lpcchClass, lpftLastWriteTime);
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return EnumValue<char>(hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData, lpcbData, true);
}

LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return EnumValue<char16_t>(hKey, dwIndex, lpValueName, lpcchValueName, lpType, lpData, lpcbData, false);
}

LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         LPFILETIME lpftLastWriteTime) {
  return QueryInfoKey<char>(hKey, lpClass, lpcchClass, lpcSubKeys, lpcbMaxSubKeyLen, lpcbMaxClassLen, lpcValues,
                            lpcbMaxValueNameLen, lpcbMaxValueLen, lpcbSecurityDescriptor, lpftLastWriteTime, true);
}

LSTATUS RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         LPFILETIME lpftLastWriteTime) {
  return QueryInfoKey<char16_t>(hKey, lpClass, lpcchClass, lpcSubKeys, lpcbMaxSubKeyLen, lpcbMaxClassLen,
                                lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen, lpcbSecurityDescriptor,
                                lpftLastWriteTime, false);
}
