// .reg files in the "Windows Registry Editor Version 5.00" format: parsing them whole into a list
// of changes, and writing a subtree out.
#pragma once

#include <string>
#include <vector>

#include "hive_walk.h"
#include "key_path.h"

namespace qvreg {

inline constexpr char kRegFileHeader[] = "Windows Registry Editor Version 5.00";

struct RegChange {
  enum Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue };
  Kind kind = kCreateKey;
  KeyPath key;
  std::u16string name;  // values only; empty: the default value
  DWORD type = REG_NONE;
  Bytes data;
  int line = 0;
};

struct RegFileError {
  int line = 0;
  std::string message;
};

// Parses the whole file (UTF-16LE with its byte-order mark, or UTF-8 with or without one). On a
// malformed file returns false with the first faulty line and what is wrong with it.
bool ParseRegFile(const std::string& bytes, std::vector<RegChange>* changes, RegFileError* error);

// The file for a subtree, as UTF-16LE with byte-order mark and CR LF line ends. `path` names the
// snapshot's key (in stored case).
std::string FormatRegFile(const KeyPath& path, const KeySnapshot& tree);

}  // namespace qvreg
