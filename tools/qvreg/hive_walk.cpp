#include "hive_walk.h"

#include <algorithm>

#include "advapi32/registry_data.h"

namespace qvreg {

namespace {

LSTATUS ReadValues(HKEY key, std::vector<ValueData>* values) {
  DWORD maxName = 0, maxData = 0;
  for (DWORD index = 0;;) {
    std::u16string name(maxName + 1, u'\0');
    // Never a null data buffer: that would ask for the size only.
    Bytes data(maxData + 1);
    DWORD nameLength = maxName + 1, size = maxData + 1, type = REG_NONE;
    LSTATUS code = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
    if (code == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (code == ERROR_MORE_DATA) {
      // The buffers grow to the longest name and data of the key, then the value is read again.
      DWORD longestName = 0, longestData = 0;
      code = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                              &longestData, nullptr, nullptr);
      if (code != ERROR_SUCCESS) return code;
      maxName = std::max({maxName + 1, longestName, nameLength});
      maxData = std::max({maxData + 1, longestData, size});
      continue;
    }
    if (code != ERROR_SUCCESS) return code;
    name.resize(nameLength);
    data.resize(size);
    values->push_back({std::move(name), type, std::move(data)});
    ++index;
  }
}

}  // namespace

LSTATUS ReadKey(HKEY key, bool recurse, KeySnapshot* out) {
  if (LSTATUS code = ReadValues(key, &out->values); code != ERROR_SUCCESS) return code;
  for (DWORD index = 0;; ++index) {
    char16_t name[QV_REG_MAX_KEY_NAME + 1];
    DWORD length = QV_REG_MAX_KEY_NAME + 1;
    LSTATUS code = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (code == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (code != ERROR_SUCCESS) return code;
    KeySnapshot child;
    child.name.assign(name, length);
    if (recurse) {
      KeyHandle opened;
      if (code = RegOpenKeyExW(key, child.name.c_str(), 0, KEY_READ, opened.out()); code != ERROR_SUCCESS)
        return code;
      if (code = ReadKey(opened.get(), true, &child); code != ERROR_SUCCESS) return code;
    }
    out->children.push_back(std::move(child));
  }
}

LSTATUS StoredPath(const KeyPath& path, KeyPath* stored) {
  *stored = path;
  stored->subKey.clear();
  std::u16string rest = path.WideSubKey();
  HKEY current = path.root;
  KeyHandle opened;
  while (!rest.empty()) {
    size_t slash = rest.find(u'\\');
    std::u16string wanted = rest.substr(0, slash);
    rest = slash == std::u16string::npos ? u"" : rest.substr(slash + 1);
    std::string fold = qvplatform::registry::FoldName(wanted);
    KeySnapshot listing;
    if (LSTATUS code = ReadKey(current, false, &listing); code != ERROR_SUCCESS) return code;
    const KeySnapshot* match = nullptr;
    for (const auto& child : listing.children)
      if (qvplatform::registry::FoldName(child.name) == fold) match = &child;
    if (!match) return ERROR_FILE_NOT_FOUND;
    std::string name = qvplatform::Utf16ToUtf8Lossy(match->name);
    stored->subKey += (stored->subKey.empty() ? "" : "\\") + name;
    KeyHandle next;
    if (LSTATUS code = RegOpenKeyExW(current, match->name.c_str(), 0, KEY_READ, next.out()); code != ERROR_SUCCESS)
      return code;
    std::swap(*opened.out(), *next.out());
    current = opened.get();
  }
  return ERROR_SUCCESS;
}

}  // namespace qvreg
