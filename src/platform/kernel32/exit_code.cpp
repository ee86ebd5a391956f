#include "kernel32/exit_code.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>

namespace qvplatform {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::optional<DWORD> ParseExitCodeReport(std::string_view report) {
  while (!report.empty() && IsSpace(report.front())) report.remove_prefix(1);
  while (!report.empty() && IsSpace(report.back())) report.remove_suffix(1);
  const bool negative = !report.empty() && report.front() == '-';
  if (negative) report.remove_prefix(1);
  if (report.empty() || report.front() < '0' || report.front() > '9') return std::nullopt;
  uint64_t value = 0;
  auto [end, error] = std::from_chars(report.data(), report.data() + report.size(), value);
  if (error != std::errc() || end != report.data() + report.size()) return std::nullopt;
  if (negative) {
    if (value > 0x80000000ULL) return std::nullopt;
    return static_cast<DWORD>(0 - value);
  }
  if (value > 0xFFFFFFFFULL) return std::nullopt;
  return static_cast<DWORD>(value);
}

bool ReportExitCode(uint32_t code) {
  const char* variable = std::getenv(kExitCodeFdVariable);
  if (variable == nullptr) return false;
  const std::string_view text(variable);
  int fd = -1;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), fd);
  if (error != std::errc() || end != text.data() + text.size() || fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode)) return false;
  const std::string digits = std::to_string(code);
  size_t written = 0;
  while (written < digits.size()) {
    ssize_t n = write(fd, digits.data() + written, digits.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace qvplatform
