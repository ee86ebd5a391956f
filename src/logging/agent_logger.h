// The agent's log: the log core set up in the logs folder of the agent's installation, at the level
// of QVAgentLogLevel, with a size check that rotates the live file into numbered backups, repeated by
// a one-shot timer that re-arms itself; plus the agent's error log and two small file writers.
#pragma once

#include <cstdint>
#include <string>

#include "win32.h"

// Settings of the agent log, one record per process; the rotation timer holds it.
struct AgentLogSettings {
  std::string fileName = "computer.log";
  std::string directory;               // folder of the live log and its backups
  int32_t backupCount = 5;             // the live file and up to backupCount - 1 backups
  int32_t maxLogSize = 2000000;        // bytes at which the live file is rotated
  uint32_t checkInterval = 900000;     // milliseconds from the end of one size check to the next
  int32_t openMode = 1;                // 2: overwrite, anything else: append
  bool rotateByTimer = true;           // false: one size check at start only
};

// The timer queue of the size checks (none when it could not be created) and the latest timer.
extern HANDLE gv_logTimerQueue;
extern HANDLE gv_logTimer;

// Opens the log `fileName` in QVAgentInstallDir followed by "logs" (reading QVAgentInstallDir first
// when it has not been loaded). 0, or the registry read's code when there is no installation folder.
LONG InitAgentLogger(const char* fileName);
// Starts the size checks of `settings` (which must outlive the log) and opens the log; returns
// OpenAgentLogFile's result.
int StartAgentLogger(AgentLogSettings* settings);
// 0 when the log is open, 13 otherwise.
int OpenAgentLogFile(const char* fileName, const char* directory, int32_t openMode);
// Checks the size now and arms the next check; 0 or the timer creation's code.
DWORD LoggerTimerMethod(AgentLogSettings* settings);
// The timer queue's callback; `parameter` is the settings record.
void CALLBACK LoggerTimerRoutine(PVOID parameter, BOOLEAN timerOrWaitFired);
// Stops the size checks (waiting for one that is running) and closes the log. Returns 0.
int CloseAgentLogger();

// Rotates `fileName` in `directory` (or in the agent's logs folder when null) when it has reached
// `maxLogSize` bytes; 0 or RotateSpecificLogs's result.
int RotateLoggerForEverRunningProcess(const char* directory, const char* fileName, int32_t backupCount,
                                      int32_t maxLogSize);
// 1 when the file is at least `maxLogSize` bytes long, else 0 (also when it cannot be opened).
int CheckLogSizeReached(const char* path, int64_t maxLogSize);
// Shifts the numbered backups of each ";"-separated name in `directory` (which ends in a backslash)
// up by one, dropping the oldest, copies the live file to backup 1 and truncates it in place.
// Returns 0.
int RotateSpecificLogs(const char* directory, const char* fileNames, int32_t backupCount, int32_t maxLogSize,
                       const char* extension);
// The number of entries of `directory` whose names begin with `stem`, or -1.
int FindNoOfRepeatedFileNames(const char* directory, const char* stem);
// directory, a backslash, the stem of `fileName` (the part before ".log"), the number, the extension.
std::string GetBackupLogFileName(const char* directory, const char* fileName, int number, const char* extension);
// The name up to the first ".log"; empty when it has none.
std::string GetLogFileStem(const char* fileName);

// Appends the local date and time and `text` to "logs\qverror.log" in the installation folder.
// Returns 0, 13 without an installation folder or text, or the file creation's code.
DWORD WriteBufferToErrorLog(const char* text);
// Appends the formatted text to the file as it is; nothing when the file cannot be opened.
void AppendFormattedTextToFile(const char* path, const char* format, ...);
// Writes `text` into a file that is absent or empty; leaves any other file alone.
void WriteHeaderIfFileAbsent(const char* path, const char* text);
