// Selection of rows by criteria, and result sets walked with a cursor.
#pragma once

#include <cstdint>
#include <memory>

#include "tablestore/criteria_tree.h"
#include "tablestore/table_model.h"
#include "tablestore/vector.h"

// The rows that matched a selection, in table order. The result set owns its nodes only; the rows
// stay owned by their table.
struct ResultData {
  Vector<RowObject> rows;
  uint8_t kind = kTableKindTable;
  const TableDefinition* definition = nullptr;
  int32_t rowCount = 0;
  int32_t columnCount = 0;
  VectorNode<RowObject>* cursor = nullptr;  // none before the first row and after the last
};

// Lets one selection with criteria at a time prepare and evaluate its condition.
extern const void* const gv_criteriaLockKey;

// The rows of the table that satisfy criteria (all rows when criteria is missing); none for an
// unknown table, a criteria that does not parse, or a table without columns.
std::unique_ptr<ResultData> SelectRows(const char* tableName, const char* criteria);
std::unique_ptr<ResultData> CreateResultData(int32_t rowCount, int32_t columnCount, const TableData& table);
bool AddRowToResultData(RowObject* row, ResultData* result);
// Moves the cursor to the first row if it is none, else to the next; the row under it, or none at
// the end (the call after that starts again at the first row).
RowObject* GotoNextRowObject(ResultData* result);
// The value of the column (found without regard to case) in the row under the cursor, with its width
// stored in width. None, leaving width unchanged, when there is no current row or no such column;
// none also when the row holds no value. The value belongs to the table.
const ColumnValue* GetColumnValueByName(const char* columnName, int32_t* width, ResultData* result);
void FreeResultData(std::unique_ptr<ResultData> result);

// Evaluates a prepared condition tree for a row (both sub-trees of "and"/"or" are always evaluated).
bool EvaluateCriteria(const CriteriaNode& node, const RowObject& row);
