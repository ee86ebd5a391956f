#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sys/stat.h>

#include "support/agent_config.h"
#include "support/run_process.h"
#include "support/standin.h"
#include "support/temp_dir.h"
#include "support/temp_hive.h"
#include "win32.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultFolder = "SQLServer2012SP3-KB3072779-x64-ENU.exe";
constexpr const char* kSetupArguments = "/q /ACTION=Patch /IACCEPTSQLSERVERLICENSETERMS /ALLINSTANCES\n";

// A working tree <tmp>/work and an agent configuration in a private hive whose installation folder
// is <tmp>/agent/, so the log goes to <tmp>/agent/logs.
class HandlerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Work());
    qvtest::WriteAgentConfiguration((dir_ / "agent").string() + "/");
  }
  fs::path Work() const { return dir_ / "work"; }
  std::string Log() const { return qvtest::ReadFileBytes(dir_ / "agent/logs/qvprereqhandler.log"); }
  qvtest::ProcessResult Run(const std::vector<std::string>& args) {
    return qvtest::RunProcess(qvtest::BuiltProgram("qvprereqhandler"), args, Work());
  }
  qvtest::TempDir dir_;
  qvtest::TempHive hive_;
};

TEST_F(HandlerRun, SetupResultsAreFoldedAndTheFolderRemoved) {
  struct Case {
    uint32_t code;
    int status;  // low 8 bits of the folded result
    std::string outcome;
  };
  const std::vector<Case> cases = {
      {0, 0, "error code : 0 and remarks is \"The operation completed successfully. \""},
      {3010, 0,
       "error code : 0 and remarks is \"The requested operation is successful. Changes will not be effective until the "
       "system is rebooted. \""},
      {1641, 0,
       "error code : 0 and remarks is \"The requested operation completed successfully. The system will be restarted "
       "so the changes can take effect. \""},
      {1508, 0,
       "error code : 0 and remarks is \"The requested operation is successful. Changes will not be effective until the "
       "browser is rebooted.\""},
      {1603, 1603 & 255, "error code : 1603 and remarks is \"Fatal error during installation. \""},
      {17025, 17025 & 255, "error code : 17025 and remarks is \"OfficeUpdateError: Patch already installed.\""},
      {777777, 777777 & 255, "error code : 777777 and remarks is \"Unknown Error. Code : 777777\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    qvtest::WriteStandIn(Work() / kDefaultFolder, "setup.exe", c.code);
    auto result = Run({});
    EXPECT_EQ(result.exitStatus, c.status) << result.output;
    EXPECT_FALSE(fs::exists(Work() / kDefaultFolder));
    EXPECT_NE(Log().find("[INFO] Installation completed with " + c.outcome + "\r\n"), std::string::npos) << Log();
  }
}

TEST_F(HandlerRun, ArgumentsNameTheFolderAndTheFlag) {
  struct Case {
    std::vector<std::string> args;
    std::string folder;
    std::string flagLine;
  };
  const std::vector<Case> cases = {
      {{}, kDefaultFolder, "is64BitArch : 0"},
      {{"Pack"}, "Pack", "is64BitArch : 0"},
      {{"Pack", "1"}, "Pack", "is64BitArch : 1"},
      {{"Pack", "x64"}, "Pack", "is64BitArch : 0"},
      {{"Pack", "7abc"}, "Pack", "is64BitArch : 7"},
      {{"Pack", "1", "ignored"}, "Pack", "is64BitArch : 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder + " " + c.flagLine);
    fs::remove(dir_ / "agent/logs/qvprereqhandler.log");
    qvtest::WriteStandIn(Work() / c.folder, "setup.exe", 0);
    auto result = Run(c.args);
    EXPECT_EQ(result.exitStatus, 0) << result.output;
    std::string log = Log();
    EXPECT_NE(log.find("[INFO] Setup Folder Name : " + c.folder + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[INFO] " + c.flagLine + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[INFO] Current Working Dir : " + Work().string() + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("execute : Set Working Directory : " + Work().string() + "\\" + c.folder + " "),
              std::string::npos);
    EXPECT_FALSE(fs::exists(Work() / c.folder));
  }
}

TEST_F(HandlerRun, FolderWithoutSetupProgram) {
  fs::create_directories(Work() / "Pack");
  qvtest::WriteFileBytes(Work() / "Pack/readme.txt", "x");
  auto result = Run({"Pack"});
  EXPECT_EQ(result.exitStatus, 2);
  std::string log = Log();
  EXPECT_NE(log.find("Installation completed with error code : 2 and remarks is \"The system cannot find the file "
                     "specified. \""),
            std::string::npos)
      << log;
  EXPECT_FALSE(fs::exists(Work() / "Pack"));
}

TEST_F(HandlerRun, ReadOnlyFileKeepsTheFolderAndTheStatus) {
  qvtest::WriteStandIn(Work() / "Pack", "setup.exe", 3010);
  qvtest::WriteFileBytes(Work() / "Pack/locked.dat", "x");
  chmod((Work() / "Pack/locked.dat").c_str(), 0444);
  auto result = Run({"Pack"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_TRUE(fs::exists(Work() / "Pack/locked.dat"));
  EXPECT_FALSE(fs::exists(Work() / "Pack/setup.exe"));
  EXPECT_NE(Log().find("[ERROR] DeleteDirectoryRecursively : Couldn't delete folder " + Work().string() +
                       "\\Pack due to 145\r\n"),
            std::string::npos)
      << Log();
}

TEST_F(HandlerRun, UnusableWorkingDirectoryRunsNothing) {
  // The working directory is removed under the running program's feet: it cannot be determined.
  fs::path gone = dir_ / "gone";
  fs::create_directories(gone);
  qvtest::WriteScript(dir_ / "run.sh", "cd \"$1\" && rmdir \"$1\" && exec \"$2\"\n");
  auto result = qvtest::RunProcess((dir_ / "run.sh").string(), {gone.string(), qvtest::BuiltProgram("qvprereqhandler")},
                                   dir_.path());
  EXPECT_EQ(result.exitStatus, 0) << result.output;
}

TEST_F(HandlerRun, ReportsTheFull32BitResultThroughTheExitCodeChannel) {
  qvtest::WriteStandIn(Work() / "Pack", "setup.exe", 1603);
  std::string command = "\"" + qvtest::BuiltProgram("qvprereqhandler") + "\" Pack";
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, Work().string().c_str(), &startup,
                             &process));
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(process.hProcess, &code));
  EXPECT_EQ(code, 1603u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace
