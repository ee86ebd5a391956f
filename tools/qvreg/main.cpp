// qvreg: the registry hive's command-line tool, with the syntax of Windows' reg.
#include <cctype>
#include <string>
#include <vector>

#include "cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return qvreg::SyntaxError("");
  std::string operation;
  for (char c : args[0]) operation.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  args.erase(args.begin());
  auto asksHelp = [](const std::string& arg) { return arg == "/?" || arg == "-?" || arg == "-h" || arg == "--help"; };
  if (asksHelp(operation)) return qvreg::Usage("");
  for (const auto& arg : args)
    if (asksHelp(arg)) return qvreg::Usage(operation);
  if (operation == "query") return qvreg::Query(args);
  if (operation == "add") return qvreg::Add(args);
  if (operation == "delete") return qvreg::Delete(args);
  if (operation == "import") return qvreg::Import(args);
  if (operation == "export") return qvreg::Export(args);
  return qvreg::SyntaxError("", "Unknown operation \"" + operation + "\".");
}
