// Key paths as qvreg takes them: a root (HKLM or HKEY_LOCAL_MACHINE, ...) and a subkey below it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "win32.h"

namespace qvreg {

struct KeyPath {
  HKEY root = nullptr;
  std::string rootName;  // the full name: HKEY_LOCAL_MACHINE
  std::string subKey;    // without leading or trailing backslashes; empty for the root itself

  // rootName\subKey
  std::string Display() const;
  std::u16string WideSubKey() const;
};

// Parses "HKLM\Software\X" (root names are case-insensitive, short or full); none for an unknown
// root or an empty name inside the path.
std::optional<KeyPath> ParseKeyPath(std::string_view text);

}  // namespace qvreg
