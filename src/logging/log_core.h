// The process-wide log: four printf-style writers at fixed level thresholds, one log file, and the
// lock list that serialises work on any object identified by its address.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "win32.h"

// Logger settings (one set per process).
extern std::optional<std::string> gv_logFileName;
extern std::optional<std::string> gv_logDirectory;
extern std::optional<std::string> gv_logFilePath;
extern std::atomic<uint8_t> gv_logLevel;
extern std::atomic<FILE*> gv_logFilePtr;
extern std::atomic<char*> gv_logLockKey;  // address of a one-byte allocation owned by the logger

// Lock list.
extern HANDLE gv_lockListMutex;
extern int32_t gv_lockWaitCounter;

enum class LockListOperation { kAcquire, kRelease };
enum class LockListResult { kAcquired, kBusy, kReleased, kNotHeld };

bool InitLogger();
bool SetLoggerParameters(const char* fileName, const char* directory, int level);
bool OpenLogFileAppend();
bool OpenLogFileOverwrite();
void CloseLogFile();
void FreeLoggerParameters();

void LogInfo(const char* format, ...);
void LogError(const char* format, ...);
void LogDebug(const char* format, ...);
void LogTrace(const char* format, ...);

// The local time as "%d-%02d-%02d %02d:%02d:%02d:%03d".
std::string GetTimeStamp();

// 0 when created, otherwise the C runtime's error number (17 exists, 2 not found, ...).
int MakeDirectory(const char* path);
// 0 when created, 1 when it already existed, otherwise an error number. Missing parents separated by
// "/" are created first.
int MakeDirectoryPath(const char* path);

void InitMutex();
void LockObject(const void* address);
void UnlockObject(const void* address);
LockListResult UpdateLockList(const void* address, LockListOperation operation);
int32_t GetNextWaitInterval();
