// Loading a document of 10,000 "Agentparams" rows into the table store and selecting one row by
// criteria, beside libxml2's parse of the same buffer alone (the floor for any loading).
#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <string>

#include "logging/log_core.h"
#include "tablestore/result_data.h"
#include "tablestore/table_model.h"

namespace {

constexpr int kRows = 10000;

const std::string& Document() {
  static const std::string xml = [] {
    std::string text = "<Root><AgentparamsList>\n";
    for (int i = 0; i < kRows; ++i) {
      const std::string name = i == kRows / 2 ? "RESOURCE_ID" : "PARAM_" + std::to_string(i);
      text +=
          "  <Agentparams PARAM_NAME=\"" + name + "\" param_Value=\"value-" + std::to_string(i) + "\"/>\n";
    }
    return text + "</AgentparamsList></Root>\n";
  }();
  return xml;
}

void BM_LibXml2ParseOnly(benchmark::State& state) {
  const std::string& xml = Document();
  for (auto _ : state) {
    xmlDocPtr doc = xmlParseMemory(xml.data(), static_cast<int>(xml.size()));
    if (!doc) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(xml.size()));
}
BENCHMARK(BM_LibXml2ParseOnly)->Unit(benchmark::kMillisecond);

void BM_LoadAndSelect(benchmark::State& state) {
  const std::string& xml = Document();
  InitMutex();
  for (auto _ : state) {
    state.PauseTiming();
    ReleaseTableStore();  // a fresh store each time: no table, no rows
    RegisterAgentparamsDefinition();
    state.ResumeTiming();
    if (!LoadTablesFromXMLBuffer(xml.data(), static_cast<int>(xml.size())))
      state.SkipWithError("load failed");
    std::unique_ptr<ResultData> result = SelectRows("Agentparams", "PARAM_NAME='RESOURCE_ID'");
    if (!result || result->rowCount != 1) state.SkipWithError("selection failed");
    benchmark::DoNotOptimize(result.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(xml.size()));
  ReleaseTableStore();
}
BENCHMARK(BM_LoadAndSelect)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
