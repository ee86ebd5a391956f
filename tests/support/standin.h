// Stand-in programs for process tests: small bash scripts that report a chosen 32-bit exit code
// through the exit-code channel (QVAGENT_EXIT_CODE_FD), as a set-up program on this platform does.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace qvtest {

// Writes an executable script `name` into `folder` that records its arguments in
// "<folder>/calls.txt", optionally sleeps, and exits with `code`.
void WriteStandIn(const std::filesystem::path& folder, const std::string& name, uint32_t code,
                  double sleepSeconds = 0);
// Writes an executable bash script with the given body.
void WriteScript(const std::filesystem::path& file, const std::string& body);

}  // namespace qvtest
