#include <gtest/gtest.h>

#include "support/log_capture.h"
#include "util/encoding.h"

namespace {

TEST(Encoding, RoundTripsAndEmptyInputs) {
  qvtest::LogCapture log;
  std::u16string wide;
  std::string narrow;
  EXPECT_EQ(ChangeToWideStr("caf\xC3\xA9", wide), 1);
  EXPECT_EQ(wide, u"caf\u00E9");
  EXPECT_EQ(ChangeWideToUtf8Str(wide.c_str(), narrow), 1);
  EXPECT_EQ(narrow, "caf\xC3\xA9");
  EXPECT_EQ(ChangeWideToAnsiStr(u"x\u00E9", narrow), 1);
  EXPECT_EQ(narrow, "x\xC3\xA9");
  EXPECT_EQ(ChangeUtf8ToWideStr("", wide), 1);
  EXPECT_EQ(wide, u"");

  EXPECT_EQ(ChangeToWideStr(nullptr, wide), 0);
  EXPECT_EQ(ChangeUtf8ToWideStr(nullptr, wide), 0);
  EXPECT_EQ(ChangeAnsiToUTF8Str(nullptr, narrow), 0);
  EXPECT_TRUE(log.Has("[ERROR] ChangeToWideStr: AnsiString is empty! "));
  EXPECT_TRUE(log.Has("[ERROR] ChangeUtf8ToWideStr: utf8 is empty! "));
  EXPECT_TRUE(log.Has("[ERROR] ChangeAnsiToUTF8Str: ansiString is empty! "));
}

TEST(Encoding, AnsiToUtf8KeepsValidUtf8Bytes) {
  std::string out;
  const char* inputs[] = {"plain", "\xC3\x84\xC3\x96\xC3\x9C", "\xE2\x82\xAC 5", "\xF0\x9F\x98\x80"};
  for (const char* in : inputs) {
    EXPECT_EQ(ChangeAnsiToUTF8Str(in, out), 1) << in;
    EXPECT_EQ(out, in);
  }
}

TEST(Encoding, ToLowerChangesOnlyAsciiLetters) {
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {{"\xC3\x84" "BC", "\xC3\x84" "bc"}, {"MiXeD-123_Z", "mixed-123_z"}, {"", ""},
                        {"\xC3\x9F\xC3\x89", "\xC3\x9F\xC3\x89"}};
  for (const auto& c : cases) EXPECT_EQ(ToLowerUtf8(c.in), c.out) << c.in;
}

TEST(TextHelpers, ConcatReplaceParse) {
  EXPECT_EQ(ConcatStrings("ab", "cd"), "abcd");
  EXPECT_EQ(ConcatStrings("", "x"), "x");
  EXPECT_EQ(ReplaceChar("a\\b\\c", '\\', '/'), "a/b/c");
  struct Case {
    const char* in;
    int64_t value;
  };
  const Case cases[] = {{"12", 12}, {"1a", 59}, {"", 0}, {"007", 7}, {"9223372036854775807", INT64_MAX}, {"-1", -29}};
  for (const auto& c : cases) EXPECT_EQ(ParseDecimal64(c.in), c.value) << c.in;
}

TEST(LogLastError, LogsSystemTextWithLineEnd) {
  qvtest::LogCapture log;
  SetLastError(5);
  LogLastError();
  EXPECT_TRUE(log.Has("[ERROR]  Error Message: Access is denied.")) << log.Raw();
}

}  // namespace
