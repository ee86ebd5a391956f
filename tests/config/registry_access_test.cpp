// The registry helpers against a real temporary hive: what they store, what they return, and the
// lines they log.
#include "config/registry_access.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "support/log_capture.h"
#include "support/temp_hive.h"
#include "win32.h"

namespace {

constexpr const char* kKey = "Software\\Tessaly\\Quarvel\\QVAgent\\Test";

struct RawValue {
  DWORD type = 0;
  std::vector<BYTE> bytes;
};

// Stores a value exactly as given, through the wide or the narrow interface.
void PutRaw(const char* keyPath, const char* name, DWORD type, const void* data, DWORD size, bool narrow = false) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
  std::u16string wideName(name, name + std::strlen(name));
  LSTATUS code = narrow ? RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size)
                        : RegSetValueExW(key, wideName.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  ASSERT_EQ(code, 0);
}

void PutText(const char* keyPath, const char* name, const std::u16string& text) {
  PutRaw(keyPath, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

// The stored type and bytes of a value, or nullopt when the key or value is missing.
std::optional<RawValue> GetRaw(const char* keyPath, const char16_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != 0) return std::nullopt;
  RawValue raw;
  DWORD size = 0;
  LSTATUS code = RegQueryValueExW(key, name, nullptr, &raw.type, nullptr, &size);
  if (code == 0) {
    raw.bytes.resize(size);
    code = RegQueryValueExW(key, name, nullptr, &raw.type, raw.bytes.data(), &size);
  }
  RegCloseKey(key);
  if (code != 0) return std::nullopt;
  return raw;
}

bool KeyExists(const char* keyPath) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != 0) return false;
  RegCloseKey(key);
  return true;
}

std::vector<BYTE> Utf16Bytes(const std::u16string& text, int extraZeroUnits) {
  std::vector<BYTE> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xff));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  bytes.insert(bytes.end(), static_cast<size_t>(extraZeroUnits) * 2, 0);
  return bytes;
}

template <typename T>
std::vector<BYTE> LittleEndian(T value) {
  std::vector<BYTE> bytes;
  for (size_t i = 0; i < sizeof(T); ++i) bytes.push_back(static_cast<BYTE>(static_cast<uint64_t>(value) >> (8 * i)));
  return bytes;
}

class RegistryAccessTest : public ::testing::Test {
 protected:
  qvtest::TempHive hive_;
  qvtest::LogCapture log_{4};
};

TEST_F(RegistryAccessTest, ReadDwordReturnsStoredBytesWhateverTheType) {
  struct Case {
    const char* label;
    DWORD type;
    std::vector<BYTE> stored;
    bool narrow;
    LONG code;
    DWORD value;
  };
  const std::vector<Case> cases = {
      {"dword", REG_DWORD, LittleEndian<DWORD>(0x12345678), false, 0, 0x12345678},
      {"text of 3 bytes", REG_SZ, {'a', 'b', 0}, true, 0, 0x6261},
      {"binary of 2 bytes", REG_BINARY, {0x01, 0x02}, false, 0, 0x0201},
      {"empty binary", REG_BINARY, {}, false, 0, 0},
      {"text of 10 bytes", REG_SZ, {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0}, true, ERROR_MORE_DATA, 0},
      {"qword", REG_QWORD, LittleEndian<uint64_t>(7), false, ERROR_MORE_DATA, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    PutRaw(kKey, "Number", c.type, c.stored.data(), static_cast<DWORD>(c.stored.size()), c.narrow);
    DWORD value = 0;
    EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Number", &value), c.code);
    if (c.code == 0) {
      EXPECT_EQ(value, c.value);
    }
  }
  EXPECT_EQ(log_.Count("[ERROR] ReadDwordRegistryData: Error while reading DWORD value of Number : 234 "), 2);
}

TEST_F(RegistryAccessTest, ReadDwordOfMissingKeyOrValueIsNotFoundAtDebugOnly) {
  DWORD value = 77;
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, "Software\\Missing", "Gone", &value), 2);
  PutRaw(kKey, "Other", REG_DWORD, LittleEndian<DWORD>(1).data(), 4);
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Gone", &value), 2);
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(log_.Count("[DEBUG] ReadDwordRegistryData:  value  Gone Not found: 2 "), 2);
  for (const std::string& line : log_.Messages()) EXPECT_EQ(line.rfind("[ERROR]", 0), std::string::npos) << line;
}

TEST_F(RegistryAccessTest, ReadRegSZReturnsTheTextUpToItsTerminator) {
  struct Case {
    const char* label;
    DWORD type;
    std::vector<BYTE> stored;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"plain text", REG_SZ, Utf16Bytes(u"hello", 1), "hello"},
      {"without terminator", REG_SZ, Utf16Bytes(u"abc", 0), "abc"},
      {"empty text", REG_SZ, Utf16Bytes(u"", 1), ""},
      {"no bytes at all", REG_SZ, {}, ""},
      {"non-ASCII text comes back as UTF-8", REG_SZ, Utf16Bytes(u"Gr\u00fc\u00dfe", 1), "Gr\xc3\xbc\xc3\x9f" "e"},
      {"expand string", REG_EXPAND_SZ, Utf16Bytes(u"%TEMP%\\x", 1), "%TEMP%\\x"},
      {"dword bytes, type not examined", REG_DWORD, LittleEndian<DWORD>(0x00434241), "ABC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    PutRaw(kKey, "Text", c.type, c.stored.data(), static_cast<DWORD>(c.stored.size()));
    std::optional<std::string> text = "stale";
    EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Text", text), 0);
    EXPECT_EQ(text, c.text);
  }
}

TEST_F(RegistryAccessTest, ReadRegSZFailures) {
  PutText(kKey, "Present", u"x");
  std::optional<std::string> text = "stale";
  EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Absent", text), 2);
  EXPECT_FALSE(text.has_value());
  EXPECT_TRUE(log_.Messages().empty()) << "a missing value is not logged";

  text = "stale";
  EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, "Software\\NoSuchKey", "Present", text), 2);
  EXPECT_FALSE(text.has_value());
  EXPECT_TRUE(log_.Has("[ERROR] ReadRegSZ: Error while opening registry key Software\\NoSuchKey ,and the error is  2 "));

  EXPECT_EQ(ReadRegSZ64(HKEY_LOCAL_MACHINE, "Software\\NoSuchKey", "Present", text), 2);
  EXPECT_TRUE(log_.Has("[ERROR] ReadRegSZEx: Error while opening registry key for Software\\NoSuchKey and error 2 "));
  EXPECT_EQ(ReadRegSZ64(HKEY_LOCAL_MACHINE, kKey, "Present", text), 0);
  EXPECT_EQ(text, "x");
}

TEST_F(RegistryAccessTest, ReadRegSZExReadsUtf16WithAUtf8Name) {
  PutRaw(kKey, "Plain", REG_SZ, Utf16Bytes(u"corp.local", 1).data(), 22);
  const std::u16string umlautName = u"N\u00e4me";
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key), 0);
  std::vector<BYTE> stored = Utf16Bytes(u"Gr\u00fc\u00dfe \U0001F600", 0);  // no terminator
  ASSERT_EQ(RegSetValueExW(key, umlautName.c_str(), 0, REG_SZ, stored.data(), static_cast<DWORD>(stored.size())), 0);
  RegCloseKey(key);

  std::optional<std::u16string> text;
  EXPECT_EQ(ReadRegSZEx(HKEY_LOCAL_MACHINE, kKey, "Plain", text), 0);
  EXPECT_EQ(text, u"corp.local");
  EXPECT_EQ(ReadRegSZEx(HKEY_LOCAL_MACHINE, kKey, "N\xc3\xa4me", text), 0);
  EXPECT_EQ(text, u"Gr\u00fc\u00dfe \U0001F600");
  EXPECT_EQ(ReadRegSZEx(HKEY_LOCAL_MACHINE, kKey, "Absent", text), 2);
  EXPECT_FALSE(text.has_value());
  EXPECT_EQ(ReadRegSZEx(HKEY_LOCAL_MACHINE, "Software\\NoSuchKey", "N\xc3\xa4me", text), 2);
  EXPECT_TRUE(log_.Has("[ERROR] ReadRegSZEx: Error while opening registry key : N\xc3\xa4me "));
}

TEST_F(RegistryAccessTest, WriteValueStoresBytesByType) {
  struct Case {
    const char* label;
    const char* name;
    const char* data;
    DWORD type;
    const char16_t* storedName;
    DWORD storedType;
    std::vector<BYTE> bytes;
    const char* debugLine;
  };
  const std::vector<Case> cases = {
      {"text", "Name", "hello", REG_SZ, u"Name", REG_SZ, Utf16Bytes(u"hello", 1),
       "[DEBUG] writeValue:  Data type is REG_SZ or REG_EXPAND_SZ or REG_BINARY: 12"},
      {"empty text", "Empty", "", REG_SZ, u"Empty", REG_SZ, Utf16Bytes(u"", 1),
       "[DEBUG] writeValue:  Data type is REG_SZ or REG_EXPAND_SZ or REG_BINARY: 2"},
      {"UTF-8 text", "Ort", "K\xc3\xb6ln", REG_SZ, u"Ort", REG_SZ, Utf16Bytes(u"K\u00f6ln", 1), nullptr},
      {"expand text", "Path", "%TEMP%", REG_EXPAND_SZ, u"Path", REG_EXPAND_SZ, Utf16Bytes(u"%TEMP%", 1), nullptr},
      {"binary is stored as text", "Bin", "ab", REG_BINARY, u"Bin", REG_BINARY, Utf16Bytes(u"ab", 1), nullptr},
      {"multi string", "List", "line", REG_MULTI_SZ, u"List", REG_MULTI_SZ, Utf16Bytes(u"line", 2),
       "[DEBUG] writeValue:  Data type is REG_MULTI_SZ: 12"},
      {"dword", "Count", "8192", REG_DWORD, u"Count", REG_DWORD, LittleEndian<DWORD>(8192),
       "[DEBUG] writeValue:  REG_DWORD -- sizeOfInputData: 4"},
      {"dword with trailing letters", "Count", "12abc", REG_DWORD, u"Count", REG_DWORD, LittleEndian<DWORD>(12), nullptr},
      {"dword without digits", "Count", "abc", REG_DWORD, u"Count", REG_DWORD, LittleEndian<DWORD>(0), nullptr},
      {"dword with blanks and sign", "Count", "  -5", REG_DWORD, u"Count", REG_DWORD, LittleEndian<DWORD>(0xFFFFFFFBu), nullptr},
      {"dword too large", "Count", "99999999999", REG_DWORD, u"Count", REG_DWORD, LittleEndian<DWORD>(0x7FFFFFFF), nullptr},
      {"dword too small", "Count", "-99999999999", REG_DWORD, u"Count", REG_DWORD, LittleEndian<DWORD>(0x80000000u), nullptr},
      {"qword", "Big", "1234567890123", REG_QWORD, u"Big", REG_QWORD, LittleEndian<uint64_t>(1234567890123ull),
       "[DEBUG] writeValue:  REG_QWORD -- sizeOfInputData: 8"},
      {"qword reads every character", "Big", "1a", REG_QWORD, u"Big", REG_QWORD, LittleEndian<uint64_t>(59), nullptr},
      {"default value with zero", "--", "--", REG_DWORD, u"", REG_DWORD, LittleEndian<DWORD>(0), nullptr},
      {"empty data mark as text", "Mark", "--", REG_SZ, u"Mark", REG_SZ, Utf16Bytes(u"", 1), nullptr},
      {"empty data mark as qword", "Big", "--", REG_QWORD, u"Big", REG_QWORD, LittleEndian<uint64_t>(0), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(writeValue(HKEY_LOCAL_MACHINE, kKey, c.name, c.data, c.type), 0);
    std::optional<RawValue> raw = GetRaw(kKey, c.storedName);
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, c.storedType);
    EXPECT_EQ(raw->bytes, c.bytes);
    if (c.debugLine != nullptr) {
      EXPECT_TRUE(log_.Has(c.debugLine));
    }
  }
  EXPECT_TRUE(log_.Has("[INFO] writeValue : going to add the (default) value ."));
  EXPECT_TRUE(log_.Has("[INFO] writeValue : going to add the value data as 0 value ."));
  EXPECT_TRUE(log_.Has("[DEBUG] writeValue: Subkey : Software\\Tessaly\\Quarvel\\QVAgent\\Test "));
  EXPECT_TRUE(log_.Has("[DEBUG] writeValue: Value Name: Count "));
  EXPECT_TRUE(log_.Has("[DEBUG] writeValue: Value Data: 12abc "));
  EXPECT_TRUE(log_.Has("[DEBUG] @@@@@@@@ End Of writeValue Method @@@@@@@@ "));
}

TEST_F(RegistryAccessTest, WriteValueCreatesTheWholePathAndReportsKeyCreation) {
  const char* deep = "Software\\Tessaly\\New\\Level1\\Level2";
  ASSERT_FALSE(KeyExists("Software\\Tessaly\\New"));
  EXPECT_EQ(writeValue(HKEY_LOCAL_MACHINE, deep, "Value", "1", REG_DWORD), 0);
  EXPECT_TRUE(KeyExists(deep));
  EXPECT_TRUE(log_.Has("[DEBUG] addRegistryKey:  Create registry key function successfull: 1 "));
  EXPECT_FALSE(log_.Has("[DEBUG] addRegistryKey:  Opened already existing key! "));

  EXPECT_EQ(writeValue(HKEY_LOCAL_MACHINE, deep, "Value", "2", REG_DWORD), 0);
  EXPECT_TRUE(log_.Has("[DEBUG] addRegistryKey:  Opened already existing key! "));
  EXPECT_EQ(GetRaw(deep, u"Value")->bytes, LittleEndian<DWORD>(2));
  EXPECT_EQ(addRegistryKey(HKEY_LOCAL_MACHINE, "Software\\Tessaly\\Other\\X"), 0);
  EXPECT_TRUE(KeyExists("Software\\Tessaly\\Other\\X"));
}

TEST_F(RegistryAccessTest, WriteValueRejectsBadInputAndTouchesNothing) {
  struct Case {
    const char* label;
    const char* name;
    const char* data;
    DWORD type;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"no data", "Name", nullptr, REG_SZ, "[INFO] writeValue : Valuename or Valuedata is Empty "},
      {"no name", nullptr, "data", REG_SZ, "[INFO] writeValue : Valuename or Valuedata is Empty "},
      {"type not stored", "Name", "data", REG_DWORD_BIG_ENDIAN, "[ERROR] writeValue : Unsupported data type 5 "},
  };
  const char* untouched = "Software\\Tessaly\\Untouched";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(writeValue(HKEY_LOCAL_MACHINE, untouched, c.name, c.data, c.type), ERROR_INVALID_DATA);
    EXPECT_FALSE(KeyExists(untouched));
    if (c.line != nullptr) {
      EXPECT_TRUE(log_.Has(c.line));
    }
  }
}

TEST_F(RegistryAccessTest, WriteValueFailuresAreLoggedWithTheirCodes) {
  // A key path with a leading separator is refused by the registry.
  EXPECT_EQ(writeValue(HKEY_LOCAL_MACHINE, "\\Bad", "Name", "data", REG_SZ), static_cast<LONG>(ERROR_BAD_PATHNAME));
  EXPECT_TRUE(log_.Has("[ERROR] addRegistryKey:  Create registry key \"\\Bad\" function failed: 161 "));
  EXPECT_TRUE(log_.Has("[ERROR] writeValue:  WriteValue failure during key creation! 161 "));

  // A value name longer than the registry allows: the write itself fails.
  const std::string longName(20000, 'n');
  LONG code = writeValue(HKEY_LOCAL_MACHINE, kKey, longName.c_str(), "data", REG_SZ);
  EXPECT_NE(code, 0);
  EXPECT_TRUE(log_.Has("[ERROR] writeValue:  Function WriteValue failure!:" + std::to_string(code)));
  EXPECT_TRUE(log_.Has("[ERROR] writeValue:    Subkey: Software\\Tessaly\\Quarvel\\QVAgent\\Test "));
  EXPECT_TRUE(log_.Has("[ERROR] writeValue:    Valuedata: data "));
  EXPECT_TRUE(log_.Has("[ERROR] writeValue:    Datatype: 1 "));
}

TEST_F(RegistryAccessTest, DeleteValueNarrowAndWide) {
  struct Case {
    const char* label;
    bool wide;
    const char* keyPath;
    const char* name;           // value to delete
    const char16_t* storedName;  // the value that must be gone afterwards
    LONG code;
    const char* line;
  };
  const std::vector<Case> cases = {
      {"narrow existing", false, kKey, "Victim", u"Victim", 0, "[INFO] deleteValue:  Delete value Victim success! "},
      {"wide existing", true, kKey, "Victim", u"Victim", 0, "[INFO] deleteValue:  Delete value Victim success! "},
      {"narrow default", false, kKey, "--", u"", 0, "[INFO] deleteValue : going to delete the (default) value ."},
      {"wide default", true, kKey, "--", u"", 0, "[INFO] deleteValue : going to delete the (default) value ."},
      {"narrow missing value", false, kKey, "Absent", nullptr, 2, "[ERROR] deleteValue:  Delete value Absent failure! "},
      {"wide missing value", true, kKey, "Absent", nullptr, 2, "[ERROR] deleteValue:  Delete value Absent failure! "},
      {"narrow missing key", false, "Software\\NoSuchKey", "Victim", nullptr, 2,
       "[ERROR] deleteValue:  Software\\NoSuchKey Key not found!: 2  "},
      {"wide missing key", true, "Software\\NoSuchKey", "Victim", nullptr, 2,
       "[ERROR] deleteValue:  Software\\NoSuchKey Key not found!: 2  "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    PutText(kKey, "Victim", u"v");
    PutText(kKey, "", u"default");
    PutText(kKey, "Keeper", u"k");
    LONG code;
    if (c.wide) {
      std::u16string key(c.keyPath, c.keyPath + std::strlen(c.keyPath));
      std::u16string name(c.name, c.name + std::strlen(c.name));
      code = deleteValue(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str());
    } else {
      code = deleteValue(HKEY_LOCAL_MACHINE, c.keyPath, c.name);
    }
    EXPECT_EQ(code, c.code);
    if (c.storedName != nullptr) {
      EXPECT_FALSE(GetRaw(kKey, c.storedName).has_value());
    }
    EXPECT_TRUE(GetRaw(kKey, u"Keeper").has_value());
    EXPECT_TRUE(log_.Has(c.line));
  }
  EXPECT_TRUE(log_.Has("[DEBUG] deleteValue: Inside function deleteValue ..... subkey : "
                       "Software\\Tessaly\\Quarvel\\QVAgent\\Test, Valuename : Victim "));
}

TEST_F(RegistryAccessTest, DeleteRegistryTreeRemovesThreeLevels) {
  const char* root = "Software\\Tessaly\\Tree";
  for (const char* path : {"Software\\Tessaly\\Tree\\A\\B\\C", "Software\\Tessaly\\Tree\\A\\B2",
                           "Software\\Tessaly\\Tree\\D", "Software\\Tessaly\\TreeSibling"}) {
    PutText(path, "v", u"x");
  }
  PutText(root, "v", u"x");
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, root), 1);
  EXPECT_FALSE(KeyExists(root));
  EXPECT_FALSE(KeyExists("Software\\Tessaly\\Tree\\A\\B\\C"));
  EXPECT_TRUE(KeyExists("Software\\Tessaly\\TreeSibling"));
  EXPECT_TRUE(KeyExists("Software\\Tessaly"));

  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, root), 0);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, ""), 0);
  EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, nullptr), 0);
  EXPECT_TRUE(KeyExists("Software\\Tessaly\\TreeSibling"));
  EXPECT_TRUE(KeyExists("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"));
}

}  // namespace
