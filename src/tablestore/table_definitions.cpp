// The data dictionary: registration and look-up of table definitions.
#include <exception>
#include <new>

#include "logging/log_core.h"
#include "tablestore/table_model.h"
#include "tablestore/text_functions.h"

bool RegisterTableDefinition(std::unique_ptr<TableDefinition> definition) {
  if (!definition || definition->name.empty()) return false;
  for (VectorNode<TableDefinition>* node = ElementAt(gv_tableDefinitions, 0); node; node = node->next) {
    if (CompareStringsNoCase(node->data->name.c_str(), definition->name.c_str()) == 0) return false;
  }
  if (AddElementData(gv_tableDefinitions, definition.get()) != 1) return false;
  definition.release();  // now owned by the dictionary, freed by ReleaseTableStore
  return true;
}

ColumnDefinition MakeColumnDefinition(const std::string& name, const char* typeName, int32_t maxSize,
                                      const char* defaultText) {
  ColumnDefinition column;
  column.name = name;
  column.type = ColumnTypeFromName(typeName, maxSize);
  column.maxSize = maxSize;
  if (defaultText) {
    int32_t width = static_cast<int32_t>(StringLength(defaultText));
    column.defaultValue = ConvertStringToValue(defaultText, width, column.type);
    if (column.defaultValue) column.defaultWidth = width;
  }
  return column;
}

bool RegisterAgentparamsDefinition() {
  if (GetTableDefinition("Agentparams")) return true;
  try {
    auto definition = std::make_unique<TableDefinition>();
    definition->name = "Agentparams";
    definition->description = "Agent parameters sent by the server";
    definition->columns.push_back(MakeColumnDefinition("PARAM_NAME", "TEXT"));
    definition->columns.push_back(MakeColumnDefinition("param_Value", "TEXT"));
    return RegisterTableDefinition(std::move(definition));
  } catch (const std::exception&) {
    return false;
  }
}

const TableDefinition* GetTableDefinition(const char* name) {
  if (!name) {
    LogError("Table Name is NULL.\n");
    return nullptr;
  }
  for (VectorNode<TableDefinition>* node = ElementAt(gv_tableDefinitions, 0); node; node = node->next) {
    if (CompareStringsNoCase(node->data->name.c_str(), name) == 0) return node->data;
  }
  return nullptr;
}

const ColumnDefinition* GetColumnDefnEntry(const char* tableName, const char* columnName) {
  LogTrace("@@@@ Inside GetColumnDefnEntry @@@@\n");
  if (!tableName || !columnName) {
    LogError("Cannot fetch default value;\n");
    return nullptr;
  }
  const TableDefinition* definition = GetTableDefinition(tableName);
  if (!definition) {
    LogError("No definition found for table %s\n", tableName);
    return nullptr;
  }
  for (const ColumnDefinition& column : definition->columns) {
    if (CompareStrings(column.name.c_str(), columnName) == 0) return &column;
  }
  return nullptr;
}

const ForeignKeyDefinition* GetForeignKeyDefinition(const TableDefinition* definition,
                                                    const char* columnName) {
  if (!definition || !definition->constraints) {
    LogError("No constraint Definition \n");
    return nullptr;
  }
  if (definition->constraints->foreignKeys.empty()) {
    LogError("No Foreignkey Entries in Definition \n");
    return nullptr;
  }
  for (const ForeignKeyDefinition& key : definition->constraints->foreignKeys) {
    if (CompareStringsNoCase(key.localColumn.c_str(), columnName) == 0) return &key;
  }
  return nullptr;
}
