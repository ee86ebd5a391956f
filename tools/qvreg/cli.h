// qvreg's command-line conventions: options, messages and exit statuses as Windows' reg has them.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "win32.h"

namespace qvreg {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

// Arguments of one command. An argument is an option when it is '/' or '-' followed by the name of
// an option the command knows (case-insensitive); anything else is positional, so /tmp/x.reg is a
// file name.
struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::string> values;  // valued options by lower-case name
  std::set<std::string> flags;

  bool Has(const std::string& name) const { return values.count(name) || flags.count(name); }
  const std::string* Value(const std::string& name) const;
};

// False (with the offending argument in *bad) when a valued option lacks its value or repeats.
bool ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& valued,
               const std::set<std::string>& flags, Args* out, std::string* bad);

// "The operation completed successfully." on standard output; returns kExitSuccess.
int Success();
// "ERROR: <message>" on standard error; returns kExitFailure.
int Failure(const std::string& message);
// The failure for a system code: its text ("The system was unable to find the specified registry
// key or value." for a missing key or value).
int Failure(LSTATUS code);
// "ERROR: Invalid syntax." and where to find the usage of `command`.
int SyntaxError(const std::string& command, const std::string& detail = "");

int Query(const std::vector<std::string>& args);
int Add(const std::vector<std::string>& args);
int Delete(const std::vector<std::string>& args);
int Import(const std::vector<std::string>& args);
int Export(const std::vector<std::string>& args);
// The usage of one command, or of qvreg as a whole for an empty name.
int Usage(const std::string& command);

}  // namespace qvreg
