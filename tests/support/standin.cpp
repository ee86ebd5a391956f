#include "support/standin.h"

#include <fstream>
#include <sys/stat.h>

namespace qvtest {

void WriteScript(const std::filesystem::path& file, const std::string& body) {
  std::filesystem::create_directories(file.parent_path());
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "#!/usr/bin/env bash\n" << body;
  }
  chmod(file.c_str(), 0755);
}

void WriteStandIn(const std::filesystem::path& folder, const std::string& name, uint32_t code, double sleepSeconds) {
  std::string body = "echo \"$*\" >> \"$(dirname \"$0\")/calls.txt\"\n";
  // The sleep must not hold the test's output open: a terminated stand-in leaves it running.
  if (sleepSeconds > 0) body += "sleep " + std::to_string(sleepSeconds) + " </dev/null >/dev/null 2>&1\n";
  body += "code=" + std::to_string(code) + "\n";
  body += "if [ -n \"${QVAGENT_EXIT_CODE_FD:-}\" ]; then printf '%s' \"$code\" >&\"$QVAGENT_EXIT_CODE_FD\"; fi\n";
  body += "exit $((code & 255))\n";
  WriteScript(folder / name, body);
}

}  // namespace qvtest
