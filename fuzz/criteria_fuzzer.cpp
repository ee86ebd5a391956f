// Fuzzes the criteria language: the parser on the raw bytes, then SelectRows with the text (up to the
// first NUL byte) over a small table with columns of every comparison kind.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "logging/log_core.h"
#include "tablestore/criteria_tree.h"
#include "tablestore/result_data.h"
#include "tablestore/table_model.h"

namespace {

bool SetUpStore() {
  InitMutex();
  auto definition = std::make_unique<TableDefinition>();
  definition->name = "N";
  const char* const columns[][2] = {{"a", "INTEGER"}, {"u", "TES_SQL_UNSIGNED_INT"},
                                    {"l", "BIGINT"},  {"f", "FLOAT"},
                                    {"t", "TEXT"},    {"d", "DATE"},
                                    {"b", "BOOLEAN"}, {"g", "TES_SQL_DOUBLE"}};
  for (const auto& column : columns)
    definition->columns.push_back(MakeColumnDefinition(column[0], column[1]));
  RegisterTableDefinition(std::move(definition));
  const std::string xml =
      "<r><N a=\"1\" u=\"4294967295\" l=\"-9000000000\" f=\"1.5\" t=\"x\" d=\"2019-01-01\" b=\"true\" "
      "g=\"2\"/>"
      "<N a=\"-3\" t=\"\"/><N/></r>";
  return LoadTablesFromXMLBuffer(xml.data(), static_cast<int>(xml.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = SetUpStore();
  if (!ready) __builtin_trap();
  const std::string text(reinterpret_cast<const char*>(data), size);
  CriteriaParseResult parsed = ParseCriteria(text);
  if ((parsed.status == CriteriaParseStatus::Ok) != (parsed.tree != nullptr)) __builtin_trap();

  std::unique_ptr<ResultData> result = SelectRows("N", text.c_str());
  if (result) {
    int32_t width = 0;
    while (GotoNextRowObject(result.get())) GetColumnValueByName("t", &width, result.get());
    FreeResultData(std::move(result));
  }
  return 0;
}
