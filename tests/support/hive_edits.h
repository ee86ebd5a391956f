// Edits of single hive values below HKEY_LOCAL_MACHINE, written as table rows:
//   {R"(SYSTEM\...)", "Name", "text"}     REG_SZ
//   {R"(SYSTEM\...)", "Name", 42u}        REG_DWORD
//   {R"(SYSTEM\...)", "Name"}             delete the value
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvtest {

struct HiveEdit {
  std::string key;
  std::string name;
  std::optional<std::string> text;
  std::optional<uint32_t> number;

  HiveEdit(std::string key, std::string name) : key(std::move(key)), name(std::move(name)) {}
  HiveEdit(std::string key, std::string name, const char* text) : key(std::move(key)), name(std::move(name)), text(text) {}
  HiveEdit(std::string key, std::string name, uint32_t number)
      : key(std::move(key)), name(std::move(name)), number(number) {}
};

// Applies the edits to the current hive (QVAGENT_REGISTRY); records a test failure for any that fails.
void ApplyHiveEdits(const std::vector<HiveEdit>& edits);

}  // namespace qvtest
