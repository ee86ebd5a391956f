#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel32/command_line.h"
#include "win32.h"

namespace {

std::string Join(const std::vector<std::string>& arguments) {
  std::string text;
  for (const auto& a : arguments) text += "[" + a + "]";
  return text;
}

TEST(CommandLine, SplitsByTheWindowsRules) {
  struct Case {
    const char* line;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {"setup.exe /q /ACTION=Patch /IACCEPTSQLSERVERLICENSETERMS /ALLINSTANCES",
       {"setup.exe", "/q", "/ACTION=Patch", "/IACCEPTSQLSERVERLICENSETERMS", "/ALLINSTANCES"}},
      {"", {}},
      {" \t ", {}},
      {"  prog   a\tb  ", {"prog", "a", "b"}},
      {"\"C:\\Program Files\\x\\setup.exe\" /q", {"C:\\Program Files\\x\\setup.exe", "/q"}},
      // The program name knows no escapes: a backslash before its closing quote stays.
      {"\"dir\\\\\" x", {"dir\\\\", "x"}},
      {"\"unclosed program", {"unclosed program"}},
      {"p \"a b\" c", {"p", "a b", "c"}},
      {"p a\"b c\"d", {"p", "ab cd"}},
      {"p \"\"", {"p", ""}},
      {"p \"\" x", {"p", "", "x"}},
      {"p \\\"a", {"p", "\"a"}},
      {"p \\\\\"a b\"", {"p", "\\a b"}},
      {"p \\\\\\\"a", {"p", "\\\"a"}},
      {"p a\\\\b", {"p", "a\\\\b"}},
      {"p C:\\dir\\ x", {"p", "C:\\dir\\", "x"}},
      {"p \"C:\\dir\\\\\" x", {"p", "C:\\dir\\", "x"}},
      {"p \"a\"\"b\"", {"p", "a\"b"}},
      {"p \"a\"\"\"", {"p", "a\""}},
      {"p \"open to the end", {"p", "open to the end"}},
      {"p a\"", {"p", "a"}},
      {"p /d:\"x y\"", {"p", "/d:x y"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Join(qvplatform::SplitCommandLine(c.line)), Join(c.arguments)) << "line: " << c.line;
  }
}

}  // namespace
