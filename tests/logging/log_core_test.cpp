#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "logging/log_core.h"
#include "support/temp_dir.h"

namespace {

class LogCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseLogFile();
    FreeLoggerParameters();
    ASSERT_TRUE(InitLogger());
    InitMutex();
  }
  void TearDown() override {
    CloseLogFile();
    FreeLoggerParameters();
  }

  std::string LogDir() const { return (dir_ / "logs").string(); }
  std::string LogPath() const { return LogDir() + "/test.log"; }
  void Open(int level, bool append = true) {
    ASSERT_TRUE(SetLoggerParameters("test.log", LogDir().c_str(), level));
    ASSERT_TRUE(append ? OpenLogFileAppend() : OpenLogFileOverwrite());
  }
  std::string Contents() const { return qvtest::ReadFileBytes(LogPath()); }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  qvtest::TempDir dir_;
};

const std::regex kStamp(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3})");

TEST_F(LogCoreTest, LineLayoutIsExactAndLinesEndWithCrLf) {
  Open(4);
  LogInfo("hello %s %d\n", "world", 42);
  LogTrace("wide %S\n", u"text");
  CloseLogFile();
  auto lines = Lines(Contents());
  ASSERT_EQ(lines.size(), 4u);
  const std::string tid = std::to_string(static_cast<int>(GetCurrentThreadId()));
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(Log open time: \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3}\r)")))
      << lines[0];
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex(R"(\[ \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} \] \[ )" + tid + R"( \] \[INFO\] hello world 42\r)")))
      << lines[1];
  EXPECT_TRUE(std::regex_search(lines[2], std::regex(R"(\] \[TRACE\] wide text\r$)"))) << lines[2];
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(Log close time: \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3}\r)")));
}

TEST_F(LogCoreTest, LevelTable) {
  struct Case {
    int level;
    const char* expectedMarkers;  // which of I, E, D, T appear
  };
  const Case cases[] = {{0, ""}, {1, "I"}, {2, "IE"}, {3, "IED"}, {4, "IEDT"}, {200, "IEDT"}, {256, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    SetUp();
    Open(c.level, false);
    LogInfo("info\n");
    LogError("error\n");
    LogDebug("debug\n");
    LogTrace("trace\n");
    CloseLogFile();
    std::string text = Contents();
    std::string seen;
    if (text.find("[INFO] info") != std::string::npos) seen += "I";
    if (text.find("[ERROR] error") != std::string::npos) seen += "E";
    if (text.find("[DEBUG] debug") != std::string::npos) seen += "D";
    if (text.find("[TRACE] trace") != std::string::npos) seen += "T";
    EXPECT_EQ(seen, c.expectedMarkers);
    EXPECT_NE(text.find("Log open time: "), std::string::npos);
    EXPECT_NE(text.find("Log close time: "), std::string::npos);
  }
}

TEST_F(LogCoreTest, SilentBeforeOpenAndAfterClose) {
  LogError("before\n");
  Open(4);
  CloseLogFile();
  LogError("after\n");
  LogInfo("after\n");
  std::string text = Contents();
  EXPECT_EQ(text.find("before"), std::string::npos);
  EXPECT_EQ(text.find("after"), std::string::npos);
  // After FreeLoggerParameters nothing is written even if a file were open again.
  FreeLoggerParameters();
  LogError("freed\n");
  EXPECT_EQ(Contents().find("freed"), std::string::npos);
}

TEST_F(LogCoreTest, AppendKeepsAndOverwriteDiscards) {
  Open(2);
  LogInfo("first\n");
  CloseLogFile();
  ASSERT_TRUE(OpenLogFileAppend());
  LogInfo("second\n");
  CloseLogFile();
  std::string text = Contents();
  EXPECT_LT(text.find("first"), text.find("second"));
  ASSERT_TRUE(OpenLogFileOverwrite());
  LogInfo("third\n");
  CloseLogFile();
  text = Contents();
  EXPECT_EQ(text.find("first"), std::string::npos);
  EXPECT_EQ(text.rfind("Log open time: ", 0), 0u);
  EXPECT_NE(text.find("third"), std::string::npos);
}

TEST_F(LogCoreTest, SecondOpenKeepsTheFirstFileAndLogsTrace) {
  Open(4);
  std::string firstPath = *gv_logFilePath;
  ASSERT_TRUE(SetLoggerParameters("other.log", LogDir().c_str(), 4));
  EXPECT_TRUE(OpenLogFileAppend());
  CloseLogFile();
  EXPECT_NE(Contents().find("[TRACE] gv_logFilePtr already Set\r\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(LogDir() + "/other.log"));
  EXPECT_EQ(firstPath, LogPath());
}

TEST_F(LogCoreTest, CreatesMissingDirectoryLevels) {
  std::string deep = (dir_ / "a/b/c").string();
  ASSERT_TRUE(SetLoggerParameters("deep.log", deep.c_str(), 2));
  ASSERT_TRUE(OpenLogFileAppend());
  CloseLogFile();
  EXPECT_TRUE(std::filesystem::exists(deep + "/deep.log"));
}

TEST_F(LogCoreTest, MessageWithoutLineEndRunsIntoNextLine) {
  Open(2);
  LogInfo("no end");
  LogInfo("next\n");
  CloseLogFile();
  auto lines = Lines(Contents());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(std::regex_search(lines[1], std::regex(R"(\[INFO\] no end\[ .* \] \[INFO\] next\r$)"))) << lines[1];
}

TEST_F(LogCoreTest, TwoThreadsWriteWholeLines) {
  Open(2);
  constexpr int kLines = 300;
  auto writer = [](char tag) {
    for (int i = 0; i < kLines; ++i) LogInfo("%c-%04d-%s\n", tag, i, std::string(64, tag).c_str());
  };
  int tids[2] = {0, 0};
  std::thread a([&] { tids[0] = static_cast<int>(GetCurrentThreadId()); writer('a'); });
  std::thread b([&] { tids[1] = static_cast<int>(GetCurrentThreadId()); writer('b'); });
  a.join();
  b.join();
  CloseLogFile();
  auto lines = Lines(Contents());
  ASSERT_EQ(lines.size(), 2u + 2 * kLines);
  const std::regex line(R"(\[ \S+ \S+ \] \[ (\d+) \] \[INFO\] ([ab])-\d{4}-([ab]{64})\r)");
  int counts[2] = {0, 0};
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, line)) << lines[i];
    int which = m[2] == "a" ? 0 : 1;
    EXPECT_EQ(m[3].str(), std::string(64, m[2].str()[0]));
    EXPECT_EQ(std::stoi(m[1]), tids[which]);
    ++counts[which];
  }
  EXPECT_EQ(counts[0], kLines);
  EXPECT_EQ(counts[1], kLines);
}

TEST_F(LogCoreTest, MakeDirectoryPathResults) {
  std::string base = dir_.str();
  struct Case {
    std::string path;
    int expected;
  };
  const std::vector<Case> cases = {
      {base + "/new", 0},
      {base + "/new", 1},
      {base + "/x/y/z", 0},
      {base + "/p/q/", 0},
      {"missing-parent-without-slash\\child", 2},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeDirectoryPath(c.path.c_str()), c.expected) << c.path;
  EXPECT_TRUE(std::filesystem::is_directory(base + "/x/y/z"));
  EXPECT_EQ(MakeDirectory((base + "/new").c_str()), 17);
  EXPECT_EQ(MakeDirectory((base + "/none/child").c_str()), 2);
}

TEST(LockList, UpdateResultsAndBackOff) {
  InitMutex();
  int a = 0, b = 0;
  EXPECT_EQ(UpdateLockList(&a, LockListOperation::kAcquire), LockListResult::kAcquired);
  EXPECT_EQ(UpdateLockList(&a, LockListOperation::kAcquire), LockListResult::kBusy);
  EXPECT_EQ(UpdateLockList(&b, LockListOperation::kAcquire), LockListResult::kAcquired);
  EXPECT_EQ(UpdateLockList(&a, LockListOperation::kRelease), LockListResult::kReleased);
  EXPECT_EQ(UpdateLockList(&a, LockListOperation::kRelease), LockListResult::kNotHeld);
  EXPECT_EQ(UpdateLockList(&b, LockListOperation::kRelease), LockListResult::kReleased);

  int32_t before = gv_lockWaitCounter;
  EXPECT_EQ(GetNextWaitInterval(), before + 10);
  gv_lockWaitCounter = -10;  // the next step would be 0: it becomes 10
  EXPECT_EQ(GetNextWaitInterval(), 10);
  gv_lockWaitCounter = INT32_MAX - 5;  // wraps without undefined behaviour
  EXPECT_EQ(GetNextWaitInterval(), INT32_MIN + 4);
  gv_lockWaitCounter = before;
}

TEST(LockList, AnotherThreadWaitsUntilRelease) {
  InitMutex();
  int object = 0;
  LockObject(&object);
  std::atomic<bool> entered{false};
  std::thread other([&] {
    LockObject(&object);
    entered = true;
    UnlockObject(&object);
  });
  Sleep(50);
  EXPECT_FALSE(entered.load());
  UnlockObject(&object);
  other.join();
  EXPECT_TRUE(entered.load());
}

}  // namespace
