#include <gtest/gtest.h>

#include <chrono>

#include "runner/process_runner.h"
#include "support/log_capture.h"
#include "support/standin.h"

namespace {

// The smallest time limit is one minute: the stand-in outlives it and is terminated.
TEST(ExecuteTimeLimit, TerminatesAfterTheLimitAndReturns258) {
  qvtest::TempDir dir;
  qvtest::LogCapture log;
  qvtest::WriteStandIn(dir / "Pack", "setup.exe", 0, 120);
  std::string remark;
  auto start = std::chrono::steady_clock::now();
  DWORD result = execute((dir / "Pack").string().c_str(), "setup.exe /q", &remark, 1, false);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(result, WAIT_TIMEOUT);
  EXPECT_EQ(remark, "The wait operation timed out. ");
  EXPECT_GE(elapsed, std::chrono::seconds(59));
  EXPECT_TRUE(log.Has("[INFO] execute : Terminating the Process for application setup.exe /q as time is exceeded 1 Minutes "));
  EXPECT_TRUE(log.Has("[INFO] execute : The process has been successfully terminated ..! "));
  EXPECT_TRUE(log.Has("[ERROR] Error Code : 258 , Error Message : The wait operation timed out.  "));
}

}  // namespace
