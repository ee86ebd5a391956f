#include "runner/entry_point.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "config/agent_parameters.h"
#include "logging/agent_logger.h"
#include "logging/log_core.h"
#include "runner/process_runner.h"

namespace {

constexpr const char* kDefaultSetupFolder = "SQLServer2012SP3-KB3072779-x64-ENU.exe";
constexpr const char* kSetupCommandLine = "setup.exe /q /ACTION=Patch /IACCEPTSQLSERVERLICENSETERMS /ALLINSTANCES";
constexpr const char* kLogFileName = "qvprereqhandler.log";
constexpr DWORD kTimeLimitMinutes = 1000;
constexpr DWORD kDirectoryBufferLength = 4096;

}  // namespace

int PrereqHandlerMain(int argc, char** argv) {
  std::vector<char> workingDirectory(kDirectoryBufferLength, '\0');
  std::string setupFolderName = argc >= 2 ? argv[1] : kDefaultSetupFolder;
  int is64BitArch = argc >= 3 ? std::atoi(argv[2]) : 0;
  DWORD runResult = 0;

  // The run goes on whatever the parameters gave; nothing is logged before the log is open.
  InitializeAgentParameters();
  InitAgentLogger(kLogFileName);

  LogInfo("Setup Folder Name : %s\n", setupFolderName.c_str());
  LogInfo("is64BitArch : %d\n", is64BitArch);

  DWORD length = GetCurrentDirectoryA(kDirectoryBufferLength, workingDirectory.data());
  if (length == 0 || length > kDirectoryBufferLength) {
    LogError("Failed to get Working Directory!!");
  } else {
    LogInfo("Current Working Dir : %s\n", workingDirectory.data());
    std::string setupFolderPath = std::string(workingDirectory.data()) + "\\" + setupFolderName;
    std::string remark;
    runResult = ExecuteInstaller(setupFolderPath.c_str(), kSetupCommandLine, &remark, kTimeLimitMinutes, false);
    LogInfo("Installation completed with error code : %ld and remarks is \"%s\"\n", static_cast<LONG>(runResult),
            remark.c_str());
    DeleteDirectoryRecursively(setupFolderPath.c_str());
  }

  CloseAgentLogger();
  return static_cast<int>(runResult);
}
