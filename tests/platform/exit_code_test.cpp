#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "support/temp_dir.h"
#include "win32.h"

namespace {

TEST(ExitCodeReport, Parses32BitDecimalOnly) {
  struct Case {
    const char* report;
    std::optional<DWORD> code;
  };
  const Case cases[] = {
      {"0", 0u},
      {"3010", 3010u},
      {"1603\n", 1603u},
      {" 17025\r\n", 17025u},
      {"4294967295", 0xFFFFFFFFu},
      {"-1", 0xFFFFFFFFu},
      {"-2147483648", 0x80000000u},
      {"-1073741819", 0xC0000005u},
      {"", std::nullopt},
      {"\n", std::nullopt},
      {"4294967296", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999999", std::nullopt},
      {"12abc", std::nullopt},
      {"0x10", std::nullopt},
      {"+5", std::nullopt},
      {"-", std::nullopt},
      {"3010\n1603", std::nullopt},
      {"1 2", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(qvplatform::ParseExitCodeReport(c.report), c.code) << "report: \"" << c.report << "\"";
  }
}

TEST(ExitCodeReport, WritesToTheNamedPipeOnly) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  {
    qvtest::ScopedEnv channel(qvplatform::kExitCodeFdVariable, std::to_string(fds[1]));
    EXPECT_TRUE(qvplatform::ReportExitCode(0xFFFFFFFF));
  }
  close(fds[1]);
  char buffer[32] = {};
  EXPECT_EQ(read(fds[0], buffer, sizeof buffer), 10);
  EXPECT_EQ(std::string(buffer), "4294967295");
  close(fds[0]);

  qvtest::TempDir dir;
  const int file = open((dir / "plain").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
  ASSERT_GE(file, 0);
  for (const std::optional<std::string>& value :
       {std::optional<std::string>(), std::optional<std::string>(std::to_string(file)),
        std::optional<std::string>("3x"), std::optional<std::string>("-1"), std::optional<std::string>("")}) {
    qvtest::ScopedEnv channel(qvplatform::kExitCodeFdVariable, value);
    EXPECT_FALSE(qvplatform::ReportExitCode(3010)) << value.value_or("(unset)");
  }
  close(file);
  EXPECT_EQ(qvtest::ReadFileBytes(dir / "plain"), "");
}

}  // namespace
