#include "tablestore/result_data.h"

#include <new>

#include "logging/log_core.h"
#include "tablestore/text_functions.h"

std::unique_ptr<ResultData> CreateResultData(int32_t rowCount, int32_t columnCount, const TableData& table) {
  LogTrace("@@@ Inside CreateResultData @@@\n");
  std::unique_ptr<ResultData> result(new (std::nothrow) ResultData);
  if (!result) return nullptr;
  InitVector(result->rows);
  result->kind = table.kind;
  result->definition = table.definition;
  result->rowCount = rowCount;
  result->columnCount = columnCount;
  result->cursor = nullptr;
  return result;
}

bool AddRowToResultData(RowObject* row, ResultData* result) {
  LogTrace("@@@ Inside AddRowToResultData @@@\n");
  if (!result || AddElementData(result->rows, row) != 1) return false;
  ++result->rowCount;
  return true;
}

RowObject* GotoNextRowObject(ResultData* result) {
  LogTrace("@@@ Inside GotoNextRowObject @@@\n");
  if (!result) return nullptr;
  result->cursor = result->cursor ? result->cursor->next : result->rows.head;
  return result->cursor ? result->cursor->data : nullptr;
}

const ColumnValue* GetColumnValueByName(const char* columnName, int32_t* width, ResultData* result) {
  LogTrace("\t@@@@@ GetColumnValueByName() @@@@@\n");
  if (!result || !result->cursor || !result->definition || result->definition->columns.empty())
    return nullptr;
  const RowObject& row = *result->cursor->data;
  const std::vector<ColumnDefinition>& columns = result->definition->columns;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (CompareStringsNoCase(columns[i].name.c_str(), columnName) != 0) continue;
    if (i >= row.values.size()) return nullptr;
    if (width) *width = row.widths[i];
    return row.values[i] ? &*row.values[i] : nullptr;
  }
  return nullptr;
}

void FreeResultData(std::unique_ptr<ResultData> result) {
  LogTrace("@@@ Inside FreeResultData @@@\n");
  result.reset();
}
