// The registry: keys and typed values in one hive file shared by every process on the machine.
//
// The hive is an SQLite database (see RegistryPath). Key and value names are compared without
// regard to case and keep the case they were created with. Data is stored as Windows stores it:
// strings as UTF-16LE (with the terminator the writer passed), REG_DWORD and REG_QWORD
// little-endian. The A functions take and return UTF-8 and convert names and string data.
//
// Every function returns a system error code (ERROR_SUCCESS on success) and leaves the thread's
// last error alone. Failures of the hive file itself come back as ERROR_ACCESS_DENIED (unreadable
// or read-only), ERROR_REGISTRY_CORRUPT (not a hive), ERROR_PATH_NOT_FOUND (its folder cannot be
// made), ERROR_DISK_FULL or ERROR_REGISTRY_IO_FAILED. Contention between processes is waited out.
#pragma once

#include <memory>
#include <string>

#include "types.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LSTATUS = LONG;

// Predefined root keys. They need no opening and closing them does nothing.
inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000003u));
inline const HKEY HKEY_CURRENT_CONFIG = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000005u));

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_RESOURCE_LIST = 8;
constexpr DWORD REG_FULL_RESOURCE_DESCRIPTOR = 9;
constexpr DWORD REG_RESOURCE_REQUIREMENTS_LIST = 10;
constexpr DWORD REG_QWORD = 11;
constexpr DWORD REG_QWORD_LITTLE_ENDIAN = 11;

// Access rights of a key handle. Reading values needs KEY_QUERY_VALUE, writing and deleting them
// KEY_SET_VALUE, enumerating subkeys KEY_ENUMERATE_SUB_KEYS; other rights are accepted and not
// checked. There is one registry view: the WOW64 bits are accepted and ignored.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_WOW64_RES = 0x0300;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_EXECUTE = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Options of RegCreateKeyEx. Every key persists: a volatile key is kept like any other.
constexpr DWORD REG_OPTION_RESERVED = 0;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_OPTION_VOLATILE = 1;

// Dispositions reported by RegCreateKeyEx.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Longest key name component and value name, in UTF-16 code units.
constexpr DWORD QV_REG_MAX_KEY_NAME = 255;
constexpr DWORD QV_REG_MAX_VALUE_NAME = 16383;

// Subkey paths are backslash-separated below hKey; a trailing backslash is ignored, a leading one
// fails with ERROR_BAD_PATHNAME. A null or empty subkey names hKey itself. A missing key gives
// ERROR_FILE_NOT_FOUND; a handle whose key was deleted meanwhile gives ERROR_KEY_DELETED.
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
// Opens with full access.
LSTATUS RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
LSTATUS RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult);
// Creates every missing key of the path (all in one transaction) or opens the existing key;
// *lpdwDisposition (when given) tells which. Class and security are accepted and not kept.
LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, const SECURITY_ATTRIBUTES* lpSecurityAttributes,
                        PHKEY phkResult, LPDWORD lpdwDisposition);
LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, const SECURITY_ATTRIBUTES* lpSecurityAttributes,
                        PHKEY phkResult, LPDWORD lpdwDisposition);
LSTATUS RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
LSTATUS RegCloseKey(HKEY hKey);
// No-op: every write is durable when it returns.
LSTATUS RegFlushKey(HKEY hKey);

// A null or empty value name is the key's default value. With lpData null and lpcbData given, the
// size is returned with ERROR_SUCCESS; a buffer too small gives ERROR_MORE_DATA with the size
// needed in *lpcbData (and the type in *lpType). The A form returns string types (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ) converted to UTF-8, and its sizes are those of the UTF-8 form.
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData);
LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData);
// Stores cbData bytes as given (the A form converts string types from UTF-8 to UTF-16 first; a
// terminator is stored only when it is among the bytes passed).
LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData);
LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData);
LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);

// Deletes a key without subkeys (a key with subkeys or a root key: ERROR_ACCESS_DENIED). Handles
// still open on it then fail with ERROR_KEY_DELETED.
LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
LSTATUS RegDeleteKeyExA(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, DWORD Reserved);
LSTATUS RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved);
// Deletes the subkey with everything below it, in one transaction. With a null subkey, deletes
// the values and subkeys of hKey and keeps hKey itself.
LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);
LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);

// Subkeys enumerate in the order of their names (without regard to case), values in the order
// they were first set. ERROR_NO_MORE_ITEMS past the end; ERROR_MORE_DATA when a name does not fit
// (cchName counts characters including the terminator for RegEnumKey; *lpcchName counts them
// without it on return).
LSTATUS RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName);
LSTATUS RegEnumKeyW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD cchName);
LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPSTR lpClass, LPDWORD lpcchClass, LPFILETIME lpftLastWriteTime);
LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPWSTR lpClass, LPDWORD lpcchClass, LPFILETIME lpftLastWriteTime);
LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                      LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                      LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
// Counts and longest lengths of a key's subkeys and values (names in characters without the
// terminator; data in bytes, for the A form as the A functions return it).
LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                         LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                         LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                         LPDWORD lpcbSecurityDescriptor, LPFILETIME lpftLastWriteTime);
LSTATUS RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                         LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                         LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                         LPDWORD lpcbSecurityDescriptor, LPFILETIME lpftLastWriteTime);

namespace qvplatform {

namespace registry {
class Store;
}

// The hive file: $QVAGENT_REGISTRY when set and not empty, else /var/lib/qvagent/registry.db. It
// is read on every call, so a process (a test) may switch hives. A missing hive is created, with
// its folder, and seeded with the keys that describe the emulated Windows.
std::string RegistryPath();

// Groups the registry writes of this thread into one transaction of the current hive: until
// Commit, other threads of the process wait and other processes see none of the writes; without
// Commit (or when Commit fails) every write made meanwhile is undone.
class RegistryTransaction {
 public:
  RegistryTransaction();
  ~RegistryTransaction();
  RegistryTransaction(const RegistryTransaction&) = delete;
  RegistryTransaction& operator=(const RegistryTransaction&) = delete;

  // ERROR_SUCCESS when the transaction was started; any other code means nothing can be written.
  LSTATUS status() const { return status_; }
  LSTATUS Commit();

 private:
  std::shared_ptr<registry::Store> store_;
  LSTATUS status_;
};

}  // namespace qvplatform
