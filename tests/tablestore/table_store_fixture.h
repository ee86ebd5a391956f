// A clean table store for each test (header only: test folders compile *_test.cpp files): no definitions, no
// tables, no identifier generators.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "logging/log_core.h"
#include "tablestore/auto_id.h"
#include "tablestore/table_model.h"

class TableStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMutex();
    ReleaseTableStore();
  }
  void TearDown() override {
    ReleaseTableStore();
    FreeHashTable(gv_autoIdMap);
  }

  // Registers a table with columns given as {name, dictionary type name}.
  static void Define(const std::string& name, const std::vector<std::pair<std::string, std::string>>& columns,
                     std::optional<TableConstraints> constraints = std::nullopt) {
    auto definition = std::make_unique<TableDefinition>();
    definition->name = name;
    for (const auto& [column, type] : columns)
      definition->columns.push_back(MakeColumnDefinition(column, type.c_str()));
    definition->constraints = std::move(constraints);
    ASSERT_TRUE(RegisterTableDefinition(std::move(definition))) << name;
  }

  static bool Load(const std::string& xml) {
    return LoadTablesFromXMLBuffer(xml.data(), static_cast<int>(xml.size()));
  }

  // Every row of a table, each column rendered as text ("-" for no value).
  static std::vector<std::vector<std::string>> Rows(const char* table);
  static std::string Render(const std::optional<ColumnValue>& value);
};

inline std::string TableStoreTest::Render(const std::optional<ColumnValue>& value) {
  if (!value) return "-";
  std::ostringstream out;
  std::visit(
      [&](const auto& held) {
        using H = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<H, std::string>) {
          out << held;
        } else if constexpr (std::is_same_v<H, uint8_t>) {
          out << "b" << int{held};
        } else if constexpr (std::is_same_v<H, TesDate>) {
          out << held.year << "-" << int{held.month} << "-" << int{held.day};
        } else if constexpr (std::is_same_v<H, TesTime>) {
          out << int{held.hour} << ":" << int{held.minute} << ":" << int{held.second};
        } else if constexpr (std::is_same_v<H, TesDateTime>) {
          out << held.date.year << "-" << int{held.date.month} << "-" << int{held.date.day} << " "
              << int{held.time.hour} << ":" << int{held.time.minute} << ":" << int{held.time.second};
        } else if constexpr (std::is_same_v<H, std::vector<uint8_t>>) {
          out << "bytes" << held.size();
        } else {
          out << held;
        }
      },
      *value);
  return out.str();
}

inline std::vector<std::vector<std::string>> TableStoreTest::Rows(const char* table) {
  std::vector<std::vector<std::string>> rows;
  const TableData* data = GetTableDataByName(table);
  if (!data) return rows;
  for (const RowObject* row = data->firstRow; row; row = row->next) {
    std::vector<std::string> rendered;
    for (const auto& value : row->values) rendered.push_back(Render(value));
    rows.push_back(rendered);
  }
  return rows;
}
