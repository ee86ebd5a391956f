#include <gtest/gtest.h>

#include <cstdint>

#include "win32.h"

namespace {

using qvplatform::Format;

TEST(Format, WideArgumentsAndNulls) {
  const char16_t* wide = u"caf\u00E9";
  const char* nullText = nullptr;
  const char16_t* nullWide = nullptr;
  struct Case {
    const char* name;
    std::string got;
    std::string expected;
  };
  const Case cases[] = {
      {"%S takes UTF-16", Format("[%S]", wide), "[caf\xC3\xA9]"},
      {"%ls takes UTF-16", Format("[%ls]", wide), "[caf\xC3\xA9]"},
      {"%ws takes UTF-16", Format("[%ws]", wide), "[caf\xC3\xA9]"},
      {"%hS stays narrow", Format("[%hS]", "x"), "[x]"},
      {"null %s", Format("[%s]", nullText), "[(null)]"},
      {"null %S", Format("[%S]", nullWide), "[(null)]"},
      {"width on wide", Format("[%6S]", u"ab"), "[    ab]"},
      {"left-justified", Format("[%-4s]", "ab"), "[ab  ]"},
      {"precision on wide counts characters", Format("[%.2S]", u"abcd"), "[ab]"},
      {"precision on narrow", Format("[%.3s]", "abcdef"), "[abc]"},
      {"wide character", Format("[%lc%C]", u'\u00C4', u'b'), "[\xC3\x84" "b]"},
      {"percent", Format("100%%"), "100%"},
      {"ints", Format("%d %5d %-3d| %05d %x %X %o", -7, 42, 1, 3, 255, 255, 8), "-7    42 1  | 00003 ff FF 10"},
      {"long is 32 bits", Format("%ld %lu %lx", static_cast<int32_t>(-1), 4294967295u, 0xABCDu), "-1 4294967295 abcd"},
      {"64-bit", Format("%lld %I64d %I64u %llu", -5LL, 1LL << 40, 18446744073709551615ULL, 7ULL),
       "-5 1099511627776 18446744073709551615 7"},
      {"star width and precision", Format("[%*.*s]", 5, 2, "abc"), "[   ab]"},
      {"doubles", Format("%.2f %g", 3.14159, 0.5), "3.14 0.5"},
      {"char", Format("%c%c", 'o', 'k'), "ok"},
      {"unknown conversion kept", Format("%y!"), "%y!"},
      {"lone percent at end kept", Format("50%"), "50%"},
      {"long text", Format("%s", std::string(500, 'x').c_str()), std::string(500, 'x')},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.name;
}

TEST(Format, PercentNIsNeverWritten) {
  int n = 1234;
  EXPECT_EQ(Format("ab%ncd", &n), "abcd");
  EXPECT_EQ(n, 1234);
}

}  // namespace
