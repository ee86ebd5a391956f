// Runs a program of the build as a child process for end-to-end tests.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qvtest {

struct ProcessResult {
  int exitStatus = -1;  // POSIX exit status (0-255), or -1 when the program did not exit normally
  std::string output;   // standard output and standard error together
};

// Runs `program` with `args` in `workingDirectory`; `environment` entries are set (a nullopt value
// removes the variable) on top of the test's own environment.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workingDirectory,
                         const std::map<std::string, std::optional<std::string>>& environment = {});

// Path of a program built by this project (e.g. "qvprereqhandler", "qvreg").
std::string BuiltProgram(const std::string& name);

}  // namespace qvtest
