// qvservice-listen: stands in for a running service. It names its control socket in the service's
// hive key, then answers every control code sent with ControlService and prints it.
//
//   qvservice-listen NAME [--socket PATH] [--count N] [--reject CODE]...
//
// Output (standard output, one line each, flushed):
//   "Listening for NAME on PATH"        once the socket accepts connections
//   "CONTROL <code> accepted"           a control answered with the running state
//   "CONTROL <code> rejected"           a control named by --reject, answered with 1052
// SERVICE_CONTROL_STOP is accepted with the stop-pending state and ends the listener. So do --count
// controls, SIGINT and SIGTERM. The socket file is removed on the way out; the hive value stays,
// as a stopped service stays registered (ControlService then fails with 1062).
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "advapi32/hive_values.h"
#include "advapi32/service_control.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

struct Options {
  std::string name;
  std::string socketPath;
  long count = 0;  // 0: until stopped
  std::set<unsigned long> rejected;
};

int Usage(const char* message) {
  std::fprintf(stderr, "qvservice-listen: %s\n", message);
  std::fprintf(stderr, "usage: qvservice-listen NAME [--socket PATH] [--count N] [--reject CODE]...\n");
  return 1;
}

std::optional<unsigned long> ParseNumber(const std::string& text, unsigned long max) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 10) {
    return std::nullopt;
  }
  unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
  if (value > max) return std::nullopt;
  return value;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool valued = arg == "--socket" || arg == "--count" || arg == "--reject";
    if (valued && i + 1 >= args.size()) {
      error = "missing value after " + arg;
      return std::nullopt;
    }
    if (arg == "--socket") {
      options.socketPath = args[++i];
    } else if (arg == "--count") {
      auto count = ParseNumber(args[++i], 1000000);
      if (!count || *count == 0) {
        error = "--count needs a positive number";
        return std::nullopt;
      }
      options.count = static_cast<long>(*count);
    } else if (arg == "--reject") {
      auto code = ParseNumber(args[++i], 0xFFFFFFFFul);
      if (!code) {
        error = "--reject needs a control code";
        return std::nullopt;
      }
      options.rejected.insert(*code);
    } else if (arg.rfind("--", 0) == 0 || !options.name.empty()) {
      error = "unexpected argument " + arg;
      return std::nullopt;
    } else {
      options.name = arg;
    }
  }
  if (options.name.empty() || options.name.find_first_of("\\/") != std::string::npos) {
    error = "a service name without slashes is required";
    return std::nullopt;
  }
  if (options.socketPath.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    options.socketPath = std::string(tmp && *tmp ? tmp : "/tmp") + "/qvservice-" + options.name + ".sock";
  }
  return options;
}

int Listen(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    std::fprintf(stderr, "qvservice-listen: socket path too long: %s\n", path.c_str());
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  unlink(path.c_str());  // a socket left behind by a listener that was killed
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0) {
    std::fprintf(stderr, "qvservice-listen: cannot listen on %s: %s\n", path.c_str(), std::strerror(errno));
    close(fd);
    return -1;
  }
  return fd;
}

// Reads the request line of one connection; nullopt when it is not "CONTROL <code>".
std::optional<unsigned long> ReadControl(int fd) {
  std::string line;
  char chunk[64];
  while (line.find('\n') == std::string::npos && line.size() < 256) {
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, 5000) <= 0) return std::nullopt;
    ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) return std::nullopt;
    line.append(chunk, static_cast<size_t>(got));
  }
  auto end = line.find('\n');
  if (end == std::string::npos || line.rfind("CONTROL ", 0) != 0) return std::nullopt;
  return ParseNumber(line.substr(8, end - 8), 0xFFFFFFFFul);
}

void Answer(int fd, const std::string& text) {
  send(fd, text.data(), text.size(), MSG_NOSIGNAL);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) return Usage(error.c_str());

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  int listener = Listen(options->socketPath);
  if (listener < 0) return 1;
  LSTATUS status = qvplatform::WriteHiveText(HKEY_LOCAL_MACHINE, qvplatform::ServiceKeyPath(options->name),
                                             "ControlSocket", options->socketPath);
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "qvservice-listen: cannot register the service in the registry (error %ld)\n",
                 static_cast<long>(status));
    close(listener);
    unlink(options->socketPath.c_str());
    return 1;
  }
  std::printf("Listening for %s on %s\n", options->name.c_str(), options->socketPath.c_str());
  std::fflush(stdout);

  const unsigned accepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
  long handled = 0;
  bool stopping = false;
  while (!g_stop && !stopping && (options->count == 0 || handled < options->count)) {
    pollfd waiting{listener, POLLIN, 0};
    int ready = poll(&waiting, 1, 500);
    if (ready <= 0) continue;  // timeout or signal: look at g_stop again
    int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    if (auto code = ReadControl(connection)) {
      ++handled;
      if (options->rejected.count(*code)) {
        Answer(connection, "REJECTED " + std::to_string(ERROR_INVALID_SERVICE_CONTROL) + "\n");
        std::printf("CONTROL %lu rejected\n", *code);
      } else {
        stopping = *code == SERVICE_CONTROL_STOP;
        unsigned state = stopping ? SERVICE_STOP_PENDING : SERVICE_RUNNING;
        Answer(connection, "ACCEPTED " + std::to_string(state) + " " + std::to_string(accepted) + "\n");
        std::printf("CONTROL %lu accepted\n", *code);
      }
      std::fflush(stdout);
    }
    close(connection);
  }
  close(listener);
  unlink(options->socketPath.c_str());
  return 0;
}
