// Registry reads and writes per second on a hive file of its own (a temporary folder, removed at the
// end). Run: build/bench/registry_bench (configure with -DQV_BUILD_BENCH=ON).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "win32.h"

namespace {

constexpr char kServerInfo[] = R"(Software\Tessaly\Quarvel\QVAgent\ServerInfo)";

void Fill() {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, kServerInfo, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  for (int i = 0; i < 50; ++i) {
    std::string name = "Value" + std::to_string(i), data = "server-" + std::to_string(i) + ".corp.example";
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
  }
  DWORD port = 8443;
  RegSetValueExA(key, "QVServerPort", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), sizeof(port));
  RegCloseKey(key);
}

// What the agent's string reader does: open, ask the size, read, close.
void OpenQueryClose(benchmark::State& state) {
  for (auto _ : state) {
    HKEY key = nullptr;
    char data[128];
    DWORD size = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServerInfo, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS ||
        RegQueryValueExA(key, "Value25", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS ||
        RegQueryValueExA(key, "Value25", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
      state.SkipWithError("read failed");
    RegCloseKey(key);
    benchmark::DoNotOptimize(data);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(OpenQueryClose)->Threads(1)->Threads(2);

// A DWORD read on a key held open.
void QueryHeldKey(benchmark::State& state) {
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServerInfo, 0, KEY_READ, &key);
  for (auto _ : state) {
    DWORD port = 0, size = sizeof(port);
    if (RegQueryValueExA(key, "QVServerPort", nullptr, nullptr, reinterpret_cast<BYTE*>(&port), &size) !=
        ERROR_SUCCESS)
      state.SkipWithError("read failed");
    benchmark::DoNotOptimize(port);
  }
  RegCloseKey(key);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(QueryHeldKey);

// One value written per iteration, each its own transaction.
void SetValue(benchmark::State& state) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, R"(Software\Bench\Writes)", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  DWORD counter = 0;
  for (auto _ : state) {
    ++counter;
    if (RegSetValueExA(key, "Counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&counter), sizeof(counter)) !=
        ERROR_SUCCESS)
      state.SkipWithError("write failed");
  }
  RegCloseKey(key);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SetValue);

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/qvbench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  std::string hive = std::string(pattern) + "/registry.db";
  setenv("QVAGENT_REGISTRY", hive.c_str(), 1);
  Fill();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(pattern, ec);
  return 0;
}
