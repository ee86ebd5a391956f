#include "runner/process_runner.h"

#include <cstring>
#include <vector>

#include "logging/log_core.h"
#include "runner/error_text.h"

namespace {

constexpr DWORD kDirectoryBufferLength = 4096;
constexpr size_t kPathBufferLength = 260;  // terminator included

void SetRemark(std::string* remark, DWORD code) { *remark = GetErrorMessageText(code); }

// Formats "<folder>\<name>" into the classic path limit; false when it would not fit.
bool JoinPath(const char* folder, const char* name, std::string& out) {
  out = qvplatform::Format("%s\\%s", folder, name);
  return out.size() < kPathBufferLength;
}

}  // namespace

DWORD execute(const char* workingDirectory, const char* commandLine, std::string* remark, DWORD timeLimitMinutes,
              bool showWindow) {
  LogDebug("@@@@@@@@ Inside execute Method @@@@@@@@ \n");
  std::string ownRemark;
  if (!remark) remark = &ownRemark;
  DWORD result = 0;
  std::vector<char> savedDirectory;

  if (!commandLine) {
    result = ERROR_INVALID_PARAMETER;
    LogError("execute : No command line given \n");
    SetRemark(remark, result);
    return result;
  }

  if (workingDirectory) {
    savedDirectory.assign(kDirectoryBufferLength, '\0');
    DWORD length = GetCurrentDirectoryA(kDirectoryBufferLength, savedDirectory.data());
    if (length == 0) {
      result = GetLastError();
      LogError("execute: Failed to get the CurrentWorkingDirectory \n");
      LogErrorMessage(result);
      SetRemark(remark, result);
      return result;
    }
    if (length > kDirectoryBufferLength) {
      LogError("execute : CurrentWorkingDirectory Buffer overflow. Need to allocate the length for %d chars \n", length);
      result = ERROR_BUFFER_OVERFLOW;
      SetRemark(remark, result);
      return result;
    }
    LogInfo("execute : Current Working Directory : %s \n", savedDirectory.data());
    LogInfo("execute : Executing Application Source : %s \n", commandLine);
    LogInfo("execute : Set Working Directory : %s \n", workingDirectory);
    if (!SetCurrentDirectoryA(workingDirectory)) {
      result = GetLastError();
      LogError("execute : Failed to set the WorkingDirectory %s \n ", workingDirectory);
      LogErrorMessage(result);
      SetRemark(remark, result);
      return result;
    }
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (showWindow) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
  }
  PROCESS_INFORMATION process{};
  std::vector<char> command(commandLine, commandLine + std::char_traits<char>::length(commandLine) + 1);

  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE,
                      nullptr, workingDirectory, &startup, &process)) {
    result = GetLastError();
    LogInfo("execute : Failed to Create the Process for the application \n");
    SetRemark(remark, result);
  } else if (timeLimitMinutes == 0) {
    result = 0;
    SetRemark(remark, 0);
  } else {
    DWORD wait = WaitForSingleObject(process.hProcess, timeLimitMinutes * 60000u);  // 32-bit product
    if (wait == WAIT_FAILED) {
      result = GetLastError();
      LogError("execute : WaitForSingleObject Failed with error code %d \n", result);
      SetRemark(remark, result);
    } else if (wait != WAIT_OBJECT_0) {
      result = WAIT_TIMEOUT;
      LogInfo("execute : Terminating the Process for application %s as time is exceeded %d Minutes \n", commandLine,
              timeLimitMinutes);
      SetRemark(remark, WAIT_TIMEOUT);
      if (TerminateProcess(process.hProcess, 0))
        LogInfo("execute : The process has been successfully terminated ..! \n");
      else
        LogError("execute : The process termination is failed with error code : %d \n", GetLastError());
    } else {
      DWORD exitCode = 0;
      if (GetExitCodeProcess(process.hProcess, &exitCode)) {
        result = exitCode;
        SetRemark(remark, exitCode);
        LogInfo("execute : Exit code for the application : %d \n", exitCode);
      } else {
        result = GetLastError();
        LogInfo("execute : Unable to find the exit code for the application and the error code is : %d \n", result);
        SetRemark(remark, result);
      }
    }
  }
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);

  if (workingDirectory) SetCurrentDirectoryA(savedDirectory.data());

  LogInfo("execute : Remarks from the CreateProcess is %s for the executable %s \n", remark->c_str(), commandLine);
  LogDebug("@@@@@@@@ End Of execute Method @@@@@@@@ \n");
  return result;
}

DWORD ExecuteInstaller(const char* workingDirectory, const char* commandLine, std::string* remark,
                       DWORD timeLimitMinutes, bool showWindow) {
  DWORD result = execute(workingDirectory, commandLine, remark, timeLimitMinutes, showWindow);
  switch (result) {
    case ERROR_SUCCESS:
    case 1508:
    case ERROR_SUCCESS_REBOOT_INITIATED:
    case ERROR_SUCCESS_REBOOT_REQUIRED: return 0;
    default: return result;
  }
}

int DeleteDirectoryRecursively(const char* folder) {
  if (!folder) return 0;
  std::string pattern;
  if (!JoinPath(folder, "*", pattern)) {
    LogError("DeleteDirectoryRecursively : Path too long to remove : %s\n", folder);
    return 0;
  }
  WIN32_FIND_DATAA entry{};
  HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int result = 1;
  do {
    bool isDirectory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isDirectory && (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0)) continue;
    std::string path;
    if (!JoinPath(folder, entry.cFileName, path)) {
      // Never act on a truncated path: the entry stays, and so does the folder.
      LogError("DeleteDirectoryRecursively : Path too long to remove : %s\\%s\n", folder, entry.cFileName);
      result = 0;
      continue;
    }
    if (isDirectory) {
      if (DeleteDirectoryRecursively(path.c_str()) == 0) result = 0;
    } else if (!DeleteFileA(path.c_str())) {
      result = 0;
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  if (!RemoveDirectoryA(folder)) {
    LogError("DeleteDirectoryRecursively : Couldn't delete folder %s due to %d\n", folder, GetLastError());
    return 0;
  }
  return result;
}
