// Reading a key, or a whole subtree, out of the hive in one piece.
#pragma once

#include <string>
#include <vector>

#include "key_path.h"
#include "value_text.h"

namespace qvreg {

struct ValueData {
  std::u16string name;  // empty: the default value
  DWORD type = REG_NONE;
  Bytes data;
};

struct KeySnapshot {
  std::u16string name;  // as stored
  std::vector<ValueData> values;
  std::vector<KeySnapshot> children;  // by name; without recursion, names only
};

// A key opened by qvreg, closed when it goes out of scope.
class KeyHandle {
 public:
  KeyHandle() = default;
  ~KeyHandle() {
    if (key_) RegCloseKey(key_);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// The values and subkeys of an open key, with `recurse` the whole subtree below it.
LSTATUS ReadKey(HKEY key, bool recurse, KeySnapshot* out);

// The path with every key name in the case it is stored in (ERROR_FILE_NOT_FOUND when a key is
// missing).
LSTATUS StoredPath(const KeyPath& path, KeyPath* stored);

}  // namespace qvreg
