// Tables and rows of the store.
#include <exception>
#include <new>

#include "logging/log_core.h"
#include "tablestore/auto_id.h"
#include "tablestore/table_model.h"
#include "tablestore/text_functions.h"

// Both lists live in this file so that they are destroyed in a known order at exit.
Vector<TableDefinition> gv_tableDefinitions;
Vector<TableData> gv_tableList;

namespace {

void FreeStore() {
  for (VectorNode<TableData>* node = gv_tableList.head; node; node = node->next) delete node->data;
  gv_tableList.FreeNodes();
  for (VectorNode<TableDefinition>* node = gv_tableDefinitions.head; node; node = node->next) delete node->data;
  gv_tableDefinitions.FreeNodes();
}

// The store lives as long as the process: its tables and definitions are freed when the process ends
// (destroyed before the two lists above).
struct StoreAtExit {
  ~StoreAtExit() { FreeStore(); }
} gv_storeAtExit;

}  // namespace

TableData::~TableData() {
  while (firstRow) {
    RowObject* next = firstRow->next;
    delete firstRow;
    firstRow = next;
  }
}

void ReleaseTableStore() {
  for (VectorNode<TableData>* node = gv_tableList.head; node; node = node->next) delete node->data;
  InitVector(gv_tableList);
  for (VectorNode<TableDefinition>* node = gv_tableDefinitions.head; node; node = node->next)
    delete node->data;
  InitVector(gv_tableDefinitions);
}

bool CreateTable(const char* name) {
  LogTrace("@@@ Inside CreateTable @@@\n");
  const TableDefinition* definition = GetTableDefinition(name);
  if (!definition || GetTableDataByName(name)) return false;
  std::unique_ptr<TableData> table(new (std::nothrow) TableData);
  if (!table) return false;
  try {
    table->name = definition->name;
  } catch (const std::exception&) {
    return false;
  }
  table->kind = kTableKindTable;
  table->definition = definition;
  table->columnCount = static_cast<int32_t>(definition->columns.size());
  if (AddElementData(gv_tableList, table.get()) != 1) return false;
  table.release();  // owned by gv_tableList, freed by ReleaseTableStore
  return true;
}

TableData* GetTableDataByName(const char* name) {
  LogTrace("@@@ Inside GetTableDataByName @@@\n");
  if (!name) return nullptr;
  for (VectorNode<TableData>* node = ElementAt(gv_tableList, 0); node; node = node->next) {
    if (CompareStringsNoCase(node->data->name.c_str(), name) == 0) return node->data;
  }
  return nullptr;
}

std::unique_ptr<RowObject> CreateNewRowObject(std::vector<std::optional<ColumnValue>> values,
                                              std::vector<int32_t> widths) {
  LogTrace("@@@ Inside CreateNewRowObject @@@\n");
  std::unique_ptr<RowObject> row(new (std::nothrow) RowObject);
  if (!row) return nullptr;
  row->values = std::move(values);
  row->widths = std::move(widths);
  row->state = kRowStateCreated;
  return row;
}

bool AddNewRow(const char* tableName, std::unique_ptr<RowObject> row) {
  LogTrace("@@@ Inside AddNewRow @@@\n");
  TableData* table = GetTableDataByName(tableName);
  if (!table || !row || !table->definition || table->definition->columns.empty()) return false;
  const std::vector<ColumnDefinition>& columns = table->definition->columns;
  try {
    row->values.resize(columns.size());
    row->widths.resize(columns.size(), 0);
    for (size_t i = 0; i < columns.size(); ++i) {
      if (!row->values[i] && columns[i].generatorName) {
        row->values[i] = GenerateID(tableName, columns[i]);
        row->widths[i] = 4;
      }
      if (!row->values[i] && columns[i].defaultValue) {
        row->values[i] = columns[i].defaultValue;
        row->widths[i] = columns[i].defaultWidth;
      }
    }
  } catch (const std::exception&) {
    return false;
  }
  RowObject* added = row.release();
  added->next = nullptr;
  (table->lastRow ? table->lastRow->next : table->firstRow) = added;
  table->lastRow = added;
  ++table->rowCount;
  LogTrace("In send notification\n");
  return true;
}
