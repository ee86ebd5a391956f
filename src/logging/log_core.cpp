#include "logging/log_core.h"

#include <cerrno>
#include <cstdarg>

std::optional<std::string> gv_logFileName;
std::optional<std::string> gv_logDirectory;
std::optional<std::string> gv_logFilePath;
std::atomic<uint8_t> gv_logLevel{3};
std::atomic<FILE*> gv_logFilePtr{nullptr};
std::atomic<char*> gv_logLockKey{nullptr};

namespace {

constexpr const char* kDefaultLogFileName = "tindrel.log";
constexpr const char* kDefaultLogDirectory = "../logs";

void ReplaceLockKey(char* key) { delete gv_logLockKey.exchange(key); }

void WriteLine(uint8_t threshold, const char* marker, const char* format, va_list args) {
  FILE* file = gv_logFilePtr.load();
  if (!file) return;
  uint8_t level = gv_logLevel.load();
  if (level == 0 || level < threshold) return;
  char* key = gv_logLockKey.load();
  if (!key) return;
  LockObject(key);
  std::string stamp = GetTimeStamp();
  std::fprintf(file, "%s ", "[");
  std::fprintf(file, "%s ", stamp.c_str());
  std::fprintf(file, "%s ", "]");
  std::fprintf(file, "%s ", "[");
  std::fprintf(file, "%d ", static_cast<int>(GetCurrentThreadId()));
  std::fprintf(file, "%s ", "]");
  std::fprintf(file, "%s ", marker);
  qvplatform::FormatToStream(file, format, args);
  std::fflush(file);
  UnlockObject(key);
}

bool OpenLogFile(const char* mode) {
  if (gv_logFilePtr.load()) {
    LogTrace("gv_logFilePtr already Set\n");
    return true;
  }
  if (!gv_logFileName) return false;
  std::string path;
  if (gv_logDirectory) {
    MakeDirectoryPath(gv_logDirectory->c_str());
    path = *gv_logDirectory + "/" + *gv_logFileName;
  } else {
    MakeDirectory(kDefaultLogDirectory);
    path = std::string(kDefaultLogDirectory) + "/" + *gv_logFileName;
  }
  gv_logFilePath = path;
  FILE* file = crt_fopen(path.c_str(), mode);
  if (!file) return false;
  std::string stamp = GetTimeStamp();
  std::fprintf(file, "Log open time: %s\n", stamp.c_str());
  std::fflush(file);
  gv_logFilePtr.store(file);
  return true;
}

}  // namespace

bool InitLogger() {
  if (!gv_logFilePtr.load() && !gv_logFileName) {
    gv_logFileName = kDefaultLogFileName;
    ReplaceLockKey(new char(0));
    gv_logDirectory.reset();
    gv_logFilePath.reset();
    gv_logFilePtr.store(nullptr);
    gv_logLevel.store(3);
  } else if (gv_logFilePtr.load()) {
    gv_logLevel.store(3);
  }
  return true;
}

bool SetLoggerParameters(const char* fileName, const char* directory, int level) {
  if (!fileName || !directory) return false;
  gv_logFileName = fileName;
  gv_logDirectory = directory;
  gv_logLevel.store(static_cast<uint8_t>(level));
  return true;
}

bool OpenLogFileAppend() { return OpenLogFile("a+"); }

bool OpenLogFileOverwrite() { return OpenLogFile("w"); }

void CloseLogFile() {
  std::string stamp = GetTimeStamp();
  FILE* file = gv_logFilePtr.exchange(nullptr);
  if (file) {
    std::fprintf(file, "Log close time: %s\n", stamp.c_str());
    std::fflush(file);
    std::fclose(file);
  }
}

void FreeLoggerParameters() {
  gv_logFileName.reset();
  gv_logDirectory.reset();
  gv_logFilePath.reset();
  ReplaceLockKey(nullptr);
}

#define QV_DEFINE_LOG_WRITER(name, threshold, marker) \
  void name(const char* format, ...) {                \
    va_list args;                                     \
    va_start(args, format);                           \
    WriteLine(threshold, marker, format, args);       \
    va_end(args);                                     \
  }

QV_DEFINE_LOG_WRITER(LogInfo, 1, "[INFO]")
QV_DEFINE_LOG_WRITER(LogError, 2, "[ERROR]")
QV_DEFINE_LOG_WRITER(LogDebug, 3, "[DEBUG]")
QV_DEFINE_LOG_WRITER(LogTrace, 4, "[TRACE]")

#undef QV_DEFINE_LOG_WRITER

std::string GetTimeStamp() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return qvplatform::Format("%d-%02d-%02d %02d:%02d:%02d:%03d", now.wYear, now.wMonth, now.wDay, now.wHour,
                            now.wMinute, now.wSecond, now.wMilliseconds);
}

int MakeDirectory(const char* path) {
  if (!path) return EINVAL;
  return _mkdir(path) == 0 ? 0 : errno;
}

int MakeDirectoryPath(const char* path) {
  if (!path) return EINVAL;
  int r = MakeDirectory(path);
  if (r == EEXIST) return 1;
  if (r != ENOENT) return r;
  std::string parent(path);
  while (!parent.empty() && parent.back() == '/') parent.pop_back();
  size_t slash = parent.rfind('/');
  if (slash == std::string::npos) return r;  // nothing above it to create
  parent.resize(slash);
  int p = MakeDirectoryPath(parent.c_str());
  if (p != 0) return p;
  return MakeDirectory(path);
}
