// Throughput and memory of a large download through the WinHTTP layer (the pull loop the download
// engines use: WinHttpQueryDataAvailable, then WinHttpReadData of that many bytes) against libcurl's
// own easy interface, both from the same loopback server in the same run.
//
//   build-bench/bench/winhttp_bench [--benchmark_filter=...]
//
// Counters: MiB/s (bytes_per_second), peak_rss_growth_MiB (how far the process's peak resident size
// rose above its size before the fetch; the kernel's peak is reset first).
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/http_server.h"
#include "win32.h"

namespace {

long StatusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  }
  return 0;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

qvtest::HttpServer& Server() {
  static qvtest::HttpServer server([](const qvtest::ReceivedRequest& request) {
    qvtest::Response r;
    r.generated_size = std::stoull(request.target.substr(1));
    return r;
  });
  return server;
}

struct Memory {
  long before_kib;
  Memory() {
    ResetPeak();
    before_kib = StatusKiB("VmRSS:");
  }
  double GrowthMiB() const { return (StatusKiB("VmHWM:") - before_kib) / 1024.0; }
};

uint64_t FetchThroughLayer(uint64_t size) {
  HINTERNET session = WinHttpOpen(u"bench", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
  HINTERNET connect = WinHttpConnect(session, u"127.0.0.1", Server().port(), 0);
  std::u16string path = qvplatform::Utf8ToUtf16Lossy("/" + std::to_string(size));
  HINTERNET request = WinHttpOpenRequest(connect, u"GET", path.c_str(), nullptr, nullptr, nullptr, 0);
  uint64_t total = 0;
  if (WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) && WinHttpReceiveResponse(request, nullptr)) {
    std::vector<char> piece;
    for (;;) {
      DWORD available = 0, read = 0;
      if (!WinHttpQueryDataAvailable(request, &available) || available == 0) break;
      piece.resize(available + 1);
      if (!WinHttpReadData(request, piece.data(), available, &read) || read == 0) break;
      total += read;
    }
  }
  WinHttpCloseHandle(request);
  WinHttpCloseHandle(connect);
  WinHttpCloseHandle(session);
  return total;
}

size_t CountBytes(char*, size_t size, size_t count, void* total) {
  *static_cast<uint64_t*>(total) += size * count;
  return size * count;
}

uint64_t FetchThroughCurl(uint64_t size) {
  CURL* easy = curl_easy_init();
  std::string url = "http://127.0.0.1:" + std::to_string(Server().port()) + "/" + std::to_string(size);
  uint64_t total = 0;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CountBytes);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &total);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  return total;
}

template <uint64_t (*Fetch)(uint64_t)>
void BM_Fetch(benchmark::State& state) {
  uint64_t size = static_cast<uint64_t>(state.range(0));
  Server();
  double growth = 0;
  for (auto _ : state) {
    Memory memory;
    uint64_t got = Fetch(size);
    growth = std::max(growth, memory.GrowthMiB());
    if (got != size) state.SkipWithError("short body");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  state.counters["peak_rss_growth_MiB"] = growth;
}

void BM_Layer(benchmark::State& state) { BM_Fetch<FetchThroughLayer>(state); }
void BM_CurlEasy(benchmark::State& state) { BM_Fetch<FetchThroughCurl>(state); }

constexpr int64_t k64MiB = int64_t{64} << 20;
constexpr int64_t k1GiB = int64_t{1} << 30;

BENCHMARK(BM_CurlEasy)->Arg(k64MiB)->Arg(k1GiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Layer)->Arg(k64MiB)->Arg(k1GiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
