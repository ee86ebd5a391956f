// Table definitions (the data dictionary), tables and rows of the in-memory table store.
// The store owns its definitions, tables, rows and values for the life of the process.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tablestore/column_values.h"
#include "tablestore/vector.h"

struct ColumnDefinition {
  std::string name;
  uint8_t type = kTypeNotSupported;
  std::optional<ColumnValue> defaultValue;  // already in the column's value form
  int32_t defaultWidth = 0;
  bool unique = false;
  std::optional<std::string> generatorName;  // automatic identifiers from GenerateID
  std::string description;
  int32_t maxSize = 0;
  bool nullable = true;
  std::vector<std::string> allowedValues;
  std::optional<std::pair<std::string, std::string>> allowedRange;  // from, to
};

struct ForeignKeyDefinition {
  std::string localColumn;
  std::string referenceColumn;
  std::string referenceTable;
  bool onDeleteCascade = false;
  bool bidirectional = false;
};

struct TableConstraints {
  std::vector<std::string> primaryKeys;
  std::vector<ForeignKeyDefinition> foreignKeys;
};

struct TableDefinition {
  std::string name;
  std::string description;
  std::vector<ColumnDefinition> columns;  // in column order
  std::optional<TableConstraints> constraints;
};

inline constexpr uint8_t kRowStateCreated = 2;

struct RowObject {
  std::vector<std::optional<ColumnValue>> values;  // one per column; none means "no value"
  std::vector<int32_t> widths;                     // one per column
  uint8_t state = kRowStateCreated;
  RowObject* next = nullptr;  // next row of the same table (owned by the table)
};

inline constexpr uint8_t kTableKindTable = 1;

struct TableData {
  std::string name;  // own copy of the definition's name
  uint8_t kind = kTableKindTable;
  const TableDefinition* definition = nullptr;
  int32_t columnCount = 0;
  int32_t rowCount = 0;
  RowObject* firstRow = nullptr;
  RowObject* lastRow = nullptr;  // where AddNewRow appends

  TableData() = default;
  TableData(const TableData&) = delete;
  TableData& operator=(const TableData&) = delete;
  ~TableData();
};

// The data dictionary and the tables of the process, in registration and creation order.
extern Vector<TableDefinition> gv_tableDefinitions;
extern Vector<TableData> gv_tableList;

// Adds a definition to the dictionary; false when its name is empty or already defined (without
// regard to case), or when memory runs out. Type codes are taken as given.
bool RegisterTableDefinition(std::unique_ptr<TableDefinition> definition);
// Builds a column from a dictionary type name (see ColumnTypeFromName) and an optional default text,
// which is converted with ConvertStringToValue.
ColumnDefinition MakeColumnDefinition(const std::string& name, const char* typeName, int32_t maxSize = 0,
                                      const char* defaultText = nullptr);
// The built-in definition of "Agentparams": TEXT columns "PARAM_NAME" and "param_Value". True when the
// definition is in the dictionary afterwards (registered now or before).
bool RegisterAgentparamsDefinition();
// Frees every table with its rows, then every definition. Rows handed out earlier become invalid.
void ReleaseTableStore();

const TableDefinition* GetTableDefinition(const char* name);
const ColumnDefinition* GetColumnDefnEntry(const char* tableName, const char* columnName);
const ForeignKeyDefinition* GetForeignKeyDefinition(const TableDefinition* definition,
                                                    const char* columnName);

bool CreateTable(const char* name);
TableData* GetTableDataByName(const char* name);
std::unique_ptr<RowObject> CreateNewRowObject(std::vector<std::optional<ColumnValue>> values,
                                              std::vector<int32_t> widths);
bool AddNewRow(const char* tableName, std::unique_ptr<RowObject> row);

// Loads every element below the root of an XML document as a row of the table it names.
bool LoadTablesFromXMLBuffer(const char* buffer, int length);
