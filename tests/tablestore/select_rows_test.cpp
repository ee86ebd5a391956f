#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "table_store_fixture.h"
#include "tablestore/result_data.h"

namespace {

class SelectRowsTest : public TableStoreTest {
 protected:
  void SetUp() override {
    TableStoreTest::SetUp();
    ASSERT_TRUE(RegisterAgentparamsDefinition());
  }

  // The values of column `column` in the selected rows, in result order; "none" for no result set.
  static std::string Selected(const char* table, const char* criteria, const char* column) {
    std::unique_ptr<ResultData> result = SelectRows(table, criteria);
    if (!result) return "none";
    std::string out;
    while (GotoNextRowObject(result.get())) {
      int32_t width = -1;
      const ColumnValue* value = GetColumnValueByName(column, &width, result.get());
      out += (out.empty() ? "" : ",") + Render(value ? std::optional<ColumnValue>(*value) : std::nullopt);
    }
    EXPECT_EQ(result->rowCount,
              static_cast<int32_t>(out.empty() ? 0 : std::count(out.begin(), out.end(), ',') + 1))
        << criteria;
    FreeResultData(std::move(result));
    return out.empty() ? "empty" : out;
  }
};

TEST_F(SelectRowsTest, ResourceIdentifierDocument) {
  ASSERT_TRUE(
      Load("<Root><AgentparamsList><Agentparams PARAM_NAME=\"RESOURCE_ID\" param_Value=\"R-77\"/>"
           "</AgentparamsList></Root>"));
  std::unique_ptr<ResultData> result = SelectRows("Agentparams", "PARAM_NAME='RESOURCE_ID'");
  ASSERT_NE(result, nullptr);
  ASSERT_NE(GotoNextRowObject(result.get()), nullptr);
  int32_t width = 0;
  const ColumnValue* value = GetColumnValueByName("param_Value", &width, result.get());
  ASSERT_NE(value, nullptr);
  ASSERT_NE(std::get_if<std::string>(value), nullptr);
  EXPECT_EQ(std::get<std::string>(*value), "R-77");
  EXPECT_EQ(width, 4);
}

TEST_F(SelectRowsTest, TextCriteria) {
  ASSERT_TRUE(
      Load("<r><Agentparams PARAM_NAME=\"RESOURCE_ID\" param_Value=\"1\"/>"
           "<Agentparams PARAM_NAME=\"resource_id\" param_Value=\"2\"/>"
           "<Agentparams PARAM_NAME=\"RESOURCE_ID\" param_Value=\"3\"/>"
           "<Agentparams param_Value=\"4\"/>"
           "<Agentparams PARAM_NAME=\"\" param_Value=\"5\"/></r>"));
  struct Case {
    const char* criteria;
    std::string values;  // param_Value of the selected rows
  };
  const std::vector<Case> cases = {
      {"PARAM_NAME='RESOURCE_ID'", "1,3"},
      {"PARAM_NAME = 'RESOURCE_ID'", "1,3"},
      {"param_name='RESOURCE_ID'", "1,3"},  // column names in any case
      {"'RESOURCE_ID'=PARAM_NAME", "1,3"},
      {"PARAM_NAME='resource_id'", "2"},
      {"PARAM_NAME!='RESOURCE_ID'", "2,4,5"},  // a row without a value differs from every literal
      {"PARAM_NAME<'a'", "1,3,4,5"},           // ... and is smaller than any literal
      {"PARAM_NAME<''", "4"},
      {"PARAM_NAME>='r'", "2"},
      {"PARAM_NAME='RESOURCE_ID' and param_Value='3'", "3"},
      {"PARAM_NAME='x' or param_Value='4'", "4"},
      {"param_Value=2", "empty"},  // unquoted: its first and last characters are removed
      {"NO_SUCH_COLUMN='1'", "empty"},
      {"NO_SUCH_COLUMN!='1'", "empty"},
      {"PARAM_NAME=\"RESOURCE_ID\"", "none"},  // double quotes are not accepted
      {"PARAM_NAME='RESOURCE_ID' # x", "none"},
      {"PARAM_NAME=='RESOURCE_ID'", "none"},
      {"", "none"},
      {"PARAM_NAME='x'\nPARAM_NAME='RESOURCE_ID'", "1,3"},  // the last line counts
      {nullptr, "1,2,3,4,5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Selected("Agentparams", c.criteria, "param_Value"), c.values)
        << (c.criteria ? c.criteria : "(none)");
  }
  EXPECT_EQ(Selected("NoSuchTable", nullptr, "param_Value"), "none");
  EXPECT_EQ(Selected("NoSuchTable", "PARAM_NAME='RESOURCE_ID'", "param_Value"), "none");
}

TEST_F(SelectRowsTest, GroupingAndTypedComparisons) {
  Define("N", {{"ID", "TEXT"},
               {"A", "INTEGER"},
               {"B", "INTEGER"},
               {"C", "INTEGER"},
               {"U", "TES_SQL_UNSIGNED_INT"},
               {"L", "BIGINT"},
               {"F", "FLOAT"},
               {"D", "DATE"},
               {"G", "TES_SQL_DOUBLE"}});
  ASSERT_TRUE(
      Load("<r>"
           "<N ID=\"r1\" A=\"1\" B=\"2\" C=\"0\" U=\"4294967295\" L=\"9000000000\" F=\"1.5\" "
           "D=\"2019-01-01\" G=\"1\"/>"
           "<N ID=\"r2\" A=\"1\" B=\"0\" C=\"3\" U=\"1\" L=\"-9000000000\" F=\"-2\"/>"
           "<N ID=\"r3\" A=\"0\" B=\"2\" C=\"3\" U=\"0\"/>"
           "<N ID=\"r4\" A=\"-5\"/>"
           "</r>"));
  struct Case {
    const char* criteria;
    std::string ids;
  };
  const std::vector<Case> cases = {
      // Right grouping: a=1 and (b=2 or c=3); a=1 or (b=2 and c=3).
      {"A=1 and B=2 or C=3", "r1,r2"},
      {"(A=1 and B=2) or C=3", "r1,r2,r3"},
      {"C=3 or B=2 and A=1", "r1,r2,r3"},
      {"(C=3 or B=2) and A=1", "r1,r2"},
      {"A=0 or B=0 and C=3", "r2,r3"},
      {"A<1", "r3,r4"},
      {"A>=-5", "none"},   // no sign in literals
      {"1 > A", "r3,r4"},  // literal first: mirrored
      {"A='1'", "r3"},     // a quoted literal converts to 0 for an integer column
      {"B<1", "r2,r4"},    // a row without a value is smaller than any literal
      {"B!=2", "r2,r4"},
      {"B>=0", "r1,r2,r3"},
      {"U>1", "r1"},  // unsigned: 4294967295 is the largest
      {"U<=1", "r2,r3,r4"},
      {"L>8999999999", "r1"},
      {"L<0", "r2,r3,r4"},
      {"F>1.25", "r1"},
      {"F<0", "r2,r3,r4"},
      {"F!=1.5", "r2,r3,r4"},
      {"D='2019-01-01'", "empty"},  // dates, doubles and the like never compare true
      {"D!='2019-01-01'", "empty"},
      {"G=1", "empty"},
  };
  for (const Case& c : cases) EXPECT_EQ(Selected("N", c.criteria, "ID"), c.ids) << c.criteria;
}

TEST_F(SelectRowsTest, CursorCycleAndColumnLookup) {
  ASSERT_TRUE(
      Load("<r><Agentparams PARAM_NAME=\"a\" param_Value=\"1\"/><Agentparams PARAM_NAME=\"b\"/></r>"));
  std::unique_ptr<ResultData> result = SelectRows("Agentparams", nullptr);
  ASSERT_NE(result, nullptr);
  int32_t width = -7;
  EXPECT_EQ(GetColumnValueByName("PARAM_NAME", &width, result.get()), nullptr);  // before the first row
  EXPECT_EQ(width, -7);

  const TableData* table = GetTableDataByName("Agentparams");
  EXPECT_EQ(GotoNextRowObject(result.get()), table->firstRow);
  ASSERT_NE(GetColumnValueByName("param_value", &width, result.get()), nullptr);
  EXPECT_EQ(width, 1);
  width = -7;
  EXPECT_EQ(GetColumnValueByName("NO_SUCH", &width, result.get()), nullptr);
  EXPECT_EQ(width, -7);

  EXPECT_EQ(GotoNextRowObject(result.get()), table->firstRow->next);
  EXPECT_EQ(GetColumnValueByName("param_Value", &width, result.get()), nullptr);  // the row holds no value
  EXPECT_EQ(GotoNextRowObject(result.get()), nullptr);                            // the end, once
  EXPECT_EQ(GotoNextRowObject(result.get()), table->firstRow);                    // then the first row again
  EXPECT_EQ(GotoNextRowObject(nullptr), nullptr);

  // Rows added later are not in an existing result set.
  ASSERT_TRUE(Load("<r><Agentparams PARAM_NAME=\"c\"/></r>"));
  EXPECT_EQ(result->rowCount, 2);
  FreeResultData(std::move(result));
  FreeResultData(nullptr);
  EXPECT_EQ(Selected("Agentparams", nullptr, "PARAM_NAME"), "a,b,c");
}

TEST_F(SelectRowsTest, SelectionsFromSeveralThreads) {
  std::string xml = "<r>";
  for (int i = 0; i < 50; ++i) xml += "<Agentparams PARAM_NAME=\"p" + std::to_string(i % 5) + "\"/>";
  ASSERT_TRUE(Load(xml + "</r>"));
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const std::string criteria = "PARAM_NAME='p" + std::to_string(t) + "'";
      for (int i = 0; i < 50; ++i) {
        std::unique_ptr<ResultData> result = SelectRows("Agentparams", criteria.c_str());
        if (!result || result->rowCount != 10) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
