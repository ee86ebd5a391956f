#include "support/hive_edits.h"

#include <gtest/gtest.h>

#include "win32.h"

namespace qvtest {

void ApplyHiveEdits(const std::vector<HiveEdit>& edits) {
  for (const auto& edit : edits) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, edit.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS)
        << edit.key;
    LSTATUS status;
    if (edit.text) {
      status = RegSetValueExA(key, edit.name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(edit.text->c_str()),
                              static_cast<DWORD>(edit.text->size() + 1));
    } else if (edit.number) {
      DWORD value = *edit.number;
      status = RegSetValueExA(key, edit.name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    } else {
      status = RegDeleteValueA(key, edit.name.c_str());
      if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    EXPECT_EQ(status, ERROR_SUCCESS) << edit.key << " " << edit.name;
  }
}

}  // namespace qvtest
