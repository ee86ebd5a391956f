#include "key_path.h"

#include <strings.h>

namespace qvreg {

namespace {

struct Root {
  const char* shortName;
  const char* fullName;
  HKEY key;
};

const Root* FindRoot(std::string_view name) {
  static const Root roots[] = {
      {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKU", "HKEY_USERS", HKEY_USERS},
      {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
  };
  std::string text(name);
  for (const auto& root : roots)
    if (strcasecmp(text.c_str(), root.shortName) == 0 || strcasecmp(text.c_str(), root.fullName) == 0) return &root;
  return nullptr;
}

}  // namespace

std::string KeyPath::Display() const { return subKey.empty() ? rootName : rootName + "\\" + subKey; }

std::u16string KeyPath::WideSubKey() const { return qvplatform::Utf8ToUtf16Lossy(subKey); }

std::optional<KeyPath> ParseKeyPath(std::string_view text) {
  while (!text.empty() && text.back() == '\\') text.remove_suffix(1);
  size_t slash = text.find('\\');
  const Root* root = FindRoot(text.substr(0, slash));
  if (!root) return std::nullopt;
  KeyPath path{root->key, root->fullName, {}};
  if (slash != std::string_view::npos) {
    path.subKey = std::string(text.substr(slash + 1));
    if (path.subKey.empty() || path.subKey.front() == '\\' || path.subKey.find("\\\\") != std::string::npos)
      return std::nullopt;
  }
  return path;
}

}  // namespace qvreg
