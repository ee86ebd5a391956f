#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32.h"

namespace {

struct MbCase {
  const char* name;
  std::string input;
  int inputLength;  // -1: NUL-terminated
  DWORD flags;
  std::u16string expected;  // on success, including a terminator when inputLength is -1
  DWORD error;              // 0: success expected
};

TEST(MultiByteToWideChar, Table) {
  const std::vector<MbCase> cases = {
      {"ascii with terminator", "abc", -1, 0, std::u16string(u"abc", 4), 0},
      {"explicit length, no terminator", "abc", 3, 0, u"abc", 0},
      {"two-byte and three-byte", "\xC3\x84\xE2\x82\xAC", -1, 0, std::u16string(u"\u00C4\u20AC", 3), 0},
      {"four-byte becomes a surrogate pair", "\xF0\x9F\x98\x80", 4, 0, u"\U0001F600", 0},
      {"invalid byte replaced without the flag", "a\xFF" "b", 3, 0, u"a\uFFFDb", 0},
      {"invalid byte rejected with the flag", "a\xFF" "b", 3, MB_ERR_INVALID_CHARS, u"", ERROR_NO_UNICODE_TRANSLATION},
      {"overlong encoding rejected", "\xC0\xAF", 2, MB_ERR_INVALID_CHARS, u"", ERROR_NO_UNICODE_TRANSLATION},
      {"encoded surrogate rejected", "\xED\xA0\x80", 3, MB_ERR_INVALID_CHARS, u"", ERROR_NO_UNICODE_TRANSLATION},
      {"truncated sequence rejected", "\xE2\x82", 2, MB_ERR_INVALID_CHARS, u"", ERROR_NO_UNICODE_TRANSLATION},
      {"zero length is a parameter error", "abc", 0, 0, u"", ERROR_INVALID_PARAMETER},
      {"flags UTF-8 does not take", "abc", 3, MB_PRECOMPOSED, u"", ERROR_INVALID_FLAGS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0xdeadbeef);
    int size = MultiByteToWideChar(CP_UTF8, c.flags, c.input.c_str(), c.inputLength, nullptr, 0);
    if (c.error) {
      EXPECT_EQ(size, 0);
      EXPECT_EQ(GetLastError(), c.error);
      continue;
    }
    ASSERT_EQ(size, static_cast<int>(c.expected.size()));
    std::u16string out(static_cast<size_t>(size), u'\0');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, c.flags, c.input.c_str(), c.inputLength, out.data(), size), size);
    EXPECT_EQ(out, c.expected);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  }
}

TEST(MultiByteToWideChar, SmallBufferAndBadArguments) {
  char16_t out[2];
  SetLastError(0xdeadbeef);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, out, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // The ANSI code page is UTF-8.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC3\x84", 2, out, 2), 1);
  EXPECT_EQ(out[0], u'\u00C4');
}

TEST(WideCharToMultiByte, Table) {
  struct Case {
    const char* name;
    std::u16string input;
    int inputLength;
    DWORD flags;
    std::string expected;
    DWORD error;
  };
  const std::vector<Case> cases = {
      {"with terminator", u"abc", -1, 0, std::string("abc", 4), 0},
      {"non-ASCII", u"\u00C4bc", 3, 0, "\xC3\x84" "bc", 0},
      {"surrogate pair", u"\U0001F600", 2, 0, "\xF0\x9F\x98\x80", 0},
      {"lone surrogate replaced", std::u16string(1, char16_t(0xD800)), 1, 0, "\xEF\xBF\xBD", 0},
      {"lone surrogate rejected with the flag", std::u16string(1, char16_t(0xDC00)), 1, WC_ERR_INVALID_CHARS, "",
       ERROR_NO_UNICODE_TRANSLATION},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0xdeadbeef);
    int size = WideCharToMultiByte(CP_UTF8, c.flags, c.input.c_str(), c.inputLength, nullptr, 0, nullptr, nullptr);
    if (c.error) {
      EXPECT_EQ(size, 0);
      EXPECT_EQ(GetLastError(), c.error);
      continue;
    }
    ASSERT_EQ(size, static_cast<int>(c.expected.size()));
    std::string out(static_cast<size_t>(size), '\0');
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, c.flags, c.input.c_str(), c.inputLength, out.data(), size, nullptr, nullptr),
              size);
    EXPECT_EQ(out, c.expected);
  }
  BOOL used = FALSE;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, nullptr, 0, "?", &used), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Utf8Helpers, StrictAndLossy) {
  EXPECT_EQ(qvplatform::Utf8ToUtf16("\xC3\x84").value(), u"\u00C4");
  EXPECT_FALSE(qvplatform::Utf8ToUtf16("\xC3").has_value());
  EXPECT_EQ(qvplatform::Utf8ToUtf16Lossy("\xC3"), u"\uFFFD");
  EXPECT_FALSE(qvplatform::Utf16ToUtf8(std::u16string(1, char16_t(0xD801))).has_value());
  EXPECT_EQ(qvplatform::Utf16ToUtf8(u"\U0001F600").value(), "\xF0\x9F\x98\x80");
}

}  // namespace
