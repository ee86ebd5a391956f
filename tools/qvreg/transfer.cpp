// qvreg import and qvreg export: .reg files in and out.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli.h"
#include "reg_file.h"

namespace qvreg {

namespace {

constexpr char kFileError[] = "Error opening the file. There may be a disk or file system error.";

LSTATUS Apply(const RegChange& change) {
  std::u16string subKey = change.key.WideSubKey();
  switch (change.kind) {
    case RegChange::kCreateKey:
    case RegChange::kSetValue: {
      KeyHandle key;
      LSTATUS code = RegCreateKeyExW(change.key.root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, key.out(), nullptr);
      if (code != ERROR_SUCCESS || change.kind == RegChange::kCreateKey) return code;
      return RegSetValueExW(key.get(), change.name.c_str(), 0, change.type, change.data.data(),
                            static_cast<DWORD>(change.data.size()));
    }
    case RegChange::kDeleteKey: {
      // Deleting what is not there is no error.
      LSTATUS code = RegDeleteTreeW(change.key.root, subKey.c_str());
      return code == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : code;
    }
    case RegChange::kDeleteValue: {
      KeyHandle key;
      LSTATUS code = RegOpenKeyExW(change.key.root, subKey.c_str(), 0, KEY_ALL_ACCESS, key.out());
      if (code == ERROR_SUCCESS) code = RegDeleteValueW(key.get(), change.name.c_str());
      return code == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : code;
    }
  }
  return ERROR_INVALID_PARAMETER;
}

std::string LineText(LSTATUS code) {
  if (const char* text = qvplatform::SystemMessageText(static_cast<DWORD>(code))) {
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
      message.pop_back();
    return message;
  }
  return "error " + std::to_string(code) + ".";
}

}  // namespace

int Import(const std::vector<std::string>& argv) {
  Args args;
  std::string bad;
  if (!ParseArgs(argv, {}, {"reg:32", "reg:64"}, &args, &bad) || args.positional.size() != 1)
    return SyntaxError("import");
  const std::string& file = args.positional[0];
  std::ifstream in(file, std::ios::binary);
  if (!in) return Failure(kFileError);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return Failure(kFileError);
  std::vector<RegChange> changes;
  RegFileError error;
  if (!ParseRegFile(bytes, &changes, &error))
    return Failure(file + ", line " + std::to_string(error.line) + ": " + error.message + " Nothing was imported.");

  qvplatform::RegistryTransaction transaction;
  if (transaction.status() != ERROR_SUCCESS) return Failure(transaction.status());
  for (const auto& change : changes) {
    if (LSTATUS code = Apply(change); code != ERROR_SUCCESS)
      return Failure(file + ", line " + std::to_string(change.line) + ": " + LineText(code) + " Nothing was imported.");
  }
  if (LSTATUS code = transaction.Commit(); code != ERROR_SUCCESS) return Failure(code);
  return Success();
}

int Export(const std::vector<std::string>& argv) {
  Args args;
  std::string bad;
  if (!ParseArgs(argv, {}, {"y", "reg:32", "reg:64"}, &args, &bad) || args.positional.size() != 2)
    return SyntaxError("export");
  auto path = ParseKeyPath(args.positional[0]);
  if (!path) return Failure("Invalid key name.");
  const std::string& file = args.positional[1];

  // One read transaction: the file shows the subtree as it was at one moment.
  qvplatform::RegistryTransaction transaction;
  if (transaction.status() != ERROR_SUCCESS) return Failure(transaction.status());
  KeyPath stored;
  if (LSTATUS code = StoredPath(*path, &stored); code != ERROR_SUCCESS) return Failure(code);
  KeyHandle key;
  if (LSTATUS code = RegOpenKeyExW(path->root, path->WideSubKey().c_str(), 0, KEY_READ, key.out());
      code != ERROR_SUCCESS)
    return Failure(code);
  KeySnapshot tree;
  if (LSTATUS code = ReadKey(key.get(), true, &tree); code != ERROR_SUCCESS) return Failure(code);
  transaction.Commit();

  std::error_code ec;
  if (std::filesystem::exists(file, ec) && !args.Has("y"))
    return Failure("The file " + file + " exists; add /y to overwrite it.");
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  std::string text = FormatRegFile(stored, tree);
  if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush())
    return Failure(kFileError);
  return Success();
}

}  // namespace qvreg
