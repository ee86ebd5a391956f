// The handler as the agent runs it: configuration from its own hive, its log in the agent's logs folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "support/agent_config.h"
#include "support/run_process.h"
#include "support/standin.h"
#include "support/temp_dir.h"
#include "support/temp_hive.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultFolder = "SQLServer2012SP3-KB3072779-x64-ENU.exe";

// <tmp>/work is the working directory, <tmp>/agent/ the installation folder named in the hive.
class AgentLogRun : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Work());
    qvtest::WriteAgentConfiguration(InstallDir());
    qvtest::WriteStandIn(Work() / kDefaultFolder, "setup.exe", 3010);
  }
  fs::path Work() const { return dir_ / "work"; }
  std::string InstallDir() const { return (dir_ / "agent").string() + "/"; }
  fs::path LogsDir() const { return dir_ / "agent/logs"; }
  std::string Log() const { return qvtest::ReadFileBytes(LogsDir() / "qvprereqhandler.log"); }
  qvtest::ProcessResult Run() {
    return qvtest::RunProcess(qvtest::BuiltProgram("qvprereqhandler"), {}, Work());
  }

  qvtest::TempDir dir_;
  qvtest::TempHive hive_;
};

TEST_F(AgentLogRun, LogLevelComesFromTheConfiguration) {
  struct Case {
    std::optional<DWORD> level;
    bool info;
    bool error;
    bool debug;
  };
  const std::vector<Case> cases = {
      {std::nullopt, true, true, false},
      {1, true, false, false},
      {3, true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level ? std::to_string(*c.level) : "absent");
    fs::remove_all(LogsDir());
    qvtest::WriteStandIn(Work() / "Pack", "setup.exe", 1603);
    if (c.level) {
      qvtest::SetRegNumber(qvtest::kAgentKey, "QVAgentLogLevel", *c.level);
    } else {
      qvtest::RemoveRegValue(qvtest::kAgentKey, "QVAgentLogLevel");
    }
    auto result = qvtest::RunProcess(qvtest::BuiltProgram("qvprereqhandler"), {"Pack"}, Work());
    EXPECT_EQ(result.exitStatus, 1603 & 255) << result.output;
    const std::string log = Log();
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(^Log open time: [^\r\n]+\r\n)"))) << log;
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(\r\nLog close time: [^\r\n]+\r\n$)"))) << log;
    EXPECT_EQ(log.find("[INFO] Setup Folder Name : Pack\r\n") != std::string::npos, c.info) << log;
    EXPECT_EQ(log.find("[ERROR] ") != std::string::npos, c.error) << log;
    EXPECT_EQ(log.find("[DEBUG] ") != std::string::npos, c.debug) << log;
    EXPECT_EQ(log.find("[TRACE] "), std::string::npos) << log;
    // The parameters are loaded before the log is open: none of their lines reach it.
    EXPECT_EQ(log.find("Quarvel Server Name"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(Work() / "Pack"));
    EXPECT_FALSE(fs::exists(dir_ / "logs"));
  }
}

TEST_F(AgentLogRun, WithoutInstallationFolderTheSetupRunsWithoutLog) {
  struct Case {
    std::string name;
    bool emptyHive;  // no agent configuration at all
  };
  for (const auto& c : std::vector<Case>{{"no QVAgentInstallDir", false}, {"empty hive", true}}) {
    SCOPED_TRACE(c.name);
    std::optional<qvtest::TempHive> emptyHive;
    if (c.emptyHive) {
      emptyHive.emplace();
    } else {
      qvtest::RemoveRegValue(qvtest::kAgentKey, "QVAgentInstallDir");
    }
    // The set-up program's own exit code proves that it ran.
    qvtest::WriteStandIn(Work() / "Pack", "setup.exe", 1603);
    auto result = qvtest::RunProcess(qvtest::BuiltProgram("qvprereqhandler"), {"Pack"}, Work());
    EXPECT_EQ(result.exitStatus, 1603 & 255) << result.output;
    EXPECT_FALSE(fs::exists(Work() / "Pack"));
    EXPECT_FALSE(fs::exists(LogsDir()));
    EXPECT_FALSE(fs::exists(dir_ / "logs"));
    EXPECT_FALSE(fs::exists(Work() / "logs"));
  }
}

TEST_F(AgentLogRun, FullLiveLogWithFourBackupsIsRotatedAtStart) {
  fs::create_directories(LogsDir());
  const std::string live(2000000, 'L');
  qvtest::WriteFileBytes(LogsDir() / "qvprereqhandler.log", live);
  for (int b = 1; b <= 4; ++b) {
    qvtest::WriteFileBytes(LogsDir() / ("qvprereqhandler" + std::to_string(b) + ".log"), "B" + std::to_string(b));
  }
  auto result = Run();
  EXPECT_EQ(result.exitStatus, 0) << result.output;
  EXPECT_EQ(qvtest::ReadFileBytes(LogsDir() / "qvprereqhandler1.log"), live);
  EXPECT_EQ(qvtest::ReadFileBytes(LogsDir() / "qvprereqhandler2.log"), "B1");
  EXPECT_EQ(qvtest::ReadFileBytes(LogsDir() / "qvprereqhandler3.log"), "B2");
  EXPECT_EQ(qvtest::ReadFileBytes(LogsDir() / "qvprereqhandler4.log"), "B3");
  EXPECT_FALSE(fs::exists(LogsDir() / "qvprereqhandler5.log"));
  const std::string log = Log();
  EXPECT_EQ(log.rfind("Log open time: ", 0), 0u) << log.substr(0, 200);
  EXPECT_LT(log.size(), 10000u);
  EXPECT_NE(log.find("[INFO] Installation completed with error code : 0 "), std::string::npos) << log;
}

TEST_F(AgentLogRun, LogBelowTheLimitIsAppendedTo) {
  fs::create_directories(LogsDir());
  const std::string earlier(1999999, 'E');
  qvtest::WriteFileBytes(LogsDir() / "qvprereqhandler.log", earlier);
  auto result = Run();
  EXPECT_EQ(result.exitStatus, 0) << result.output;
  EXPECT_FALSE(fs::exists(LogsDir() / "qvprereqhandler1.log"));
  const std::string log = Log();
  EXPECT_EQ(log.substr(0, earlier.size()), earlier);
  EXPECT_EQ(log.find("Log open time: "), earlier.size());
}

}  // namespace
