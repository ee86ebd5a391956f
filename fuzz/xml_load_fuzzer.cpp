// Fuzzes LoadTablesFromXMLBuffer with registered definitions that reach every path of the loading:
// typed columns, defaults, a generator with and without an entry, foreign and primary keys; then
// reads the result the way the resource-identifier lookup does.
#include <libxml/xmlerror.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "logging/log_core.h"
#include "tablestore/auto_id.h"
#include "tablestore/result_data.h"
#include "tablestore/table_model.h"

namespace {

void IgnoreXmlError(void*, const char*, ...) {}

void Define(const char* name, std::initializer_list<ColumnDefinition> columns,
            std::optional<TableConstraints> constraints = std::nullopt) {
  auto definition = std::make_unique<TableDefinition>();
  definition->name = name;
  definition->columns = columns;
  definition->constraints = std::move(constraints);
  RegisterTableDefinition(std::move(definition));
}

ColumnDefinition Generated(const char* name, const char* generator) {
  ColumnDefinition column = MakeColumnDefinition(name, "INTEGER");
  column.generatorName = generator;
  return column;
}

void SetUpStore() {
  ReleaseTableStore();
  RegisterAgentparamsDefinition();
  Define("T",
         {Generated("ID", "tgen"), MakeColumnDefinition("I", "INTEGER", 0, "7"),
          MakeColumnDefinition("L", "BIGINT"), MakeColumnDefinition("F", "FLOAT"),
          MakeColumnDefinition("G", "TES_SQL_DOUBLE"), MakeColumnDefinition("S", "TEXT", 0, "dflt"),
          MakeColumnDefinition("C", "CHAR", 300), MakeColumnDefinition("D", "DATE"),
          MakeColumnDefinition("TM", "TIME"), MakeColumnDefinition("DT", "DATETIME"),
          MakeColumnDefinition("B", "BOOLEAN", 0, "TRUE"), MakeColumnDefinition("X", "BLOB"),
          Generated("NG", "nogen")},
         TableConstraints{{"ID"}, {}});
  Define(
      "U",
      {MakeColumnDefinition("UID", "INTEGER"), MakeColumnDefinition("ID", "INTEGER"),
       MakeColumnDefinition("P", "TEXT")},
      TableConstraints{{"UID", "P"}, {{"ID", "ID", "T", false, false}, {"UID", "UID", "U", false, false}}});
  FreeHashTable(gv_autoIdMap);
  InitHashTable(gv_autoIdMap, 0);
  PutHashValue(gv_autoIdMap, "tgen", std::optional<AutoIdRange>(AutoIdRange{298, 300}));
  PutHashValue(gv_autoIdMap, "empty", std::optional<AutoIdRange>());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  xmlSetGenericErrorFunc(nullptr, IgnoreXmlError);
  InitMutex();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xmlSetGenericErrorFunc(nullptr, IgnoreXmlError);  // the loader's parser clean-up resets it
  SetUpStore();
  LoadTablesFromXMLBuffer(reinterpret_cast<const char*>(data), static_cast<int>(size));
  std::unique_ptr<ResultData> result = SelectRows("Agentparams", "PARAM_NAME='RESOURCE_ID'");
  if (result && GotoNextRowObject(result.get())) {
    int32_t width = 0;
    GetColumnValueByName("param_Value", &width, result.get());
  }
  FreeResultData(std::move(result));
  return 0;
}
