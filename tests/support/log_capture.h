// Opens the process-wide log into a temporary folder for the life of the object, so that tests can
// check the exact lines an operation writes.
#pragma once

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace qvtest {

class LogCapture {
 public:
  explicit LogCapture(int level = 4);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The whole file as written (CR LF line ends).
  std::string Raw() const;
  // Each logged message as "[LEVEL] text", with the time and thread pieces and the CR before each
  // line end removed; messages are split at "\n", so a multi-line message gives several entries and
  // the open line is left out.
  std::vector<std::string> Messages() const;
  // True when some message equals `line` exactly.
  bool Has(const std::string& line) const;
  // How many messages equal `line`.
  int Count(const std::string& line) const;
  std::string path() const;

 private:
  TempDir dir_;
};

}  // namespace qvtest
