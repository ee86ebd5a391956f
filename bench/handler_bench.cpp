// Whole-process timing of the handler: repeated runs of qvprereqhandler against a private hive with a
// complete agent configuration and a set-up program that exits at once (a copy of /bin/true).
// Reports the median wall time and the peak resident memory of the runs (getrusage of the children).
//
// Usage: handler_bench [RUNS]   (default 30). The handler is the qvprereqhandler of the build folder
// above this program, or the program named by QV_HANDLER.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "config/agent_parameters.h"
#include "config/registry_access.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

void SetText(const char* key, const char* name, const std::string& value) {
  if (writeValue(HKEY_LOCAL_MACHINE, key, name, value.c_str(), REG_SZ) != ERROR_SUCCESS) {
    std::fprintf(stderr, "cannot write %s\n", name);
    std::exit(1);
  }
}

void WriteConfiguration(const std::string& installDir) {
  const char* server = kServerInfoKeyPath;
  const char* agent = kAgentKeyPath;
  SetText(server, "QVServerName", "qv.example.test");
  SetText(server, "QVServerPort", "80");
  SetText(server, "QVServerSecurePort", "443");
  SetText(server, "QVServerProtocol", "http");
  SetText(server, "QVServerFlatName", "QVSRV");
  SetText(server, "QVServerIPAddress", "192.0.2.10");
  SetText(agent, "EnableDistributionServer", "no");
  SetText(agent, "ProxyEnabled", "no");
  SetText(agent, "QVAgentVersion", "9.4.1");
  SetText(agent, "AgentServiceName", "QVAgentService");
  SetText(agent, "MSPName", "Example MSP");
  SetText(agent, "CustomerName", "Example Customer");
  SetText(agent, "CustomerId", "C12");
  SetText(agent, "QVProductCode", "QVEE");
  SetText(agent, "QVAgentInstallDir", installDir);
  SetText(agent, "EnableDSRoute", "no");
  SetText(agent, "DataTransferRate_KBps", "0");
  SetText(agent, "ServerOffset", "0");
  SetText(kSystemDetailsKeyPath, "QVAgentResourceID", "4711");
}

struct RunResult {
  double milliseconds;
  long maxResidentKb;
};

RunResult RunHandler(const std::string& program, const fs::path& work) {
  auto start = Clock::now();
  pid_t child = fork();
  if (child == 0) {
    if (chdir(work.c_str()) != 0) _exit(127);
    execl(program.c_str(), program.c_str(), "Pack", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "qvprereqhandler failed (status %d)\n", status);
    std::exit(1);
  }
  return {ms, usage.ru_maxrss};
}

std::string HandlerProgram() {
  if (const char* chosen = std::getenv("QV_HANDLER")) return chosen;
  return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "qvprereqhandler").string();
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 30;
  if (runs < 1) runs = 1;
  char pattern[] = "/tmp/qvbench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path root = pattern;
  const fs::path work = root / "work";
  fs::create_directories(work);
  setenv("QVAGENT_REGISTRY", (root / "hive/registry.db").c_str(), 1);
  WriteConfiguration((root / "agent").string() + "/");

  const std::string program = HandlerProgram();
  std::vector<double> times;
  long peakKb = 0;
  for (int i = 0; i < runs; ++i) {
    fs::create_directories(work / "Pack");
    fs::copy_file("/bin/true", work / "Pack/setup.exe", fs::copy_options::overwrite_existing);
    RunResult result = RunHandler(program, work);
    times.push_back(result.milliseconds);
    peakKb = std::max(peakKb, result.maxResidentKb);
  }
  std::sort(times.begin(), times.end());
  double median = times.size() % 2 ? times[times.size() / 2]
                                   : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
  std::printf("handler runs: %d\n", runs);
  std::printf("wall time per run: median %.2f ms, min %.2f ms, max %.2f ms\n", median, times.front(), times.back());
  std::printf("peak resident memory of a run: %ld KB\n", peakKb);
  fs::remove_all(root);
  return 0;
}
