#include <string>
#include <vector>

#include "support/log_capture.h"
#include "table_store_fixture.h"

namespace {

class DefinitionsTest : public TableStoreTest {};

TEST_F(DefinitionsTest, LookupsAndTableCreation) {
  EXPECT_EQ(GetTableDefinition("Agentparams"), nullptr);  // empty dictionary
  ASSERT_TRUE(RegisterAgentparamsDefinition());
  EXPECT_FALSE(RegisterTableDefinition(std::make_unique<TableDefinition>()));  // no name
  auto twin = std::make_unique<TableDefinition>();
  twin->name = "AGENTPARAMS";
  EXPECT_FALSE(RegisterTableDefinition(std::move(twin)));

  EXPECT_NE(GetTableDefinition("agentPARAMS"), nullptr);
  EXPECT_NE(GetColumnDefnEntry("agentparams", "param_Value"), nullptr);
  EXPECT_EQ(GetColumnDefnEntry("Agentparams", "PARAM_VALUE"), nullptr);  // column names exactly

  qvtest::LogCapture log;
  EXPECT_EQ(GetTableDefinition(nullptr), nullptr);
  EXPECT_EQ(GetColumnDefnEntry(nullptr, "x"), nullptr);
  EXPECT_EQ(GetColumnDefnEntry("Nope", "x"), nullptr);
  EXPECT_EQ(GetForeignKeyDefinition(GetTableDefinition("Agentparams"), "x"), nullptr);
  EXPECT_TRUE(log.Has("[ERROR] Table Name is NULL."));
  EXPECT_TRUE(log.Has("[ERROR] Cannot fetch default value;"));
  EXPECT_TRUE(log.Has("[ERROR] No definition found for table Nope"));
  EXPECT_TRUE(log.Has("[ERROR] No constraint Definition "));

  EXPECT_FALSE(CreateTable("Nope"));
  EXPECT_TRUE(CreateTable("agentparams"));
  EXPECT_FALSE(CreateTable("Agentparams"));  // exists already
  ASSERT_NE(GetTableDataByName("AgentParams"), nullptr);
  EXPECT_EQ(GetTableDataByName("AgentParams")->name, "Agentparams");
  EXPECT_EQ(GetTableDataByName(nullptr), nullptr);
  EXPECT_EQ(gv_tableList.count, 1);
}

TEST_F(DefinitionsTest, ColumnTypesFromDictionaryNames) {
  struct Case {
    const char* name;
    int32_t maxSize;
    uint8_t type;
  };
  const std::vector<Case> cases = {
      {"TES_SQL_INT", 0, kTypeInt},     {"integer", 0, kTypeInt},         {"Long", 0, kTypeInt},
      {"BIGINT", 0, kTypeBigInt},       {"tes_sql_float", 0, kTypeFloat}, {"TES_SQL_CHAR", 255, kTypeChar},
      {"TES_SQL_CHAR", 256, kTypeText}, {"NCHAR", 10, kTypeNChar},        {"CHAR", 4000, kTypeText},
      {"TIMESTAMP", 0, kTypeDateTime},  {"BOOLEAN", 0, kTypeBoolean},     {"VARCHAR", 0, kTypeNotSupported},
      {"", 0, kTypeNotSupported},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ColumnTypeFromName(c.name, c.maxSize), c.type) << c.name << " " << c.maxSize;
}

TEST_F(DefinitionsTest, ConvertStringToValue) {
  struct Case {
    const char* text;
    uint8_t type;
    int32_t widthIn;
    std::string value;  // rendered; "none" for no value
    int32_t widthOut;
  };
  const std::vector<Case> cases = {
      {"12", kTypeUnsignedSmallInt, 0, "12", 4},
      {"-12", kTypeBigInt, 0, "-12", 8},
      {"1.5", kTypeReal, 0, "1.5", 4},
      {"abc", kTypeText, 0, "abc", 3},
      {"2019-08-05", kTypeDate, 0, "2019-8-5 0:0:0", 11},  // always a full date and time
      {"1:2:3", kTypeTime, 0, "0-0-0 1:2:3", 11},
      {"2019", kTypeDate, 0, "none", 0},
      {"true", kTypeBoolean, 0, "b1", 1},
      {"FALSE", kTypeBoolean, 0, "b0", 1},
      {"yes", kTypeBoolean, 0, "none", 0},
      {"abcdef", kTypeNotSupported, 3, "bytes3", 3},  // a copy of the given number of bytes
      {"ab", kTypeBlob, 10, "bytes2", 10},            // never more than the text holds
      {"abc", 23, 0, "none", 0},
  };
  for (const Case& c : cases) {
    int32_t width = c.widthIn;
    const std::optional<ColumnValue> value = ConvertStringToValue(c.text, width, c.type);
    EXPECT_EQ(value ? Render(value) : "none", c.value) << c.text << " as " << int{c.type};
    EXPECT_EQ(width, c.widthOut) << c.text << " as " << int{c.type};
  }
}

TEST_F(DefinitionsTest, AddNewRowCompletesTheRow) {
  auto definition = std::make_unique<TableDefinition>();
  definition->name = "W";
  definition->columns.push_back(MakeColumnDefinition("A", "TEXT", 0, "dflt"));
  definition->columns.push_back(MakeColumnDefinition("B", "INTEGER"));
  definition->columns.back().generatorName = "wgen";
  ASSERT_TRUE(RegisterTableDefinition(std::move(definition)));
  auto empty = std::make_unique<TableDefinition>();
  empty->name = "NoColumns";
  ASSERT_TRUE(RegisterTableDefinition(std::move(empty)));
  ASSERT_TRUE(CreateTable("W"));
  ASSERT_TRUE(CreateTable("NoColumns"));

  ASSERT_TRUE(InitHashTable(gv_autoIdMap, 0));
  ASSERT_TRUE(PutHashValue(gv_autoIdMap, "wgen", std::optional<AutoIdRange>(AutoIdRange{5, 300})));
  EXPECT_TRUE(AddNewRow("w", CreateNewRowObject({}, {})));
  EXPECT_TRUE(AddNewRow(
      "W", CreateNewRowObject({ColumnValue(std::string("given")), ColumnValue(int32_t{9})}, {5, 4})));
  EXPECT_FALSE(AddNewRow("NoColumns", CreateNewRowObject({}, {})));
  EXPECT_FALSE(AddNewRow("Unknown", CreateNewRowObject({}, {})));
  EXPECT_EQ(Rows("W"), (std::vector<std::vector<std::string>>{{"dflt", "5"}, {"given", "9"}}));
  EXPECT_EQ(GetTableDataByName("W")->firstRow->widths, (std::vector<int32_t>{4, 4}));
  EXPECT_EQ(GetTableDataByName("W")->lastRow, GetTableDataByName("W")->firstRow->next);
}

}  // namespace
