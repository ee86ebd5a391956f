// The keys and values a new hive starts with: the description of the emulated Windows.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "types.h"

namespace qvplatform::registry {

struct SeedValue {
  std::string_view key;   // below HKEY_LOCAL_MACHINE
  std::string_view name;  // empty: the default value
  DWORD type;             // REG_SZ and REG_EXPAND_SZ take `text`, REG_DWORD `number`
  std::string_view text;
  uint64_t number;
};

const std::vector<SeedValue>& SeedTable();

}  // namespace qvplatform::registry
