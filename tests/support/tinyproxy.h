// Debian's tinyproxy as a real proxy peer: started in the foreground on a free loopback port with a
// private configuration (optionally requiring Basic credentials), stopped on destruction.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "support/temp_dir.h"

namespace qvtest {

class Tinyproxy {
 public:
  static bool Installed();

  explicit Tinyproxy(std::optional<std::pair<std::string, std::string>> credentials = std::nullopt);
  ~Tinyproxy();
  Tinyproxy(const Tinyproxy&) = delete;
  Tinyproxy& operator=(const Tinyproxy&) = delete;

  bool running() const { return pid_ > 0 && port_ != 0; }
  uint16_t port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Log() const;

 private:
  bool StartOn(uint16_t port, const std::optional<std::pair<std::string, std::string>>& credentials);
  void Stop();

  TempDir dir_;
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

}  // namespace qvtest
