#include "config/registry_access.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwctype>
#include <vector>

#include "config/agent_parameters.h"
#include "logging/log_core.h"
#include "runner/error_text.h"
#include "util/encoding.h"

namespace {

// Closes a key handle when it goes out of scope.
class KeyCloser {
 public:
  explicit KeyCloser(HKEY key) : key_(key) {}
  ~KeyCloser() { RegCloseKey(key_); }
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;

 private:
  HKEY key_;
};

bool IsDefaultValueMark(const char* text) { return std::strcmp(text, "--") == 0; }
bool IsDefaultValueMark(const std::u16string_view text) { return text == u"--"; }

// The text before the first zero byte of a buffer read from the registry.
std::string TextOf(const std::vector<char>& buffer) { return std::string(buffer.data()); }

// The leading decimal integer of a wide text, as the C runtime's wide atol reads it: blanks
// skipped, an optional sign, digits; LONG_MAX or LONG_MIN when it does not fit; 0 when none.
LONG WideAtol(const std::u16string& text) {
  size_t i = 0;
  while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > static_cast<int64_t>(INT32_MAX) + 1) break;
  }
  if (negative) return magnitude > static_cast<int64_t>(INT32_MAX) + 1 ? INT32_MIN : static_cast<LONG>(-magnitude);
  return magnitude > INT32_MAX ? INT32_MAX : static_cast<LONG>(magnitude);
}

template <typename T>
void AppendBytes(std::vector<BYTE>& bytes, const T& value) {
  const auto* raw = reinterpret_cast<const BYTE*>(&value);
  bytes.insert(bytes.end(), raw, raw + sizeof(T));
}

void AppendText(std::vector<BYTE>& bytes, const std::u16string& text) {
  for (char16_t c : text) AppendBytes(bytes, c);
  AppendBytes(bytes, char16_t{0});
}

// The bytes writeValue stores for `type`, with its DEBUG line; nullopt for a type it does not store.
std::optional<std::vector<BYTE>> EncodeValueData(const std::u16string& wideData, const std::string& utf8Data,
                                                 DWORD type) {
  std::vector<BYTE> bytes;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_BINARY:
      AppendText(bytes, wideData);
      LogDebug("writeValue:  Data type is REG_SZ or REG_EXPAND_SZ or REG_BINARY: %d\n", static_cast<int>(bytes.size()));
      return bytes;
    case REG_DWORD:
      AppendBytes(bytes, static_cast<DWORD>(WideAtol(wideData)));
      LogDebug("writeValue:  REG_DWORD -- sizeOfInputData: %d\n", static_cast<int>(bytes.size()));
      return bytes;
    case REG_MULTI_SZ:
      AppendText(bytes, wideData);
      AppendBytes(bytes, char16_t{0});
      LogDebug("writeValue:  Data type is REG_MULTI_SZ: %d\n", static_cast<int>(bytes.size()));
      return bytes;
    case REG_QWORD:
      AppendBytes(bytes, static_cast<uint64_t>(ParseDecimal64(utf8Data.c_str())));
      LogDebug("writeValue:  REG_QWORD -- sizeOfInputData: %d\n", static_cast<int>(bytes.size()));
      return bytes;
    default:
      return std::nullopt;
  }
}

std::string ToUtf8(const char16_t* wide) {
  std::string out;
  if (wide != nullptr) ChangeWideToUtf8Str(wide, out);
  return out;
}

// ReadRegSZ and ReadRegSZ64 differ only in the access mask and their log lines.
struct NarrowReadLines {
  const char* openFailed;  // key path, code
  const char* readFailed;  // code (ReadRegSZ) or value name and code (ReadRegSZ64)
  bool readLineNamesValue;
};

LONG ReadNarrowValue(HKEY hive, const char* keyPath, const char* valueName, REGSAM access,
                     const NarrowReadLines& lines, std::optional<std::string>& value) {
  value.reset();
  HKEY key = nullptr;
  LONG code = RegOpenKeyExA(hive, keyPath, 0, access, &key);
  if (code != ERROR_SUCCESS) {
    LogError(lines.openFailed, keyPath, code);
    return code;
  }
  KeyCloser closer(key);
  DWORD size = 0;
  code = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size);
  if (code != ERROR_SUCCESS) return code;
  std::vector<char> buffer(static_cast<size_t>(size) + 5, '\0');
  code = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size);
  buffer.back() = '\0';
  value = TextOf(buffer);
  if (code != ERROR_SUCCESS) {
    value = std::string();
    if (lines.readLineNamesValue) {
      LogError(lines.readFailed, valueName, code);
    } else {
      LogError(lines.readFailed, code);
    }
  }
  return code;
}

}  // namespace

LONG ReadDwordRegistryData(HKEY hive, const char* keyPath, const char* valueName, DWORD* value) {
  if (value == nullptr) return ERROR_INVALID_DATA;
  HKEY key = nullptr;
  LONG code = RegOpenKeyExA(hive, keyPath, 0, KEY_QUERY_VALUE, &key);
  if (code == ERROR_FILE_NOT_FOUND) {
    LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", valueName, code);
    return code;
  }
  if (code != ERROR_SUCCESS) {
    LogError("ReadDwordRegistryData: Error while opening registry key %s,and the errorcode is : %d \n", keyPath, code);
    return code;
  }
  KeyCloser closer(key);
  DWORD type = REG_DWORD;
  DWORD size = sizeof(DWORD);
  code = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  if (code == ERROR_FILE_NOT_FOUND) {
    LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", valueName, code);
  } else if (code != ERROR_SUCCESS) {
    LogError("ReadDwordRegistryData: Error while reading DWORD value of %s : %d \n", valueName, code);
  }
  return code;
}

LONG ReadRegSZ(HKEY hive, const char* keyPath, const char* valueName, std::optional<std::string>& value) {
  static constexpr NarrowReadLines kLines{"ReadRegSZ: Error while opening registry key %s ,and the error is  %d \n",
                                          "ReadRegSZ: Error while reading DWORD value! %d \n", false};
  return ReadNarrowValue(hive, keyPath, valueName, KEY_QUERY_VALUE, kLines, value);
}

LONG ReadRegSZ64(HKEY hive, const char* keyPath, const char* valueName, std::optional<std::string>& value) {
  static constexpr NarrowReadLines kLines{"ReadRegSZEx: Error while opening registry key for %s and error %d \n",
                                          "ReadRegSZEx: Error while reading DWORD value %s! %d \n", true};
  const REGSAM access = gv_isWow64Process ? (KEY_QUERY_VALUE | KEY_WOW64_64KEY) : KEY_QUERY_VALUE;
  return ReadNarrowValue(hive, keyPath, valueName, access, kLines, value);
}

LONG ReadRegSZEx(HKEY hive, const char* keyPath, const char* valueName, std::optional<std::u16string>& value) {
  value.reset();
  std::u16string wideName;
  const char16_t* name = nullptr;
  if (valueName != nullptr && ChangeToWideStr(valueName, wideName)) name = wideName.c_str();
  HKEY key = nullptr;
  LONG code = RegOpenKeyExA(hive, keyPath, 0, KEY_QUERY_VALUE, &key);
  if (code != ERROR_SUCCESS) {
    LogError("ReadRegSZEx: Error while opening registry key : %S \n", name);
    return code;
  }
  KeyCloser closer(key);
  DWORD size = 0;
  code = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size);
  if (code != ERROR_SUCCESS) return code;
  // Whole UTF-16 units, with at least two zero units after the data.
  std::vector<char16_t> buffer((static_cast<size_t>(size) + 5) / 2 + 2, u'\0');
  code = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size);
  buffer.back() = u'\0';
  value = std::u16string(buffer.data());
  if (code != ERROR_SUCCESS) {
    value = std::u16string();
    LogError("ReadRegSZEx: Error while reading DWORD value! %d \n", code);
  }
  return code;
}

LONG addRegistryKey(HKEY hive, const char* keyPath) {
  LogDebug("addRegistryKey: Inside addRegistryKey method ...... \n");
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG code = RegCreateKeyExA(hive, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition);
  if (code != ERROR_SUCCESS) {
    LogError("addRegistryKey:  Create registry key \"%s\" function failed: %d \n", keyPath, code);
    LogErrorMessage(static_cast<DWORD>(code));
    return code;
  }
  if (disposition == REG_OPENED_EXISTING_KEY) {
    LogDebug("addRegistryKey:  Opened already existing key! \n");
  } else {
    LogDebug("addRegistryKey:  Create registry key function successfull: %d \n", disposition);
  }
  RegCloseKey(key);
  return ERROR_SUCCESS;
}

LONG writeValue(HKEY hive, const char* keyPath, const char* valueName, const char* data, DWORD type) {
  LogDebug("@@@@@@@@ Inside writeValue Method @@@@@@@@ \n");
  if (valueName == nullptr || data == nullptr) {
    LogInfo("writeValue : Valuename or Valuedata is Empty \n");
    return ERROR_INVALID_DATA;
  }
  LogDebug("writeValue: Subkey : %s \n", keyPath);
  LogDebug("writeValue: Value Name: %s \n", valueName);
  LogDebug("writeValue: Value Data: %s \n", data);

  std::u16string wideName;
  std::u16string wideData;
  // The conversions themselves log a failure; nothing is written then.
  if (!ChangeToWideStr(valueName, wideName) || !ChangeToWideStr(data, wideData)) return ERROR_INVALID_DATA;
  std::string utf8Data = data;
  if (IsDefaultValueMark(valueName)) {
    wideName.clear();
    LogInfo("writeValue : going to add the (default) value .\n");
  }
  if (IsDefaultValueMark(data)) {
    wideData.clear();
    utf8Data.clear();
    LogInfo("writeValue : going to add the value data as 0 value .\n");
  }

  std::optional<std::vector<BYTE>> bytes = EncodeValueData(wideData, utf8Data, type);
  if (!bytes) {
    LogError("writeValue : Unsupported data type %d \n", type);
    return ERROR_INVALID_DATA;
  }

  LONG code = addRegistryKey(hive, keyPath);
  if (code != ERROR_SUCCESS) {
    LogError("writeValue:  WriteValue failure during key creation! %d \n", code);
    return code;
  }
  HKEY key = nullptr;
  code = RegOpenKeyExA(hive, keyPath, 0, KEY_ALL_ACCESS, &key);
  if (code != ERROR_SUCCESS) {
    LogError("writeValue:  Key open failure! %d \n", code);
    LogErrorMessage(static_cast<DWORD>(code));
    return code;
  }
  KeyCloser closer(key);
  LogDebug("writeValue:  Key found ...!: %d\n", code);
  LogDebug("writeValue:  After addRegistryKey method in writeValue method!!\n");

  code = RegSetValueExW(key, wideName.c_str(), 0, type, bytes->data(), static_cast<DWORD>(bytes->size()));
  if (code == ERROR_SUCCESS) {
    LogErrorMessage(ERROR_SUCCESS);
    LogDebug("@@@@@@@@ End Of writeValue Method @@@@@@@@ \n");
    return code;
  }
  LogError("writeValue:  Function WriteValue failure!:%d\n", code);
  LogError("writeValue:    Subkey: %s \n", keyPath);
  LogError("writeValue:    Valuename: %S \n", wideName.c_str());
  LogError("writeValue:    Valuedata: %S \n", wideData.c_str());
  LogError("writeValue:    Datatype: %d \n", type);
  LogErrorMessage(static_cast<DWORD>(code));
  return code;
}

LONG deleteValue(HKEY hive, const char* keyPath, const char* valueName) {
  LogDebug("deleteValue: Inside function deleteValue ..... \n");
  if (valueName != nullptr && IsDefaultValueMark(valueName)) {
    valueName = "";
    LogInfo("deleteValue : going to delete the (default) value .\n");
  }
  HKEY key = nullptr;
  LONG code = RegOpenKeyExA(hive, keyPath, 0, KEY_ALL_ACCESS, &key);
  if (code != ERROR_SUCCESS) {
    LogError("deleteValue:  %s Key not found!: %d  \n", keyPath, code);
    LogLastError();
    return code;
  }
  LogInfo("deleteValue:  Key found ...!: %d\n", code);
  code = RegDeleteValueA(key, valueName);
  RegCloseKey(key);
  if (code == ERROR_SUCCESS) {
    LogInfo("deleteValue:  Delete value %s success! \n", valueName);
    return code;
  }
  LogError("deleteValue:  Delete value %s failure! \n", valueName);
  LogLastError();
  return code;
}

LONG deleteValue(HKEY hive, const char16_t* keyPath, const char16_t* valueName) {
  LogDebug("deleteValue: Inside function deleteValue ..... subkey : %ws, Valuename : %ws \n", keyPath, valueName);
  if (valueName != nullptr && IsDefaultValueMark(valueName)) {
    valueName = u"";
    LogInfo("deleteValue : going to delete the (default) value .\n");
  }
  HKEY key = nullptr;
  LONG code = RegOpenKeyExW(hive, keyPath, 0, KEY_ALL_ACCESS, &key);
  if (code != ERROR_SUCCESS) {
    LogError("deleteValue:  %s Key not found!: %d  \n", ToUtf8(keyPath).c_str(), code);
    LogLastError();
    return code;
  }
  LogInfo("deleteValue:  Key found ...!: %d\n", code);
  code = RegDeleteValueW(key, valueName);
  RegCloseKey(key);
  const std::string name = ToUtf8(valueName);
  if (code == ERROR_SUCCESS) {
    LogInfo("deleteValue:  Delete value %s success! \n", name.c_str());
    return code;
  }
  LogError("deleteValue:  Delete value %s failure! \n", name.c_str());
  LogLastError();
  return code;
}

int DeleteRegistryTree(HKEY hive, const char* keyPath) {
  // A null or empty path would name the hive itself and empty it.
  if (keyPath == nullptr || *keyPath == '\0') return 0;
  HKEY key = nullptr;
  if (RegOpenKeyA(hive, keyPath, &key) == ERROR_SUCCESS) {
    char child[260];
    while (RegEnumKeyA(key, 0, child, sizeof(child)) == ERROR_SUCCESS) {
      if (!DeleteRegistryTree(key, child)) {
        RegCloseKey(key);
        return 0;
      }
    }
    RegCloseKey(key);
  }
  return RegDeleteKeyA(hive, keyPath) == ERROR_SUCCESS ? 1 : 0;
}
