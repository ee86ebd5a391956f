// RegistryKey: typed queries with their type checks and the replacement of the held key.
#include "config/registry_key.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_hive.h"
#include "win32.h"

namespace {

constexpr const char* kKey = "Software\\Tessaly\\Quarvel\\QVAgent\\FileMetaData";

void PutRaw(const char16_t* name, DWORD type, const std::vector<BYTE>& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
  ASSERT_EQ(RegSetValueExW(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())), 0);
  RegCloseKey(key);
}

TEST(RegistryKeyTest, QueriesCheckTypeAndTerminator) {
  qvtest::TempHive hive;
  PutRaw(u"Dword", REG_DWORD, {0x2a, 0, 0, 0});
  PutRaw(u"Text", REG_SZ, {'o', 0, 'k', 0, 0, 0});
  PutRaw(u"Expand", REG_EXPAND_SZ, {'%', 0, 0, 0});
  PutRaw(u"Unterminated", REG_SZ, {'n', 0, 'o', 0});
  PutRaw(u"Empty", REG_SZ, {});
  PutRaw(u"Binary", REG_BINARY, {1, 2, 3, 4});

  RegistryKey key;
  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kKey, KEY_READ | KEY_WRITE), 0);

  struct DwordCase {
    const char* name;
    LONG code;
    DWORD value;
  };
  for (const DwordCase& c : std::vector<DwordCase>{{"Dword", 0, 42}, {"Binary", 13, 0}, {"Absent", 2, 0}}) {
    SCOPED_TRACE(c.name);
    DWORD value = 0;
    EXPECT_EQ(key.QueryDword(c.name, &value), c.code);
    if (c.code == 0) {
      EXPECT_EQ(value, c.value);
    }
  }

  struct TextCase {
    const char* name;
    LONG code;
    std::string text;
    DWORD size;
  };
  for (const TextCase& c : std::vector<TextCase>{{"Text", 0, "ok", 3},
                                                 {"Expand", 0, "%", 2},
                                                 {"Empty", 0, "", 0},
                                                 {"Unterminated", 13, "", 0},
                                                 {"Dword", 13, "", 0},
                                                 {"Absent", 2, "", 0}}) {
    SCOPED_TRACE(c.name);
    std::string text = "untouched";
    DWORD size = 999;
    EXPECT_EQ(key.QueryString(c.name, text, &size), c.code);
    if (c.code == 0) {
      EXPECT_EQ(text, c.text);
      EXPECT_EQ(size, c.size);
    } else {
      EXPECT_EQ(text, "untouched");
    }
  }

  EXPECT_EQ(key.SetString("Written", nullptr, REG_SZ), 13);
  EXPECT_EQ(key.SetString("Written", "value", REG_SZ), 0);
  std::string text;
  EXPECT_EQ(key.QueryString("Written", text), 0);
  EXPECT_EQ(text, "value");
}

TEST(RegistryKeyTest, FailedOpenKeepsTheHeldKeyAndCreateReportsDisposition) {
  qvtest::TempHive hive;
  RegistryKey key;
  DWORD disposition = 0;
  ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, kKey, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &disposition), 0);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(key.view(), KEY_WOW64_32KEY);
  HKEY held = key.handle();

  EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, "Software\\NoSuchKey", KEY_READ), 2);
  EXPECT_EQ(key.handle(), held);
  EXPECT_EQ(key.SetString("StillUsable", "yes", REG_SZ), 0);

  RegistryKey second;
  ASSERT_EQ(second.Create(HKEY_LOCAL_MACHINE, kKey, nullptr, 0, KEY_ALL_ACCESS, nullptr, &disposition), 0);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  std::string text;
  EXPECT_EQ(second.QueryString("StillUsable", text), 0);
  EXPECT_EQ(text, "yes");

  key = std::move(second);
  EXPECT_TRUE(key.IsOpen());
  EXPECT_FALSE(second.IsOpen());  // NOLINT(bugprone-use-after-move): moved-from state is defined
  key.Close();
  EXPECT_FALSE(key.IsOpen());
}

}  // namespace
