// qvreg query: the values of a key, one value, or a subtree, in reg's layout.
#include <cstdio>

#include "advapi32/registry_data.h"
#include "cli.h"
#include "hive_walk.h"

namespace qvreg {

namespace {

void PrintValue(const ValueData& value) {
  std::string name = value.name.empty() ? "(Default)" : qvplatform::Utf16ToUtf8Lossy(value.name);
  std::printf("    %s    %s    %s\n", name.c_str(), TypeName(value.type).c_str(),
              DisplayData(value.type, value.data).c_str());
}

std::string ChildPath(const std::string& path, const KeySnapshot& child) {
  return path + "\\" + qvplatform::Utf16ToUtf8Lossy(child.name);
}

// Every key of the subtree: its path, its values, a blank line.
void PrintTree(const std::string& path, const KeySnapshot& key) {
  std::printf("%s\n", path.c_str());
  for (const auto& value : key.values) PrintValue(value);
  std::printf("\n");
  for (const auto& child : key.children) PrintTree(ChildPath(path, child), child);
}

// The keys of the subtree holding a value of that name; returns how many.
int PrintMatches(const std::string& path, const KeySnapshot& key, const std::string& fold) {
  int matches = 0;
  for (const auto& value : key.values) {
    if (qvplatform::registry::FoldName(value.name) != fold) continue;
    std::printf("%s\n", path.c_str());
    PrintValue(value);
    std::printf("\n");
    ++matches;
  }
  for (const auto& child : key.children) matches += PrintMatches(ChildPath(path, child), child, fold);
  return matches;
}

}  // namespace

int Query(const std::vector<std::string>& argv) {
  Args args;
  std::string bad;
  if (!ParseArgs(argv, {"v"}, {"ve", "s"}, &args, &bad)) return SyntaxError("query", "Check \"" + bad + "\".");
  if (args.positional.size() != 1 || (args.Has("v") && args.Has("ve"))) return SyntaxError("query");
  auto path = ParseKeyPath(args.positional[0]);
  if (!path) return Failure("Invalid key name.");
  KeyHandle key;
  if (LSTATUS code = RegOpenKeyExW(path->root, path->WideSubKey().c_str(), 0, KEY_READ, key.out());
      code != ERROR_SUCCESS)
    return Failure(code);

  const bool oneValue = args.Has("v") || args.Has("ve");
  const std::u16string valueName = args.Has("v") ? qvplatform::Utf8ToUtf16Lossy(*args.Value("v")) : u"";
  KeySnapshot tree;
  if (oneValue && !args.Has("s")) {
    // Shown with the name as stored.
    if (LSTATUS code = ReadKey(key.get(), false, &tree); code != ERROR_SUCCESS) return Failure(code);
    const std::string fold = qvplatform::registry::FoldName(valueName);
    for (const auto& value : tree.values) {
      if (qvplatform::registry::FoldName(value.name) != fold) continue;
      std::printf("\n%s\n", path->Display().c_str());
      PrintValue(value);
      std::printf("\n");
      return kExitSuccess;
    }
    return Failure(static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
  }
  if (LSTATUS code = ReadKey(key.get(), args.Has("s"), &tree); code != ERROR_SUCCESS) return Failure(code);
  std::printf("\n");
  if (oneValue) {
    int matches = PrintMatches(path->Display(), tree, qvplatform::registry::FoldName(valueName));
    std::printf("End of search: %d match(es) found.\n", matches);
    return matches > 0 ? kExitSuccess : kExitFailure;
  }
  if (args.Has("s")) {
    PrintTree(path->Display(), tree);
    return kExitSuccess;
  }
  std::printf("%s\n", path->Display().c_str());
  for (const auto& value : tree.values) PrintValue(value);
  std::printf("\n");
  for (const auto& child : tree.children) std::printf("%s\n", ChildPath(path->Display(), child).c_str());
  return kExitSuccess;
}

}  // namespace qvreg
