#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_hive.h"
#include "win32.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;
constexpr char kTestKey[] = R"(Software\Tessaly\Quarvel\QVAgent)";

std::string Bytes(const std::vector<BYTE>& data) { return std::string(data.begin(), data.end()); }

// "a\0" as UTF-16LE bytes, for comparing stored data.
std::string Utf16Bytes(std::u16string_view text, bool terminate = true) {
  std::string out;
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  if (terminate) out.append(2, '\0');
  return out;
}

class Registry : public ::testing::Test {
 protected:
  HKEY Create(const char* path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS)
        << path;
    return key;
  }
  void SetString(HKEY key, const char* name, const std::string& text) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
  }
  // The value's bytes as the A or W call returns them, with its type; the status on failure.
  LSTATUS Read(HKEY key, const char* name, std::string* data, DWORD* type = nullptr, bool wide = false) {
    DWORD size = 0;
    std::u16string wideName = name ? qvplatform::Utf8ToUtf16Lossy(name) : u"";
    auto query = [&](LPBYTE buffer, DWORD* sizeInOut) {
      return wide ? RegQueryValueExW(key, name ? wideName.c_str() : nullptr, nullptr, type, buffer, sizeInOut)
                  : RegQueryValueExA(key, name, nullptr, type, buffer, sizeInOut);
    };
    if (LSTATUS code = query(nullptr, &size); code != ERROR_SUCCESS) return code;
    std::vector<BYTE> buffer(size);
    if (LSTATUS code = query(buffer.data(), &size); code != ERROR_SUCCESS) return code;
    buffer.resize(size);
    *data = Bytes(buffer);
    return ERROR_SUCCESS;
  }

  qvtest::TempHive hive_;
};

TEST_F(Registry, NewHiveIsCreatedWithItsFolderAndSeeded) {
  ASSERT_FALSE(std::filesystem::exists(hive_.file()));
  struct Case {
    const char* key;
    const char* name;
    DWORD type;
    std::string data;  // as RegQueryValueExA returns it
  };
  const std::string dword10("\x0a\0\0\0", 4), dword0("\0\0\0\0", 4), dword48("\x30\0\0\0", 4);
  const std::vector<Case> cases = {
      {R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)", "ProductName", REG_SZ, std::string("Windows 10 Pro\0", 15)},
      {R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)", "EditionID", REG_SZ, std::string("Professional\0", 13)},
      {R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)", "CurrentMajorVersionNumber", REG_DWORD, dword10},
      {R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)", "CurrentMinorVersionNumber", REG_DWORD, dword0},
      {R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)", "CurrentBuildNumber", REG_SZ, std::string("19045\0", 6)},
      {R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)", "CurrentBuild", REG_SZ, std::string("19045\0", 6)},
      {R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)", "CurrentVersion", REG_SZ, std::string("6.3\0", 4)},
      {R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)", "ReleaseId", REG_SZ, std::string("2009\0", 5)},
      {R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)", "InstallationType", REG_SZ, std::string("Client\0", 7)},
      {R"(SYSTEM\CurrentControlSet\Control\Session Manager\Environment)", "PROCESSOR_ARCHITECTURE", REG_SZ,
       std::string("AMD64\0", 6)},
      {R"(SYSTEM\CurrentControlSet\Control\ProductOptions)", "ProductType", REG_SZ, std::string("WinNT\0", 6)},
      {R"(SYSTEM\CurrentControlSet\Control\ProductOptions)", "ProductInfo", REG_DWORD, dword48},
      {R"(SYSTEM\CurrentControlSet\Services\Tcpip\Parameters)", "Domain", REG_SZ, std::string("\0", 1)},
      {R"(SYSTEM\CurrentControlSet\Services\Netlogon\Parameters)", "Workgroup", REG_SZ,
       std::string("WORKGROUP\0", 10)},
  };
  for (const auto& c : cases) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, c.key, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS) << c.key;
    std::string data;
    DWORD type = kSentinel;
    EXPECT_EQ(Read(key, c.name, &data, &type), ERROR_SUCCESS) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(data, c.data) << c.name;
    RegCloseKey(key);
  }
  EXPECT_TRUE(std::filesystem::exists(hive_.file()));
  // Windows 10 has no service pack text.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, cases[0].key, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "CSDVersion", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(Registry, SeededValuesCanBeEditedAndStayEdited) {
  HKEY key = Create(R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)");
  SetString(key, "ProductName", "Windows 10 Enterprise");
  RegCloseKey(key);
  {
    // Using another hive meanwhile makes the next call open this one afresh, as a new process
    // would: it sees the edit, not a new seed.
    qvtest::ScopedEnv other("QVAGENT_REGISTRY", (hive_.dir().path() / "other.db").string());
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Touch", &key), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  std::string data;
  EXPECT_EQ(Read(key, "ProductName", &data), ERROR_SUCCESS);
  EXPECT_EQ(data, std::string("Windows 10 Enterprise\0", 22));
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Touch", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

// The size protocol of RegQueryValueEx, for both character sets: no buffer, exact buffer, one byte
// short, and a buffer without a size.
TEST_F(Registry, QueryValueReportsSizesAndMoreData) {
  HKEY key = Create(kTestKey);
  SetString(key, "Server", "qv.example");  // 11 bytes in UTF-8, 22 in UTF-16
  struct Case {
    bool wide;
    bool withBuffer;
    DWORD bufferSize;
    LSTATUS expected;
    DWORD expectedSize;
  };
  const std::vector<Case> cases = {
      {false, false, 0, ERROR_SUCCESS, 11},       {false, true, 11, ERROR_SUCCESS, 11},
      {false, true, 10, ERROR_MORE_DATA, 11},     {false, true, 0, ERROR_MORE_DATA, 11},
      {false, true, 100, ERROR_SUCCESS, 11},      {true, false, 0, ERROR_SUCCESS, 22},
      {true, true, 22, ERROR_SUCCESS, 22},        {true, true, 21, ERROR_MORE_DATA, 22},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    std::vector<BYTE> buffer(std::max<DWORD>(c.bufferSize, 1), 0xAA);
    DWORD size = c.bufferSize, type = kSentinel;
    SetLastError(kSentinel);
    LSTATUS code = c.wide ? RegQueryValueExW(key, u"server", nullptr, &type, c.withBuffer ? buffer.data() : nullptr,
                                             &size)
                          : RegQueryValueExA(key, "SERVER", nullptr, &type, c.withBuffer ? buffer.data() : nullptr,
                                             &size);
    EXPECT_EQ(code, c.expected) << "row " << i;
    EXPECT_EQ(size, c.expectedSize) << "row " << i;
    EXPECT_EQ(type, REG_SZ) << "row " << i;
    EXPECT_EQ(GetLastError(), kSentinel) << "row " << i;
    if (code == ERROR_SUCCESS && c.withBuffer) {
      std::string expected = c.wide ? Utf16Bytes(u"qv.example") : std::string("qv.example\0", 11);
      EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + size), expected) << "row " << i;
    }
    if (code == ERROR_MORE_DATA && c.bufferSize > 0) {
      EXPECT_EQ(buffer[0], 0xAA) << "row " << i;
    }
  }
  BYTE buffer[4];
  EXPECT_EQ(RegQueryValueExA(key, "Server", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
  // Existence check with neither buffer nor size.
  EXPECT_EQ(RegQueryValueExA(key, "Server", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  DWORD size = sizeof(buffer);
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

// What each character set stores and returns: strings become UTF-16 in the hive and UTF-8 through
// the A calls (terminators only where the writer gave them); other types pass unchanged.
TEST_F(Registry, ValuesAreStoredAsWindowsStoresThem) {
  HKEY key = Create(kTestKey);
  struct Case {
    const char* name;
    bool setWide;
    DWORD type;
    std::string setBytes;
    std::string storedBytes;  // what RegQueryValueExW returns
    std::string ansiBytes;    // what RegQueryValueExA returns
  };
  const std::string gruss = "Gr\xc3\xbc\xc3\x9f" "e";  // Grüße
  const std::vector<Case> cases = {
      {"AnsiString", false, REG_SZ, std::string("abc\0", 4), Utf16Bytes(u"abc"), std::string("abc\0", 4)},
      {"AnsiUnicode", false, REG_SZ, gruss + '\0', Utf16Bytes(u"Gr\u00fc\u00dfe"), gruss + '\0'},
      {"NoTerminator", false, REG_SZ, "abc", Utf16Bytes(u"abc", false), "abc"},
      {"WideString", true, REG_EXPAND_SZ, Utf16Bytes(u"%TEMP%\\x"), Utf16Bytes(u"%TEMP%\\x"),
       std::string("%TEMP%\\x\0", 9)},
      {"Multi", false, REG_MULTI_SZ, std::string("a\0bc\0\0", 6), Utf16Bytes(std::u16string(u"a\0bc\0", 5)),
       std::string("a\0bc\0\0", 6)},
      {"Dword", false, REG_DWORD, std::string("\x78\x56\x34\x12", 4), std::string("\x78\x56\x34\x12", 4),
       std::string("\x78\x56\x34\x12", 4)},
      {"Qword", true, REG_QWORD, std::string("\1\2\3\4\5\6\7\x08", 8), std::string("\1\2\3\4\5\6\7\x08", 8),
       std::string("\1\2\3\4\5\6\7\x08", 8)},
      {"Binary", false, REG_BINARY, std::string("\0\xff\0", 3), std::string("\0\xff\0", 3),
       std::string("\0\xff\0", 3)},
      {"Empty", false, REG_SZ, "", "", ""},
  };
  for (const auto& c : cases) {
    const auto* data = reinterpret_cast<const BYTE*>(c.setBytes.data());
    auto size = static_cast<DWORD>(c.setBytes.size());
    std::u16string wideName = qvplatform::Utf8ToUtf16Lossy(c.name);
    LSTATUS set = c.setWide ? RegSetValueExW(key, wideName.c_str(), 0, c.type, data, size)
                            : RegSetValueExA(key, c.name, 0, c.type, data, size);
    ASSERT_EQ(set, ERROR_SUCCESS) << c.name;
    std::string stored, ansi;
    DWORD type = kSentinel;
    EXPECT_EQ(Read(key, c.name, &stored, &type, true), ERROR_SUCCESS) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(stored, c.storedBytes) << c.name;
    EXPECT_EQ(Read(key, c.name, &ansi), ERROR_SUCCESS) << c.name;
    EXPECT_EQ(ansi, c.ansiBytes) << c.name;
  }
  EXPECT_EQ(RegSetValueExA(key, "Null", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
  RegCloseKey(key);
}

// A 4-byte read of a string: short strings fit, longer ones report 234 and the size.
TEST_F(Registry, FixedBufferReadOfAString) {
  HKEY key = Create(kTestKey);
  SetString(key, "Short", "ab");
  SetString(key, "Long", "abcdefghi");
  DWORD value = 0, size = sizeof(value), type = REG_DWORD;
  EXPECT_EQ(RegQueryValueExA(key, "Short", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(value, 0x006261u);
  size = sizeof(value);
  EXPECT_EQ(RegQueryValueExA(key, "Long", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 10u);
  RegCloseKey(key);
}

TEST_F(Registry, NamesIgnoreCaseAndKeepTheirCase) {
  HKEY key = Create(R"(Software\MixedCase\Ünïcode Key)");
  RegCloseKey(key);
  struct Case {
    const char* openPath;
    const char* valueName;
  };
  const std::vector<Case> cases = {
      {R"(SOFTWARE\MIXEDCASE\ÜNÏCODE KEY)", "--"},
      {R"(software\mixedcase\ünïcode key\)", "Name with spaces, dots. and = signs"},
      {R"(Software\MixedCase\Ünïcode Key)", "ÄÖÜ-value"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, c.openPath, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS) << c.openPath;
    SetString(key, c.valueName, c.valueName);
    RegCloseKey(key);
  }
  // Names come back as first written; a second write in other case changes the data only.
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\mixedcase", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  char name[64];
  ASSERT_EQ(RegEnumKeyA(key, 0, name, sizeof(name)), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Ünïcode Key");
  HKEY sub = nullptr;
  ASSERT_EQ(RegOpenKeyExA(key, "üNÏCODE kEY", 0, KEY_ALL_ACCESS, &sub), ERROR_SUCCESS);
  SetString(sub, "äöü-VALUE", "second");
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof(name);
    LSTATUS code = RegEnumValueA(sub, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (code == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(code, ERROR_SUCCESS);
    EXPECT_EQ(length, strlen(name));
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"--", "Name with spaces, dots. and = signs", "ÄÖÜ-value"}));
  std::string data;
  EXPECT_EQ(Read(sub, "ÄÖÜ-VALUE", &data), ERROR_SUCCESS);
  EXPECT_EQ(data, std::string("second\0", 7));
  RegCloseKey(sub);
  RegCloseKey(key);
}

TEST_F(Registry, DefaultValueIsTheEmptyOrNullName) {
  HKEY key = Create(kTestKey);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  SetString(key, nullptr, "default");
  std::string data;
  EXPECT_EQ(Read(key, "", &data), ERROR_SUCCESS);
  EXPECT_EQ(data, std::string("default\0", 8));
  EXPECT_EQ(Read(key, nullptr, &data, nullptr, true), ERROR_SUCCESS);
  EXPECT_EQ(data, Utf16Bytes(u"default"));
  EXPECT_EQ(RegDeleteValueW(key, u""), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, nullptr), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(Registry, CreateReportsDispositionAndMakesWholePath) {
  struct Case {
    const char* path;
    LSTATUS expected;
    DWORD disposition;
  };
  const std::vector<Case> cases = {
      {R"(Software\A\B\C)", ERROR_SUCCESS, REG_CREATED_NEW_KEY},
      {R"(software\a\b\c)", ERROR_SUCCESS, REG_OPENED_EXISTING_KEY},
      {R"(Software\A\B\C\)", ERROR_SUCCESS, REG_OPENED_EXISTING_KEY},
      {R"(Software\A\B)", ERROR_SUCCESS, REG_OPENED_EXISTING_KEY},
      {R"(Software\A\B\D\)", ERROR_SUCCESS, REG_CREATED_NEW_KEY},
      {R"(\Software\A)", ERROR_BAD_PATHNAME, kSentinel},
      {R"(Software\x--y\--)", ERROR_SUCCESS, REG_CREATED_NEW_KEY},
  };
  for (const auto& c : cases) {
    HKEY key = nullptr;
    DWORD disposition = kSentinel;
    LSTATUS code = RegCreateKeyExA(HKEY_LOCAL_MACHINE, c.path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                   nullptr, &key, &disposition);
    EXPECT_EQ(code, c.expected) << c.path;
    EXPECT_EQ(disposition, c.disposition) << c.path;
    if (code == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
  }
  std::string longName(256, 'k');
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_INVALID_PARAMETER);
  longName.pop_back();
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, longName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(Registry, OpenFailuresAndHandleChecks) {
  HKEY key = Create(kTestKey);
  RegCloseKey(key);
  struct Case {
    HKEY root;
    const char* path;
    LSTATUS expected;
  };
  const std::vector<Case> cases = {
      {HKEY_LOCAL_MACHINE, R"(Software\Tessaly\Missing)", ERROR_FILE_NOT_FOUND},
      {HKEY_LOCAL_MACHINE, R"(Software\Tessaly\Quarvel\QVAgent\Deeper\Still)", ERROR_FILE_NOT_FOUND},
      {HKEY_CURRENT_USER, kTestKey, ERROR_FILE_NOT_FOUND},
      {nullptr, kTestKey, ERROR_INVALID_HANDLE},
      {reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7ff0)), kTestKey, ERROR_INVALID_HANDLE},
      {reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000004u)), kTestKey, ERROR_INVALID_HANDLE},
      {HKEY_LOCAL_MACHINE, kTestKey, ERROR_SUCCESS},
      {HKEY_LOCAL_MACHINE, "", ERROR_SUCCESS},
  };
  for (const auto& c : cases) {
    HKEY opened = reinterpret_cast<HKEY>(static_cast<uintptr_t>(kSentinel));
    EXPECT_EQ(RegOpenKeyExA(c.root, c.path, 0, KEY_READ, &opened), c.expected) << c.path;
    if (c.expected == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(opened), ERROR_SUCCESS);
    } else {
      EXPECT_EQ(opened, nullptr) << c.path;
    }
  }
  // A key handle is not a kernel handle of another kind, and closes once.
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  struct NotAKey : qvplatform::KernelObject {};
  HANDLE other = qvplatform::InsertHandle(std::make_shared<NotAKey>());
  EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(other)), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(CloseHandle(other));
}

TEST_F(Registry, AccessRightsOfTheHandleAreEnforced) {
  HKEY key = Create(kTestKey);
  SetString(key, "Value", "x");
  RegCloseKey(key);
  struct Case {
    REGSAM access;
    LSTATUS query;
    LSTATUS set;
    LSTATUS enumerate;
  };
  const std::vector<Case> cases = {
      {KEY_QUERY_VALUE, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {KEY_QUERY_VALUE | KEY_WOW64_64KEY, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {KEY_READ | KEY_WOW64_32KEY, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
      {KEY_WRITE, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
      {KEY_READ | KEY_WRITE, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS},
      {KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, c.access, &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, nullptr, nullptr, &size), c.query) << std::hex << c.access;
    EXPECT_EQ(RegSetValueExA(key, "Value", 0, REG_SZ, reinterpret_cast<const BYTE*>("y"), 2), c.set)
        << std::hex << c.access;
    char name[32];
    EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof(name)), c.enumerate == ERROR_SUCCESS ? ERROR_NO_MORE_ITEMS : c.enumerate)
        << std::hex << c.access;
    RegCloseKey(key);
  }
}

TEST_F(Registry, DeleteKeyRefusesChildrenAndInvalidatesHandles) {
  HKEY leaf = Create(R"(Software\Tree\Leaf)");
  SetString(leaf, "v", "1");
  HKEY tree = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, R"(Software\Tree)", 0, KEY_ALL_ACCESS, &tree), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, R"(Software\Tree)"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, R"(Software\Tree\Missing)"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(tree, "LEAF"), ERROR_SUCCESS);

  // The open handle of the deleted key fails every operation with ERROR_KEY_DELETED.
  DWORD size = 0;
  char name[16];
  DWORD nameSize = sizeof(name);
  HKEY sub = nullptr;
  EXPECT_EQ(RegQueryValueExA(leaf, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegSetValueExA(leaf, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("2"), 2), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteValueA(leaf, "v"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumKeyA(leaf, 0, name, sizeof(name)), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumValueA(leaf, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCreateKeyExA(leaf, "Again", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegOpenKeyExA(leaf, "", 0, KEY_READ, &sub), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(leaf), ERROR_SUCCESS);

  // A new key of the same name is a different key: the deleted handle's values do not come back.
  leaf = Create(R"(Software\Tree\Leaf)");
  EXPECT_EQ(RegQueryValueExA(leaf, "v", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(leaf);
  EXPECT_EQ(RegDeleteKeyA(tree, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
  RegCloseKey(tree);
}

TEST_F(Registry, DeleteTreeRemovesEverythingBelow) {
  for (const char* path : {R"(Software\Del\A\B\C)", R"(Software\Del\A\B2)", R"(Software\Del\Z)"}) {
    HKEY key = Create(path);
    SetString(key, "v", path);
    RegCloseKey(key);
  }
  HKEY del = Create(R"(Software\Del)");
  SetString(del, "top", "1");
  // Without a subkey: the key's values and subkeys go, the key stays.
  EXPECT_EQ(RegDeleteTreeA(del, nullptr), ERROR_SUCCESS);
  DWORD subKeys = kSentinel, values = kSentinel;
  EXPECT_EQ(RegQueryInfoKeyA(del, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 0u);
  HKEY key = Create(R"(Software\Del\X\Y)");
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, R"(Software\Del)"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, R"(Software\Del)", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, R"(Software\Del)"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(del);
}

TEST_F(Registry, EnumerationOrderSizesAndInfo) {
  HKEY key = Create(R"(Software\Enum)");
  for (const char* sub : {"beta", "Alpha", "GAMMA", "ëpsilon"}) {
    HKEY child = nullptr;
    ASSERT_EQ(RegCreateKeyA(key, sub, &child), ERROR_SUCCESS);
    RegCloseKey(child);
  }
  SetString(key, "z-first", "12345");
  SetString(key, "a-second", "1");
  std::vector<std::string> keys;
  char name[16];
  for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof(name)) == ERROR_SUCCESS; ++i) keys.push_back(name);
  EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "GAMMA", "ëpsilon"}));
  EXPECT_EQ(RegEnumKeyA(key, 4, name, sizeof(name)), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyA(key, 0, name, 5), ERROR_MORE_DATA);  // "Alpha" needs 6
  DWORD length = 6;
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(length, 5u);

  char16_t wide[16];
  length = 16;
  EXPECT_EQ(RegEnumKeyExW(key, 3, wide, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(wide), u"\u00ebpsilon");
  EXPECT_EQ(length, 7u);

  BYTE data[8];
  DWORD type = 0, dataSize = 3;
  length = sizeof(name);
  EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, &type, data, &dataSize), ERROR_MORE_DATA);
  EXPECT_EQ(dataSize, 6u);
  dataSize = sizeof(data);
  length = sizeof(name);
  EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, &type, data, &dataSize), ERROR_SUCCESS);
  EXPECT_STREQ(name, "z-first");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), dataSize), std::string("12345\0", 6));
  length = 2;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxName = 0, maxData = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxName,
                             &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 4u);
  EXPECT_EQ(maxSubKey, 8u);  // "ëpsilon" in UTF-8
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxName, 8u);
  EXPECT_EQ(maxData, 6u);
  EXPECT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &maxSubKey, nullptr, nullptr, nullptr, &maxData,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(maxSubKey, 7u);
  EXPECT_EQ(maxData, 12u);
  RegCloseKey(key);
}

TEST_F(Registry, UncommittedTransactionChangesNothing) {
  HKEY key = Create(kTestKey);
  SetString(key, "Kept", "before");
  {
    qvplatform::RegistryTransaction transaction;
    ASSERT_EQ(transaction.status(), ERROR_SUCCESS);
    SetString(key, "Kept", "during");
    SetString(key, "Added", "x");
    HKEY child = nullptr;
    ASSERT_EQ(RegCreateKeyA(key, "Child", &child), ERROR_SUCCESS);
    RegCloseKey(child);
    std::string data;
    EXPECT_EQ(Read(key, "Kept", &data), ERROR_SUCCESS);
    EXPECT_EQ(data, std::string("during\0", 7));
  }
  std::string data;
  EXPECT_EQ(Read(key, "Kept", &data), ERROR_SUCCESS);
  EXPECT_EQ(data, std::string("before\0", 7));
  EXPECT_EQ(Read(key, "Added", &data), ERROR_FILE_NOT_FOUND);
  HKEY child = nullptr;
  EXPECT_EQ(RegOpenKeyA(key, "Child", &child), ERROR_FILE_NOT_FOUND);
  {
    qvplatform::RegistryTransaction transaction;
    SetString(key, "Added", "y");
    EXPECT_EQ(transaction.Commit(), ERROR_SUCCESS);
  }
  EXPECT_EQ(Read(key, "Added", &data), ERROR_SUCCESS);
  EXPECT_EQ(data, std::string("y\0", 2));
  RegCloseKey(key);
}

TEST_F(Registry, ThreadsShareTheHive) {
  constexpr int kThreads = 4, kValues = 100;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < kValues; ++i) {
        HKEY key = nullptr;
        std::string path = std::string(R"(Software\Threads\T)") + std::to_string(t);
        std::string name = "v" + std::to_string(i);
        DWORD value = t * 1000 + i, read = 0, size = sizeof(read);
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS ||
            RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4) != ERROR_SUCCESS ||
            RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size) !=
                ERROR_SUCCESS ||
            read != value)
          ++failures[t];
        RegCloseKey(key);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
}

// Runs `body` in a child process, as an unprivileged user when the test runs as root (so file
// permissions apply), and returns its exit status. The child must not use a hive the parent has open.
template <class Body>
int RunAsUnprivilegedChild(Body body) {
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

// A hive file that cannot be used gives a code the caller can act on, and no crash.
TEST(RegistryHiveFile, UnusableHivesGiveSystemCodes) {
  qvtest::TempDir dir;
  chmod(dir.path().c_str(), 0755);
  qvtest::WriteFileBytes(dir / "garbage.db", std::string(4096, 'x'));
  qvtest::WriteFileBytes(dir / "a-file", "not a folder");
  qvtest::WriteFileBytes(dir / "locked.db", "");
  chmod((dir / "locked.db").c_str(), 0);
  std::filesystem::create_directory(dir / "closed");
  chmod((dir / "closed").c_str(), 0555);
  struct Case {
    std::string path;
    LSTATUS expected;
  };
  const std::vector<Case> cases = {
      {(dir / "garbage.db").string(), ERROR_REGISTRY_CORRUPT},
      {(dir / "a-file" / "registry.db").string(), ERROR_PATH_NOT_FOUND},
      {(dir / "locked.db").string(), ERROR_ACCESS_DENIED},
      {(dir / "closed" / "sub" / "registry.db").string(), ERROR_ACCESS_DENIED},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    // Exit status: 0 when both calls gave the expected code.
    int status = RunAsUnprivilegedChild([&c] {
      setenv("QVAGENT_REGISTRY", c.path.c_str(), 1);
      HKEY key = nullptr;
      DWORD size = 0;
      int failures = 0;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key) != c.expected) failures |= 1;
      if (RegQueryValueExA(HKEY_LOCAL_MACHINE, "x", nullptr, nullptr, nullptr, &size) != c.expected) failures |= 2;
      return failures;
    });
    EXPECT_EQ(status, 0) << "row " << i << ": " << c.path;
  }
  EXPECT_EQ(qvtest::ReadFileBytes(dir / "garbage.db"), std::string(4096, 'x'));
}

TEST(RegistryHiveFile, PathComesFromTheEnvironment) {
  {
    qvtest::ScopedEnv env("QVAGENT_REGISTRY", std::nullopt);
    EXPECT_EQ(qvplatform::RegistryPath(), "/var/lib/qvagent/registry.db");
  }
  {
    qvtest::ScopedEnv env("QVAGENT_REGISTRY", "");
    EXPECT_EQ(qvplatform::RegistryPath(), "/var/lib/qvagent/registry.db");
  }
  qvtest::ScopedEnv env("QVAGENT_REGISTRY", "/tmp/elsewhere/hive.db");
  EXPECT_EQ(qvplatform::RegistryPath(), "/tmp/elsewhere/hive.db");
}

}  // namespace

namespace {

// Two processes write 1,000 values each into one hive at the same time, each value its own
// transaction; every call succeeds and every value is there afterwards.
TEST(RegistryProcesses, ConcurrentWritersLoseNothing) {
  constexpr int kValues = 1000;
  qvtest::TempHive hive;
  auto writer = [](const char* who) {
    int failures = 0;
    for (int i = 0; i < kValues; ++i) {
      std::string path = std::string(R"(Software\Shared\)") + (i % 2 ? "Odd" : "Even");
      std::string name = std::string(who) + "-" + std::to_string(i);
      HKEY key = nullptr;
      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
          ERROR_SUCCESS) {
        ++failures;
        continue;
      }
      if (RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                         static_cast<DWORD>(name.size() + 1)) != ERROR_SUCCESS)
        ++failures;
      RegCloseKey(key);
    }
    return failures;
  };
  // Both start together: the child waits for a byte from the parent.
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    char byte;
    close(go[1]);
    if (read(go[0], &byte, 1) != 1) _exit(100);
    _exit(std::min(writer("child"), 99));
  }
  close(go[0]);
  ASSERT_EQ(write(go[1], "x", 1), 1);
  close(go[1]);
  int parentFailures = writer("parent");
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(parentFailures, 0);

  std::vector<std::string> missing;
  for (const char* who : {"parent", "child"}) {
    for (int i = 0; i < kValues; ++i) {
      std::string path = std::string(R"(Software\Shared\)") + (i % 2 ? "Odd" : "Even");
      std::string name = std::string(who) + "-" + std::to_string(i);
      HKEY key = nullptr;
      char data[32] = {};
      DWORD size = sizeof(data);
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS ||
          RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
              ERROR_SUCCESS ||
          name != data)
        missing.push_back(name);
      RegCloseKey(key);
    }
  }
  EXPECT_TRUE(missing.empty()) << missing.size() << " missing, first " << missing.front();
}

}  // namespace
