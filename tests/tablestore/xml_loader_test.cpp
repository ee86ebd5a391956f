#include <string>
#include <vector>

#include "support/log_capture.h"
#include "table_store_fixture.h"
#include "tablestore/hash_table.h"

namespace {

using RowList = std::vector<std::vector<std::string>>;

class XmlLoaderTest : public TableStoreTest {};

TEST_F(XmlLoaderTest, AgentparamsDocument) {
  ASSERT_TRUE(RegisterAgentparamsDefinition());
  ASSERT_TRUE(RegisterAgentparamsDefinition());  // already there: still true, not twice
  EXPECT_EQ(gv_tableDefinitions.count, 1);
  ASSERT_TRUE(
      Load("<Root><AgentparamsList><Agentparams PARAM_NAME=\"RESOURCE_ID\" param_Value=\"R-77\"/>"
           "<Agentparams PARAM_NAME=\"OTHER\" param_Value=\"x &amp; y\"/></AgentparamsList></Root>"));
  EXPECT_EQ(Rows("Agentparams"), (RowList{{"RESOURCE_ID", "R-77"}, {"OTHER", "x & y"}}));
  const TableData* table = GetTableDataByName("AGENTPARAMS");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->name, "Agentparams");
  EXPECT_EQ(table->rowCount, 2);
  EXPECT_EQ(table->firstRow->state, kRowStateCreated);
  EXPECT_EQ(table->firstRow->widths, (std::vector<int32_t>{11, 4}));
}

TEST_F(XmlLoaderTest, WithoutDefinitionTheFirstRowFailsTheLoad) {
  qvtest::LogCapture log;
  EXPECT_FALSE(
      Load("<Root><AgentparamsList><Agentparams PARAM_NAME=\"RESOURCE_ID\"/></AgentparamsList></Root>"));
  EXPECT_TRUE(log.Has("[ERROR] Cannot create and add a new row while constructing tabledata from XML file."));
  EXPECT_TRUE(log.Has("[ERROR] Cannot construct table data from XML buffer."));
  EXPECT_EQ(gv_tableList.count, 0);
}

TEST_F(XmlLoaderTest, DocumentOutcomes) {
  struct Case {
    std::string label;
    std::string xml;
    bool loads;
    RowList rows;  // of table T (columns A, B)
  };
  const std::vector<Case> cases = {
      {"only containers", "<r><TList><XList/></TList><UList/></r>", true, {}},
      {"root element is no row", "<T A=\"root\"><T A=\"1\"/></T>", true, {{"1", "-"}}},
      {"every depth, each before its descendants",
       "<r><T A=\"1\"><T A=\"2\"><T A=\"3\"/></T></T><T A=\"4\"/></r>",
       true,
       {{"1", "-"}, {"2", "-"}, {"3", "-"}, {"4", "-"}}},
      {"element and attribute names without regard to case",
       "<r><t a=\"x\" b=\"y\"/></r>",
       true,
       {{"x", "y"}}},
      {"the first of two attributes for one column wins",
       "<r><T a=\"first\" A=\"second\" C=\"no column\"/></r>",
       true,
       {{"first", "-"}}},
      {"unknown element fails, earlier rows stay",
       "<r><T A=\"1\"/><Unknown/><T A=\"2\"/></r>",
       false,
       {{"1", "-"}}},
      {"\"List\" is matched with its case", "<r><Tlist/></r>", false, {}},
      {"no root element's children", "<r/>", true, {}},
      {"malformed document", "<r><T A=\"1\"></r>", false, {}},
      {"comments and text are no rows", "<r><!-- c --> text <T A=\"1\"/></r>", true, {{"1", "-"}}},
  };
  for (const Case& c : cases) {
    ReleaseTableStore();
    Define("T", {{"A", "TEXT"}, {"B", "TEXT"}});
    EXPECT_EQ(Load(c.xml), c.loads) << c.label;
    EXPECT_EQ(Rows("T"), c.rows) << c.label;
  }
}

TEST_F(XmlLoaderTest, ParseFailureIsLogged) {
  qvtest::LogCapture log;
  const std::string broken = "<r><T></r>";
  EXPECT_FALSE(Load(broken));
  EXPECT_FALSE(LoadTablesFromXMLBuffer(nullptr, 0));
  EXPECT_EQ(log.Count("[ERROR] error: could not parse file file.xml"), 2);
}

TEST_F(XmlLoaderTest, AttributeValuesByColumnType) {
  struct Case {
    std::string type;
    std::string text;
    std::string value;  // rendered, "-" for no value
    int32_t width;
  };
  const std::vector<Case> cases = {
      {"TES_SQL_INT", "-12", "-12", 4},
      {"INTEGER", "12a", "0", 4},
      {"TES_SQL_UNSIGNED_INT", "4294967295", "-1", 4},  // 32 bits, read unsigned when compared
      {"BIGINT", "9000000000", "9000000000", 8},
      {"FLOAT", "1.5", "1.5", 4},
      {"TES_SQL_DOUBLE", "-0.25", "-0.25", 8},
      {"TEXT", "some text", "some text", 9},
      {"CHAR", "", "", 0},
      {"BOOLEAN", "False", "b0", 1},
      {"BOOLEAN", "FALSE", "b0", 1},
      {"BOOLEAN", "no", "b1", 1},
      {"BOOLEAN", "", "b1", 1},
      {"DATE", "2019-08-05", "2019-8-5", 4},
      {"DATE", "2019", "2019-0-0", 4},
      {"TIME", "14:03", "14:3:0", 3},
      {"TIMESTAMP", "2019-08-05", "2019-8-5 0:0:0", 11},
      {"TES_SQL_REAL", "1.5", "-", 0},
      {"BLOB", "abc", "-", 0},
      {"NO_SUCH_TYPE", "abc", "-", 0},
      // Two or more ":" make a reference table:column:key.
      {"TEXT", "a:b:c", "c", 1},
      {"TEXT", "a:b:c:d", "c:d", 3},
      {"TEXT", "a:b", "a:b", 3},  // one ":" is no reference
      {"INTEGER", "x:y:7", "7", 4},
      {"INTEGER", "x:y:seven", "0", 4},
      {"INTEGER", "x:y:7:8", "7", 4},                              // the third part
      {"DATETIME", "2019-08-05 14:03:07", "2019-8-5 14:3:7", 11},  // a date: the whole text
      {"TIME", "1:2:3", "1:2:3", 3},
      {"BLOB", "a:b:c", "-", 0},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string table = "V" + std::to_string(n++);
    Define(table, {{"X", c.type}});
    ASSERT_TRUE(Load("<r><" + table + " X=\"" + c.text + "\"/></r>")) << c.type << " " << c.text;
    EXPECT_EQ(Rows(table.c_str()), (RowList{{c.value}})) << c.type << " " << c.text;
    EXPECT_EQ(GetTableDataByName(table.c_str())->firstRow->widths[0], c.width) << c.type << " " << c.text;
  }
}

TEST_F(XmlLoaderTest, ReferencesShareIdentifiersWithinOneDocument) {
  // Ref.ID has a generator; Link.REF points to Ref.ID; Item holds references.
  auto ref = std::make_unique<TableDefinition>();
  ref->name = "Ref";
  ref->columns.push_back(MakeColumnDefinition("ID", "INTEGER"));
  ref->columns.back().generatorName = "refgen";
  ASSERT_TRUE(RegisterTableDefinition(std::move(ref)));
  Define("Link", {{"REF", "INTEGER"}}, TableConstraints{{}, {{"REF", "ID", "Ref", false, false}}});
  Define("Item", {{"R", "INTEGER"}});
  ASSERT_TRUE(InitHashTable(gv_autoIdMap, 0));
  ASSERT_TRUE(PutHashValue(gv_autoIdMap, "refgen", std::optional<AutoIdRange>(AutoIdRange{100, 400})));

  ASSERT_TRUE(
      Load("<r><Item R=\"Ref:ID:a\"/><Item R=\"Ref:ID:a\"/><Item R=\"Ref:ID:b\"/>"
           "<Item R=\"Link:REF:c\"/><Item R=\"Link:REF:c\"/><Item R=\"Ref:ID:c\"/></r>"));
  // The walk along the foreign key enters Ref:ID:c as well, so the last row shares its identifier.
  EXPECT_EQ(Rows("Item"), (RowList{{"100"}, {"100"}, {"101"}, {"102"}, {"102"}, {"102"}}));

  // A new document starts a new identifier map.
  ASSERT_TRUE(Load("<r><Item R=\"Ref:ID:a\"/></r>"));
  EXPECT_EQ(Rows("Item").back(), (std::vector<std::string>{"103"}));
}

TEST_F(XmlLoaderTest, ForeignKeyCycleWithoutGeneratorEnds) {
  Define("A", {{"X", "INTEGER"}}, TableConstraints{{}, {{"X", "Y", "B", false, false}}});
  Define("B", {{"Y", "INTEGER"}}, TableConstraints{{}, {{"Y", "X", "A", false, false}}});
  ASSERT_TRUE(Load("<r><A X=\"A:X:9\"/></r>"));
  EXPECT_EQ(Rows("A"), (RowList{{"9"}}));
}

TEST_F(XmlLoaderTest, DefaultsGeneratorsAndMissingValues) {
  auto definition = std::make_unique<TableDefinition>();
  definition->name = "D";
  definition->columns.push_back(MakeColumnDefinition("PLAIN", "TEXT"));
  definition->columns.push_back(MakeColumnDefinition("WITH_DEFAULT", "INTEGER", 0, "42"));
  definition->columns.push_back(MakeColumnDefinition("GENERATED", "INTEGER"));
  definition->columns.back().generatorName = "nogen";
  definition->columns.push_back(MakeColumnDefinition("NEXT_ID", "INTEGER", 0, "5"));
  ASSERT_TRUE(RegisterTableDefinition(std::move(definition)));

  qvtest::LogCapture log;
  ASSERT_TRUE(
      Load("<r><D/><D PLAIN=\"p\" WITH_DEFAULT=\"7\" NEXT_ID=\"Workflow_Statements:NEXT_STATEMENT_ID:0\"/>"
           "<D WITH_DEFAULT=\"::5\" NEXT_ID=\"Workflow_Statements:NEXT_STATEMENT_ID:1\"/></r>"));
  EXPECT_EQ(Rows("D"), (RowList{{"-", "42", "-1", "5"},     // nothing given: default, generator without entry
                                {"p", "7", "-1", "5"},      // the Workflow 0 gives way to the default
                                {"-", "42", "-1", "1"}}));  // missing reference parts: the default
  EXPECT_TRUE(log.Has("[ERROR] Unable to get Column details for AutoID generation "));
  EXPECT_TRUE(log.Has("[TRACE] Cannot generate ID for key nogen."));
}

TEST_F(XmlLoaderTest, InheritedKeyValues) {
  Define("Customer", {{"CUST_ID", "INTEGER"}, {"NAME", "TEXT"}}, TableConstraints{{"CUST_ID"}, {}});
  Define("Order", {{"ORDER_ID", "INTEGER"}, {"CUST_ID", "INTEGER"}, {"SITE", "TEXT"}},
         TableConstraints{{"ORDER_ID", "SITE"}, {{"CUST_ID", "cust_id", "Customer", false, false}}});
  Define("Invoice", {{"INV", "INTEGER"}, {"CUST_ID", "INTEGER"}},
         TableConstraints{{"INV"}, {{"CUST_ID", "CUST_ID", "Customer", false, false}}});

  ASSERT_TRUE(
      Load("<r SITE=\"north\">\n"
           "  <Customer CUST_ID=\"7\" NAME=\"c\">\n"
           "    <Order ORDER_ID=\"1\"/>\n"  // CUST_ID from the parent, SITE from the root
           "    <Order ORDER_ID=\"2\" CUST_ID=\"8\" SITE=\"south\"/>\n"  // its own attributes win
           "  </Customer>\n"
           "  <Invoice INV=\"3\">\n"
           "    <Customer CUST_ID=\"9\"/>\n"  // found below: the first child element
           "  </Invoice>\n"
           "  <Invoice INV=\"4\"/>\n"
           "</r>"));
  EXPECT_EQ(Rows("Customer"), (RowList{{"7", "c"}, {"9", "-"}}));
  EXPECT_EQ(Rows("Order"), (RowList{{"1", "7", "north"}, {"2", "8", "south"}}));
  EXPECT_EQ(Rows("Invoice"), (RowList{{"3", "9"}, {"4", "-"}}));
}

}  // namespace
