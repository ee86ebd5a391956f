// qvreg add and qvreg delete.
#include "cli.h"
#include "hive_walk.h"

namespace qvreg {

int Add(const std::vector<std::string>& argv) {
  Args args;
  std::string bad;
  if (!ParseArgs(argv, {"v", "t", "d", "s"}, {"ve", "f"}, &args, &bad)) return SyntaxError("add", "Check \"" + bad + "\".");
  if (args.positional.size() != 1 || (args.Has("v") && args.Has("ve"))) return SyntaxError("add");
  auto path = ParseKeyPath(args.positional[0]);
  if (!path || path->subKey.empty()) return Failure("Invalid key name.");
  DWORD type = REG_SZ;
  if (const std::string* name = args.Value("t")) {
    auto known = TypeFromName(*name);
    if (!known) return Failure("Invalid type \"" + *name + "\".");
    type = *known;
  }
  const bool setsValue = args.Has("v") || args.Has("ve") || args.Has("t") || args.Has("d");
  std::optional<Bytes> data;
  if (setsValue) {
    std::string problem;
    const std::string* separator = args.Value("s");
    data = DataFromText(type, args.Value("d") ? *args.Value("d") : "", separator ? *separator : "", &problem);
    if (!data) return Failure(problem);
  }
  std::u16string name = args.Has("v") ? qvplatform::Utf8ToUtf16Lossy(*args.Value("v")) : u"";

  // The check for an existing value and the write are one transaction.
  qvplatform::RegistryTransaction transaction;
  if (transaction.status() != ERROR_SUCCESS) return Failure(transaction.status());
  KeyHandle key;
  if (LSTATUS code = RegCreateKeyExW(path->root, path->WideSubKey().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, key.out(), nullptr);
      code != ERROR_SUCCESS)
    return Failure(code);
  if (setsValue) {
    if (!args.Has("f") && RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      std::string shown = name.empty() ? "(Default)" : qvplatform::Utf16ToUtf8Lossy(name);
      return Failure("The value " + shown + " of " + path->Display() + " exists; add /f to overwrite it.");
    }
    if (LSTATUS code = RegSetValueExW(key.get(), name.c_str(), 0, type, data->data(), static_cast<DWORD>(data->size()));
        code != ERROR_SUCCESS)
      return Failure(code);
  }
  if (LSTATUS code = transaction.Commit(); code != ERROR_SUCCESS) return Failure(code);
  return Success();
}

int Delete(const std::vector<std::string>& argv) {
  Args args;
  std::string bad;
  if (!ParseArgs(argv, {"v"}, {"ve", "va", "f"}, &args, &bad)) return SyntaxError("delete", "Check \"" + bad + "\".");
  int selectors = args.Has("v") + args.Has("ve") + args.Has("va");
  if (args.positional.size() != 1 || selectors > 1) return SyntaxError("delete");
  auto path = ParseKeyPath(args.positional[0]);
  if (!path || path->subKey.empty()) return Failure("Invalid key name.");
  KeyHandle key;
  if (LSTATUS code = RegOpenKeyExW(path->root, path->WideSubKey().c_str(), 0, KEY_ALL_ACCESS, key.out());
      code != ERROR_SUCCESS)
    return Failure(code);
  if (!args.Has("f")) return Failure("Nothing deleted: qvreg does not ask for confirmation; add /f to delete.");

  if (selectors == 0) {
    if (LSTATUS code = RegDeleteTreeW(path->root, path->WideSubKey().c_str()); code != ERROR_SUCCESS)
      return Failure(code);
    return Success();
  }
  if (!args.Has("va")) {
    std::u16string name = args.Has("v") ? qvplatform::Utf8ToUtf16Lossy(*args.Value("v")) : u"";
    if (LSTATUS code = RegDeleteValueW(key.get(), name.c_str()); code != ERROR_SUCCESS) return Failure(code);
    return Success();
  }
  // All values of the key, in one transaction; its subkeys stay.
  qvplatform::RegistryTransaction transaction;
  if (transaction.status() != ERROR_SUCCESS) return Failure(transaction.status());
  KeySnapshot snapshot;
  if (LSTATUS code = ReadKey(key.get(), false, &snapshot); code != ERROR_SUCCESS) return Failure(code);
  for (const auto& value : snapshot.values)
    if (LSTATUS code = RegDeleteValueW(key.get(), value.name.c_str()); code != ERROR_SUCCESS) return Failure(code);
  if (LSTATUS code = transaction.Commit(); code != ERROR_SUCCESS) return Failure(code);
  return Success();
}

}  // namespace qvreg
