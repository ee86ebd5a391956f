#include "logging/agent_logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/agent_parameters.h"
#include "logging/log_core.h"
#include "support/agent_config.h"
#include "support/temp_dir.h"
#include "support/temp_hive.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kStamp = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3})";

// The lines of a file written in text mode (CR LF line ends).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));  // an unterminated last line
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Waits (up to a generous limit) until `done` holds.
template <typename Predicate>
bool WaitFor(Predicate done) {
  for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;) {
    if (done()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return done();
}

// A private hive and installation folder; the agent log closed and the parameters reset afterwards.
class AgentLogger : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAgentParameters();
    installDir_ = dir_.str() + "/agent/";
  }
  void TearDown() override {
    CloseAgentLogger();
    ResetAgentParameters();
  }
  fs::path LogsDir() const { return dir_.path() / "agent" / "logs"; }
  std::string ReadLog(const std::string& name) const { return qvtest::ReadFileBytes(LogsDir() / name); }

  // A settings record for the logs folder with a short check interval.
  AgentLogSettings ShortIntervalSettings(uint32_t interval, int32_t maxLogSize) const {
    AgentLogSettings settings;
    settings.fileName = "agent.log";
    settings.directory = LogsDir().string();
    settings.checkInterval = interval;
    settings.maxLogSize = maxLogSize;
    return settings;
  }

  qvtest::TempDir dir_;
  qvtest::TempHive hive_;
  std::string installDir_;
};

TEST_F(AgentLogger, OpensInTheInstallationFolderAtTheConfiguredLevel) {
  struct Case {
    std::optional<DWORD> level;
    std::set<std::string> markers;
  };
  const std::vector<Case> cases = {
      {std::nullopt, {"[INFO]", "[ERROR]"}},
      {1, {"[INFO]"}},
      {3, {"[INFO]", "[ERROR]", "[DEBUG]"}},
      {4, {"[INFO]", "[ERROR]", "[DEBUG]", "[TRACE]"}},
      {0, {}},
      {0x104, {"[INFO]", "[ERROR]", "[DEBUG]", "[TRACE]"}},  // only the low 8 bits count
  };
  qvtest::SetRegText(qvtest::kAgentKey, "QVAgentInstallDir", installDir_);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level ? std::to_string(*c.level) : "absent");
    ResetAgentParameters();
    fs::remove_all(LogsDir());
    if (c.level) {
      qvtest::SetRegNumber(qvtest::kAgentKey, "QVAgentLogLevel", *c.level);
    } else {
      qvtest::RemoveRegValue(qvtest::kAgentKey, "QVAgentLogLevel");
    }
    ASSERT_EQ(InitAgentLogger("qvprereqhandler.log"), 0);
    EXPECT_EQ(QVAgentInstallDir, installDir_);
    LogInfo("probe info\n");
    LogError("probe error\n");
    LogDebug("probe debug\n");
    LogTrace("probe trace\n");
    CloseAgentLogger();

    std::vector<std::string> lines = Lines(ReadLog("qvprereqhandler.log"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines.front(), std::regex(std::string("Log open time: ") + kStamp)));
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex(std::string("Log close time: ") + kStamp)));
    std::set<std::string> seen;
    for (const char* marker : {"[INFO]", "[ERROR]", "[DEBUG]", "[TRACE]"}) {
      for (const auto& line : lines) {
        if (line.find(std::string("] ") + marker + " probe") != std::string::npos) seen.insert(marker);
      }
    }
    EXPECT_EQ(seen, c.markers);
  }
}

TEST_F(AgentLogger, AppendsToAnExistingLog) {
  qvtest::SetRegText(qvtest::kAgentKey, "QVAgentInstallDir", installDir_);
  fs::create_directories(LogsDir());
  qvtest::WriteFileBytes(LogsDir() / "qvprereqhandler.log", "earlier run\r\n");
  ASSERT_EQ(InitAgentLogger("qvprereqhandler.log"), 0);
  CloseAgentLogger();
  std::vector<std::string> lines = Lines(ReadLog("qvprereqhandler.log"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "earlier run");
}

TEST_F(AgentLogger, NoInstallationFolderMeansNoLog) {
  EXPECT_EQ(InitAgentLogger("qvprereqhandler.log"), ERROR_FILE_NOT_FOUND);
  LogError("nowhere to go\n");
  EXPECT_EQ(gv_logFilePtr.load(), nullptr);
  EXPECT_EQ(gv_logTimerQueue, nullptr);
  EXPECT_FALSE(fs::exists(LogsDir()));
}

TEST_F(AgentLogger, LoadedInstallationFolderIsUsedWithoutReadingTheRegistry) {
  QVAgentInstallDir = installDir_;  // as InitializeAgentParameters leaves it; the hive has no value
  ASSERT_EQ(InitAgentLogger("qvprereqhandler.log"), 0);
  CloseAgentLogger();
  EXPECT_TRUE(fs::exists(LogsDir() / "qvprereqhandler.log"));
}

TEST_F(AgentLogger, TimerRearmsAfterEachCheckUntilClosed) {
  AgentLogSettings settings = ShortIntervalSettings(20, 1000000);
  ASSERT_EQ(StartAgentLogger(&settings), 0);
  ASSERT_NE(gv_logTimerQueue, nullptr);
  const std::string end = "[INFO] LoggerTimerRoutine : End of LoggerTimerRoutine Method";
  auto runs = [&] {
    std::string text = ReadLog("agent.log");
    size_t count = 0;
    for (size_t at = text.find(end); at != std::string::npos; at = text.find(end, at + 1)) ++count;
    return count;
  };
  EXPECT_TRUE(WaitFor([&] { return runs() >= 3; })) << ReadLog("agent.log");
  CloseAgentLogger();
  EXPECT_EQ(gv_logTimerQueue, nullptr);

  // No check runs after the close: a live file over the limit stays where it is.
  qvtest::WriteFileBytes(LogsDir() / "agent.log", std::string(1000000, 'x'));
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(fs::exists(LogsDir() / "agent1.log"));
}

TEST_F(AgentLogger, RotationOfTheOpenLogKeepsEveryLineWhole) {
  // Rotations every few milliseconds while another thread logs numbered lines.
  AgentLogSettings settings = ShortIntervalSettings(5, 20000);
  ASSERT_EQ(StartAgentLogger(&settings), 0);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop.load(); ++i) LogInfo("writer line %d %s end\n", i, std::string(60, 'p').c_str());
  });
  EXPECT_TRUE(WaitFor([&] { return fs::exists(LogsDir() / "agent4.log"); }));
  stop = true;
  writer.join();
  CloseAgentLogger();

  const std::regex whole(std::string(R"(\[ )") + kStamp + R"( \] \[ -?\d+ \] \[(INFO|ERROR)\] .*)");
  const std::regex writerLine(R"(.*\[INFO\] writer line \d+ p{60} end)");
  const std::regex openClose(std::string("Log (open|close) time: ") + kStamp);
  // The rotation's own banners begin with a line end, so their text stands on a line of its own.
  const std::regex banner(R"( @{15}.*RotateSpecificLogs.*@{13})");
  for (const char* name : {"agent.log", "agent1.log", "agent2.log", "agent3.log", "agent4.log"}) {
    SCOPED_TRACE(name);
    std::string text = ReadLog(name);
    if (text.empty()) continue;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    for (const auto& line : Lines(text)) {
      bool ok = std::regex_match(line, openClose) || std::regex_match(line, banner) ||
                (std::regex_match(line, whole) &&
                 (line.find("writer line") == std::string::npos || std::regex_match(line, writerLine)));
      EXPECT_TRUE(ok) << "[" << line << "]";
      if (!ok) break;
    }
  }
}

TEST_F(AgentLogger, RotationLosesNoLineWrittenMeanwhile) {
  // One rotation of a large live file while another thread keeps logging: the backup and the live
  // file together hold every line, in order.
  AgentLogSettings settings = ShortIntervalSettings(3600000, 2000000);
  settings.rotateByTimer = false;
  ASSERT_EQ(StartAgentLogger(&settings), 0);
  std::atomic<bool> stop{false};
  std::atomic<int> written{0};
  std::thread writer([&] {
    for (int i = 0; !stop.load(); ++i) {
      LogInfo("line %d %s\n", i, std::string(100, 'q').c_str());
      written = i + 1;
    }
  });
  EXPECT_TRUE(WaitFor([&] { return fs::file_size(LogsDir() / "agent.log") >= 2000000; }));
  const int before = written.load();
  RotateLoggerForEverRunningProcess(settings.directory.c_str(), "agent.log", 5, 2000000);
  EXPECT_TRUE(WaitFor([&] { return written.load() > before + 1000; }));
  stop = true;
  writer.join();
  CloseAgentLogger();

  std::vector<int> numbers;
  const std::regex numbered(R"(.*\[INFO\] line (\d+) q{100})");
  for (const char* name : {"agent1.log", "agent.log"}) {
    for (const auto& line : Lines(ReadLog(name))) {
      std::smatch match;
      if (std::regex_match(line, match, numbered)) numbers.push_back(std::stoi(match[1]));
    }
  }
  ASSERT_FALSE(numbers.empty());
  EXPECT_EQ(numbers.front(), 0);
  for (size_t i = 1; i < numbers.size(); ++i) {
    ASSERT_EQ(numbers[i], numbers[i - 1] + 1) << "gap after line " << numbers[i - 1];
  }
  EXPECT_EQ(numbers.back(), written.load() - 1);
}

TEST_F(AgentLogger, ErrorLogEntries) {
  QVAgentInstallDir = installDir_;
  ASSERT_EQ(WriteBufferToErrorLog("first failure\n"), 0u);
  ASSERT_EQ(WriteBufferToErrorLog("second failure\n"), 0u);
  const std::string stamp = R"([A-Z][a-z]{2} \d{2},\d{4} \d{2}:\d{2}[AP]M\r\n)";
  EXPECT_TRUE(std::regex_match(ReadLog("qverror.log"),
                               std::regex(stamp + "first failure\r\n\r\n" + stamp + "second failure\r\n\r\n")))
      << ReadLog("qverror.log");
}

TEST_F(AgentLogger, ErrorLogNeedsAnInstallationFolder) {
  EXPECT_EQ(WriteBufferToErrorLog("lost\n"), 13u);
  EXPECT_FALSE(fs::exists(LogsDir()));
}

TEST_F(AgentLogger, FileWriters) {
  const fs::path file = dir_.path() / "transfer.log";
  AppendFormattedTextToFile(file.string().c_str(), "%s %d%%\n", "done", 100);
  AppendFormattedTextToFile(file.string().c_str(), "%s\n", "50% of 2%d");
  EXPECT_EQ(qvtest::ReadFileBytes(file), "done 100%\r\n50% of 2%d\r\n");
  AppendFormattedTextToFile((dir_.str() + "/missing/transfer.log").c_str(), "x");
  EXPECT_FALSE(fs::exists(dir_.path() / "missing"));

  struct Case {
    std::optional<std::string> before;
    std::string after;
  };
  const std::vector<Case> cases = {
      {std::nullopt, "Header\r\n"},
      {"", "Header\r\n"},
      {"row\r\n", "row\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before.value_or("(absent)"));
    const fs::path headed = dir_.path() / "access.log";
    fs::remove(headed);
    if (c.before) qvtest::WriteFileBytes(headed, *c.before);
    WriteHeaderIfFileAbsent(headed.string().c_str(), "Header\n");
    EXPECT_EQ(qvtest::ReadFileBytes(headed), c.after);
  }
}

}  // namespace
