// Set-up and tear-down of the agent log and its size-check timer.
#include "logging/agent_logger.h"

#include <forward_list>

#include "config/agent_parameter_reads.h"
#include "logging/log_core.h"
#include "runner/error_text.h"

HANDLE gv_logTimerQueue = nullptr;
HANDLE gv_logTimer = nullptr;

namespace {

constexpr DWORD kMillisecondsPerMinute = 60000;
constexpr int32_t kOverwriteMode = 2;
constexpr DWORD kDefaultLogLevel = 2;  // INFO and ERROR

// The settings records of the process. A record lives as long as the process, since a timer of a
// queue that failed to be deleted may still hold it.
std::forward_list<AgentLogSettings>& SettingsRecords() {
  static std::forward_list<AgentLogSettings> records;
  return records;
}

// The lock list guards every log line and the truncation of the live file; it must exist before the
// rotation timer can fire on another thread.
void EnsureLockListMutex() {
  if (!gv_lockListMutex) InitMutex();
}

}  // namespace

LONG InitAgentLogger(const char* fileName) {
  if (!QVAgentInstallDir) {
    LONG code = ReadAgentText(kAgentKeyPath, "QVAgentInstallDir", QVAgentInstallDir);
    if (code != ERROR_SUCCESS) return code;
  }
  AgentLogSettings& settings = SettingsRecords().emplace_front();
  settings.directory = *QVAgentInstallDir + "logs";
  settings.fileName = fileName ? fileName : "";
  StartAgentLogger(&settings);
  return 0;
}

int StartAgentLogger(AgentLogSettings* settings) {
  EnsureLockListMutex();
  if (settings->rotateByTimer) {
    gv_logTimerQueue = CreateTimerQueue();
    if (gv_logTimerQueue) {
      LogInfo("ServiceMain : TimerQueue is created successfully \n");
    } else {
      LogError("ServiceMain : CreateTimerQueue is failed due to following error !! \n");
      LogErrorMessage(GetLastError());
    }
    LoggerTimerMethod(settings);
  } else {
    RotateLoggerForEverRunningProcess(settings->directory.c_str(), settings->fileName.c_str(), settings->backupCount,
                                      settings->maxLogSize);
  }
  return OpenAgentLogFile(settings->fileName.c_str(), settings->directory.c_str(), settings->openMode);
}

int OpenAgentLogFile(const char* fileName, const char* directory, int32_t openMode) {
  EnsureLockListMutex();
  if (!InitLogger()) return kAgentFailure;
  DWORD level = kDefaultLogLevel;
  ReadAgentNumber(kAgentKeyPath, "QVAgentLogLevel", level, kDefaultLogLevel);
  if (!SetLoggerParameters(fileName, directory, static_cast<uint8_t>(level))) return kAgentFailure;
  bool opened = openMode == kOverwriteMode ? OpenLogFileOverwrite() : OpenLogFileAppend();
  return opened ? 0 : kAgentFailure;
}

DWORD LoggerTimerMethod(AgentLogSettings* settings) {
  RotateLoggerForEverRunningProcess(settings->directory.c_str(), settings->fileName.c_str(), settings->backupCount,
                                    settings->maxLogSize);
  if (!CreateTimerQueueTimer(&gv_logTimer, gv_logTimerQueue, LoggerTimerRoutine, settings, settings->checkInterval, 0,
                             0)) {
    DWORD code = GetLastError();
    LogError("LoggerTimerMethod : CreateTimerQueueTimer failed due to following error \n");
    LogErrorMessage(code);
    return code;
  }
  LogDebug("LoggerTimerMethod : Registered the TimerRoutime callback in next %d minutes . \n",
           settings->checkInterval / kMillisecondsPerMinute);
  return 0;
}

void CALLBACK LoggerTimerRoutine(PVOID parameter, BOOLEAN /*timerOrWaitFired*/) {
  LogInfo("LoggerTimerRoutine : Inside LoggerTimerRoutine Method\n");
  LoggerTimerMethod(static_cast<AgentLogSettings*>(parameter));
  LogInfo("LoggerTimerRoutine : End of LoggerTimerRoutine Method\n");
}

int CloseAgentLogger() {
  if (gv_logTimerQueue) {
    // Waits for a size check that is running, so that none touches the log after it is closed.
    if (!DeleteTimerQueueEx(gv_logTimerQueue, INVALID_HANDLE_VALUE)) {
      LogError("ServiceMain : DeleteTimerQueue is failed due to following error !! \n");
      LogErrorMessage(GetLastError());
    }
    gv_logTimerQueue = nullptr;
    gv_logTimer = nullptr;
  }
  CloseLogFile();
  FreeLoggerParameters();
  if (gv_lockListMutex) {
    CloseHandle(gv_lockListMutex);
    gv_lockListMutex = nullptr;
  }
  return 0;
}
