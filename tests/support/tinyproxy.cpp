#include "support/tinyproxy.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support/loopback_stream.h"

namespace qvtest {

namespace {

const char* kBinary = "/usr/bin/tinyproxy";

uint16_t FreePort() {
  Listener probe;
  return probe.port();
}

}  // namespace

bool Tinyproxy::Installed() { return access(kBinary, X_OK) == 0; }

Tinyproxy::Tinyproxy(std::optional<std::pair<std::string, std::string>> credentials) {
  if (!Installed()) return;
  // The port is found free, then handed to tinyproxy; another process may take it in between, so
  // try a few.
  for (int attempt = 0; attempt < 5 && !running(); ++attempt) {
    if (!StartOn(FreePort(), credentials)) Stop();
  }
}

Tinyproxy::~Tinyproxy() { Stop(); }

bool Tinyproxy::StartOn(uint16_t port, const std::optional<std::pair<std::string, std::string>>& credentials) {
  std::string config = (dir_ / "tinyproxy.conf").string();
  {
    std::ofstream out(config);
    out << "Port " << port << "\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\n"
        << "LogFile \"" << (dir_ / "tinyproxy.log").string() << "\"\nLogLevel Info\n"
        << "PidFile \"" << (dir_ / "tinyproxy.pid").string() << "\"\n"
        << "Allow 127.0.0.1\nDisableViaHeader Yes\n";
    if (credentials) out << "BasicAuth " << credentials->first << " " << credentials->second << "\n";
  }
  pid_ = fork();
  if (pid_ == 0) {
    execl(kBinary, kBinary, "-d", "-c", config.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0) return false;
  for (int i = 0; i < 100; ++i) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    int fd = ConnectTcp("127.0.0.1", port);
    if (fd >= 0) {
      close(fd);
      port_ = port;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void Tinyproxy::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  port_ = 0;
}

std::string Tinyproxy::Log() const {
  std::ifstream in(dir_ / "tinyproxy.log");
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace qvtest
