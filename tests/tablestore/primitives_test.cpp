#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "logging/log_core.h"
#include "support/log_capture.h"
#include "tablestore/auto_id.h"
#include "tablestore/hash_table.h"
#include "tablestore/number_parsers.h"
#include "tablestore/table_model.h"
#include "tablestore/tes_datetime.h"
#include "tablestore/text_functions.h"
#include "tablestore/vector.h"

namespace {

class PrimitivesTest : public ::testing::Test {
 protected:
  void SetUp() override { InitMutex(); }
};

std::vector<int> Contents(Vector<int>& vector) {
  std::vector<int> out;
  for (VectorNode<int>* node = ElementAt(vector, 0); node; node = node->next) out.push_back(*node->data);
  return out;
}

TEST_F(PrimitivesTest, VectorEnds) {
  int a = 1, b = 2, c = 3, d = 4;
  Vector<int> v;
  InitVector(v);
  EXPECT_EQ(ElementAt(v, 0), nullptr);
  EXPECT_EQ(DeleteElementAt(v, 0), 0);

  ASSERT_EQ(AddElementData(v, &a), 1);
  ASSERT_EQ(DeleteElementAt(v, 0), 1);  // the only element
  EXPECT_EQ(v.head, nullptr);
  EXPECT_EQ(v.tail, nullptr);
  EXPECT_EQ(v.count, 0);

  for (int* p : {&a, &b, &c}) ASSERT_EQ(AddElementData(v, p), 1);
  EXPECT_EQ(ElementAt(v, 3), nullptr);  // position equal to count
  EXPECT_EQ(ElementAt(v, -1), nullptr);
  EXPECT_EQ(DeleteElementAt(v, 3), 0);
  EXPECT_EQ(DeleteElementAt(v, -1), 0);
  EXPECT_EQ(Contents(v), (std::vector<int>{1, 2, 3}));

  ASSERT_EQ(DeleteElementAt(v, 2), 1);  // the last: the previous node becomes the tail
  EXPECT_EQ(v.tail->data, &b);
  ASSERT_EQ(AddElementData(v, &d), 1);
  EXPECT_EQ(Contents(v), (std::vector<int>{1, 2, 4}));

  ASSERT_EQ(DeleteElementAt(v, 0), 1);  // the head
  EXPECT_EQ(Contents(v), (std::vector<int>{2, 4}));
  EXPECT_EQ(v.count, 2);

  EXPECT_EQ(GetNthElement(v, 1, v.head)->data, &d);
  EXPECT_EQ(GetNthElement(v, 2, v.head), nullptr);
  EXPECT_EQ(GetNthElement(v, -1, v.head), nullptr);
  EXPECT_EQ(GetNthElement(v, 1, v.tail), nullptr);  // the chain ends first

  int copyOfTwo = 2;
  EXPECT_FALSE(DeleteLCDVector(v, &copyOfTwo));  // the same value at another address
  EXPECT_TRUE(DeleteLCDVector(v, &d));
  EXPECT_EQ(Contents(v), (std::vector<int>{2}));
  EXPECT_EQ(v.tail->data, &b);
}

TEST_F(PrimitivesTest, HashTable) {
  HashTable<int> table;
  ASSERT_TRUE(InitHashTable(table, 0));
  EXPECT_EQ(table.bucketCount, 10);
  EXPECT_FALSE(InitHashTable(table, -3));

  ASSERT_TRUE(InitHashTable(table, 7));
  // h = (h * 26 + b) mod 7 over the bytes: "ab" = ((97 % 7) * 26 + 98) % 7.
  EXPECT_EQ(HashKey(table, "ab"), ((97 % 7) * 26 + 98) % 7);
  for (const char* key : {"\xff\xfe\x80", "\xc3\xa9t\xc3\xa9", "\x80"}) {
    const int32_t index = HashKey(table, key);
    EXPECT_GE(index, 0) << key;
    EXPECT_LT(index, 7) << key;
  }

  // Enough keys to chain in every bucket; a present key's value is replaced, keys are case-sensitive.
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(PutHashValue(table, ("k" + std::to_string(i)).c_str(), i));
  ASSERT_TRUE(PutHashValue(table, "k5", 500));
  ASSERT_TRUE(PutHashValue(table, "\xff\xfe", -1));
  for (int i = 0; i < 40; ++i) {
    const int* value = GetHashValue(table, ("k" + std::to_string(i)).c_str());
    ASSERT_NE(value, nullptr) << i;
    EXPECT_EQ(*value, i == 5 ? 500 : i);
  }
  EXPECT_EQ(*GetHashValue(table, "\xff\xfe"), -1);
  EXPECT_EQ(GetHashValue(table, "K5"), nullptr);
  EXPECT_EQ(GetHashEntry(table, "missing"), nullptr);
  EXPECT_EQ(GetHashValue(table, nullptr), nullptr);

  FreeHashTable(table);
  EXPECT_EQ(GetHashValue(table, "k1"), nullptr);
  EXPECT_FALSE(PutHashValue(table, "k1", 1));
}

TEST_F(PrimitivesTest, CompareStrings) {
  struct Case {
    const char* a;
    const char* b;
    int exact;
    int noCase;
  };
  const std::vector<Case> cases = {
      {nullptr, nullptr, 0, 0},
      {nullptr, "", -1, -1},
      {"", nullptr, 1, 1},
      {"Param_Name", "PARAM_NAME", 'a' - 'A', 0},
      {"abc", "abd", -1, -1},
      {"ab", "abc", -'c', -'c'},
      {"a\xe9", "a", static_cast<signed char>('\xe9'), static_cast<signed char>('\xe9')},  // signed bytes
      {"\xc9", "\xe9", 0xc9 - 0xe9, 0xc9 - 0xe9},                                          // only A to Z fold
      {"[", "a", '[' - 'a', '[' - 'a'},
      {"_", "A", '_' - 'A', '_' - 'a'},
  };
  for (const Case& c : cases) {
    const std::string row = std::string(c.a ? c.a : "(none)") + " / " + (c.b ? c.b : "(none)");
    EXPECT_EQ(CompareStrings(c.a, c.b), c.exact) << row;
    EXPECT_EQ(CompareStringsNoCase(c.a, c.b), c.noCase) << row;
  }
}

TEST_F(PrimitivesTest, SubStrings) {
  struct Case {
    const char* text;
    const char* pattern;
    bool found;
    int count;
    int index;
    std::optional<std::string> before;
    std::optional<std::string> after;
  };
  const std::vector<Case> cases = {
      {"qvprereqhandler.log", ".log", true, 1, 15, "qvprereqhandler", ""},
      {"name..log", ".log", true, 1, 5, "name.", ""},  // found after a partial match
      {"abc", "x", false, 0, 0, "", std::nullopt},
      {"abc", "a", true, 1, 0, "", "bc"},
      {"ab", "abc", false, 0, 0, "", std::nullopt},
      {"aaaa", "aa", true, 2, 0, "", "aa"},
      {"a:b:c", ":", true, 2, 1, "a", "b:c"},
      {"Abc", "abc", false, 0, 0, "", std::nullopt},
      {nullptr, "a", false, -1, -1, std::nullopt, std::nullopt},
      {"a", nullptr, false, -1, -1, std::nullopt, std::nullopt},
      {"abc", "", true, 0, 0, "", "abc"},
  };
  for (const Case& c : cases) {
    const std::string row =
        std::string(c.text ? c.text : "(none)") + " / " + (c.pattern ? c.pattern : "(none)");
    EXPECT_EQ(FindSubString(c.text, c.pattern), c.found) << row;
    EXPECT_EQ(CountSubString(c.text, c.pattern), c.count) << row;
    EXPECT_EQ(IndexOfSubString(c.text, c.pattern), c.index) << row;
    EXPECT_EQ(SubStringBefore(c.text, c.pattern), c.before) << row;
    EXPECT_EQ(SubStringAfter(c.text, c.pattern), c.after) << row;
  }
  EXPECT_EQ(StringLength(nullptr), 0u);
  EXPECT_EQ(StringLength("abc"), 3u);
}

TEST_F(PrimitivesTest, SplitString) {
  using Parts = std::vector<std::string>;
  struct Case {
    const char* text;
    const char* separator;
    std::optional<Parts> parts;
  };
  const std::vector<Case> cases = {
      {"a:b:c", ":", Parts{"a", "b", "c"}},
      {"a:b", ":", Parts{"a", "b"}},
      {"abc", ":", Parts{"abc"}},
      {"", ":", Parts{""}},
      {":a:", ":", Parts{"", "a", ""}},
      {"a::b", ":", Parts{"a", "", "b"}},
      {"a<>b<>c", "<>", Parts{"a", "b", "c"}},
      {"abc", "", Parts{"abc"}},
      {nullptr, ":", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitString(c.text, c.separator), c.parts)
        << (c.text ? c.text : "(none)") << " at " << c.separator;
    if (c.parts && *c.separator) {
      EXPECT_EQ(static_cast<int>(c.parts->size()), CountSubString(c.text, c.separator) + 1) << c.text;
    }
  }
}

TEST_F(PrimitivesTest, NumberParsers) {
  struct Case {
    const char* text;
    int32_t int32;
    int64_t int64;
    double real;
  };
  const std::vector<Case> cases = {
      {"12", 12, 12, 12},
      {"-7", -7, -7, -7},
      {"+7", 7, 7, 7},
      {"12a", 0, 0, 0},
      {"", 0, 0, 0},
      {nullptr, 0, 0, 0},
      {"-", 0, 0, 0},
      {" 1", 0, 0, 0},
      {"1 ", 0, 0, 0},
      {"0x10", 0, 0, 0},
      {"1.25", 0, 0, 1.25},
      {"-0.5", 0, 0, -0.5},
      {"5.", 0, 0, 5},
      {".5", 0, 0, 0.5},
      {"1e3", 0, 0, 0},
      {"1.2.3", 0, 0, 0},
      {"2147483648", INT32_MIN, 2147483648LL, 2147483648.0},  // 32 bits wrap
      {"4294967297", 1, 4294967297LL, 4294967297.0},
      {"-2147483648", INT32_MIN, -2147483648LL, -2147483648.0},
      {"9223372036854775808", 0, INT64_MIN, 9223372036854775808.0},
  };
  for (const Case& c : cases) {
    const char* row = c.text ? c.text : "(none)";
    EXPECT_EQ(TextToInt32(c.text), c.int32) << row;
    EXPECT_EQ(TextToInt64(c.text), c.int64) << row;
    EXPECT_DOUBLE_EQ(TextToDouble(c.text), c.real) << row;
  }
}

TEST_F(PrimitivesTest, ConvertStringToTesDateTime) {
  struct Case {
    const char* text;
    bool present;
    TesDate date;
    TesTime time;
  };
  const std::vector<Case> cases = {
      {"2019-08-05 14:03:07", true, {2019, 8, 5}, {14, 3, 7}},
      {"2019-08-05", true, {2019, 8, 5}, {0, 0, 0}},
      {"14:03:07", true, {0, 0, 0}, {14, 3, 7}},
      {"2019-8-5   1:2:3", true, {2019, 8, 5}, {1, 2, 3}},
      {"2019-13-45 99:99:99", true, {2019, 13, 45}, {99, 99, 99}},  // no range checks
      {"2019-xx-05", true, {2019, 0, 0}, {0, 0, 0}},                // unreadable fields stay 0
      {"12:", true, {0, 0, 0}, {12, 0, 0}},
      {"20190805", false, {}, {}},
      {"", false, {}, {}},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TesDateTime> value = ConvertStringToTesDateTime(c.text);
    ASSERT_EQ(value != nullptr, c.present) << c.text;
    if (!value) continue;
    EXPECT_EQ(value->date, c.date) << c.text;
    EXPECT_EQ(value->time, c.time) << c.text;
  }
  qvtest::LogCapture log;
  EXPECT_EQ(ConvertStringToTesDateTime(nullptr), nullptr);
  EXPECT_TRUE(log.Has("[ERROR] datetimeStr NULL "));
}

class AutoIdTest : public PrimitivesTest {
 protected:
  void SetUp() override {
    PrimitivesTest::SetUp();
    ASSERT_TRUE(InitHashTable(gv_autoIdMap, 0));
  }
  void TearDown() override { FreeHashTable(gv_autoIdMap); }

  static ColumnDefinition Generated(const char* generator) {
    ColumnDefinition column;
    column.name = "ID";
    column.type = kTypeInt;
    if (generator) column.generatorName = generator;
    return column;
  }
};

TEST_F(AutoIdTest, WithoutEntryGivesMinusOneAndReservesNothing) {
  qvtest::LogCapture log;
  EXPECT_EQ(GenerateID("T", Generated("gen")), -1);
  EXPECT_TRUE(log.Has("[TRACE] AutoId Key gen"));
  EXPECT_TRUE(log.Has("[TRACE] Cannot generate ID for key gen."));
  EXPECT_EQ(GetHashEntry(gv_autoIdMap, "gen"), nullptr);
  EXPECT_EQ(GenerateID("T", Generated(nullptr)), -1);
  EXPECT_TRUE(log.Has("[TRACE] AutoId Key (null)"));
}

TEST_F(AutoIdTest, EntryWithoutValue) {
  ASSERT_TRUE(PutHashValue(gv_autoIdMap, "gen", std::optional<AutoIdRange>()));
  qvtest::LogCapture log;
  EXPECT_EQ(GenerateID("T", Generated("gen")), -1);
  EXPECT_TRUE(log.Has("[ERROR] No Value for AutoId key gen "));
}

TEST_F(AutoIdTest, BatchesFollowOneAnother) {
  ASSERT_TRUE(PutHashValue(gv_autoIdMap, "gen", std::optional<AutoIdRange>(AutoIdRange{299, 300})));
  qvtest::LogCapture log;
  std::vector<int32_t> ids;
  for (int i = 0; i < 3; ++i) ids.push_back(GenerateID("T", Generated("gen")));
  EXPECT_EQ(ids, (std::vector<int32_t>{299, 300, 301}));  // 301 from the next batch, 301 to 600
  const AutoIdRange range = GetHashValue(gv_autoIdMap, "gen")->value();
  EXPECT_EQ(range.nextId, 302);
  EXPECT_EQ(range.batchEnd, 600);
  EXPECT_TRUE(log.Has("[TRACE] AutoGenerated Value 301 "));
}

}  // namespace
