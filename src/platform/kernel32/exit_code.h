// The 32-bit exit-code channel between a parent and the programs it starts.
//
// POSIX exit statuses hold 8 bits. CreateProcessA gives every child the write end of a pipe and
// names its descriptor in the environment variable QVAGENT_EXIT_CODE_FD; a child that wants its
// parent to see a full 32-bit code writes it there in decimal (once) before it exits. The parent
// takes that value as the exit code when it is a valid decimal 32-bit number (unsigned, or signed
// from -2147483648), otherwise the POSIX exit status. A child killed by signal N has the exit code
// 128 + N, as a shell reports it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "types.h"

namespace qvplatform {

inline constexpr const char kExitCodeFdVariable[] = "QVAGENT_EXIT_CODE_FD";

// Writes `code` in decimal to the descriptor named by QVAGENT_EXIT_CODE_FD, when the variable names
// an open pipe. Call it once, just before exiting with the same code. Returns whether it was written.
bool ReportExitCode(uint32_t code);

// The code a report holds: optional blanks or a line end around a decimal number that fits in 32 bits.
std::optional<DWORD> ParseExitCodeReport(std::string_view report);

// The exit code of a child ended by signal `signal`.
constexpr DWORD ExitCodeForSignal(int signal) {
  return 128 + static_cast<DWORD>(signal);
}

}  // namespace qvplatform
