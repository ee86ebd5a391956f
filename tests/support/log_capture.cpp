#include "support/log_capture.h"

#include <algorithm>
#include <regex>

#include "logging/log_core.h"

namespace qvtest {

LogCapture::LogCapture(int level) {
  CloseLogFile();
  FreeLoggerParameters();
  InitLogger();
  InitMutex();
  SetLoggerParameters("capture.log", dir_.str().c_str(), level);
  OpenLogFileOverwrite();
}

LogCapture::~LogCapture() {
  CloseLogFile();
  FreeLoggerParameters();
}

std::string LogCapture::path() const { return dir_.str() + "/capture.log"; }

std::string LogCapture::Raw() const { return ReadFileBytes(path()); }

std::vector<std::string> LogCapture::Messages() const {
  std::string text = Raw();
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  static const std::regex prefix(R"(\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ -?\d+ \] )");
  text = std::regex_replace(text, prefix, "\n");
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.rfind("Log open time: ", 0) != 0) out.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

bool LogCapture::Has(const std::string& line) const { return Count(line) > 0; }

int LogCapture::Count(const std::string& line) const {
  auto messages = Messages();
  return static_cast<int>(std::count(messages.begin(), messages.end(), line));
}

}  // namespace qvtest
