#include "cli.h"

#include <cctype>
#include <cstdio>

namespace qvreg {

namespace {

std::string Lower(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

const std::string* Args::Value(const std::string& name) const {
  auto it = values.find(name);
  return it == values.end() ? nullptr : &it->second;
}

bool ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& valued,
               const std::set<std::string>& flags, Args* out, std::string* bad) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string name = arg.size() > 1 && (arg[0] == '/' || arg[0] == '-') ? Lower(arg.substr(1)) : "";
    if (valued.count(name)) {
      if (i + 1 >= args.size() || out->values.count(name)) {
        *bad = arg;
        return false;
      }
      out->values[name] = args[++i];
    } else if (flags.count(name)) {
      out->flags.insert(name);
    } else {
      out->positional.push_back(arg);
    }
  }
  return true;
}

int Success() {
  std::fputs("The operation completed successfully.\n", stdout);
  return kExitSuccess;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "ERROR: %s\n", message.c_str());
  return kExitFailure;
}

int Failure(LSTATUS code) {
  if (code == static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND))
    return Failure("The system was unable to find the specified registry key or value.");
  std::string text;
  if (const char* system = qvplatform::SystemMessageText(static_cast<DWORD>(code))) text = system;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "The operation failed with error " + std::to_string(code) + ".";
  return Failure(text);
}

int SyntaxError(const std::string& command, const std::string& detail) {
  std::string message = "Invalid syntax.";
  if (!detail.empty()) message += " " + detail;
  Failure(message);
  std::fprintf(stderr, "Type \"qvreg %s/?\" for usage.\n", command.empty() ? "" : (command + " ").c_str());
  return kExitFailure;
}

int Usage(const std::string& command) {
  static const std::map<std::string, const char*> texts = {
      {"query",
       "qvreg query KEY [/v NAME | /ve] [/s]\n"
       "  Shows the values of KEY and lists its subkeys; /v or /ve one value (/ve: the default value);\n"
       "  /s the whole subtree (with /v: every key below KEY that has the value).\n"},
      {"add",
       "qvreg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
       "  Creates KEY and, with /v, /ve, /t or /d, sets a value (without /v: the default value).\n"
       "  TYPE: REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ (strings separated by \\0 or SEPARATOR),\n"
       "  REG_DWORD, REG_QWORD (decimal or 0x-hexadecimal), REG_BINARY, REG_NONE (hex digits).\n"
       "  An existing value is replaced only with /f.\n"},
      {"delete",
       "qvreg delete KEY [/v NAME | /ve | /va] /f\n"
       "  Deletes KEY with everything below it, or one value (/v, /ve), or all values of KEY (/va).\n"
       "  qvreg never asks for confirmation: nothing is deleted without /f.\n"},
      {"import",
       "qvreg import FILE\n"
       "  Applies a .reg file (\"Windows Registry Editor Version 5.00\", UTF-16LE or UTF-8) in one\n"
       "  transaction: a file with an error changes nothing.\n"},
      {"export",
       "qvreg export KEY FILE [/y]\n"
       "  Writes KEY and everything below it to a .reg file (UTF-16LE); /y overwrites an existing FILE.\n"},
  };
  auto it = texts.find(command);
  if (it != texts.end()) {
    std::fputs(it->second, stdout);
  } else {
    std::fputs("qvreg OPERATION [arguments]\n  OPERATION: query, add, delete, import, export\n", stdout);
    for (const auto& [name, text] : texts) std::fprintf(stdout, "\n%s", text);
    std::fputs("\nKEY is ROOT\\Subkey with ROOT one of HKLM, HKCU, HKCR, HKU, HKCC (or HKEY_LOCAL_MACHINE ...).\n"
               "The hive file is $QVAGENT_REGISTRY (default /var/lib/qvagent/registry.db).\n"
               "Exit status: 0 on success, 1 on failure.\n",
               stdout);
  }
  return kExitSuccess;
}

}  // namespace qvreg
