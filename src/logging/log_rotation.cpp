// Size check and rotation of a live log file into numbered backups. The live file is never moved or
// deleted: it is copied to backup 1 and truncated in place, so the log core keeps writing to it.
#include <cstdio>
#include <sstream>
#include <string>

#include "config/agent_parameters.h"
#include "logging/agent_logger.h"
#include "logging/log_core.h"
#include "runner/error_text.h"

namespace {

constexpr const char* kLogExtension = ".log";

void DeleteBackup(const std::string& file) {
  if (DeleteFileA(file.c_str())) {
    LogInfo("RotateSpecificLogs : The file %s was successfully deleted..:\n", file.c_str());
  } else {
    LogInfo("RotateSpecificLogs : Unable to delete the file %s and the error code is :%d\n", file.c_str(),
            GetLastError());
  }
}

// Empties the live file. The caller holds the log's lock, so nothing may be logged here.
void TruncateLiveFile(const std::string& liveFile) {
  HANDLE file = CreateFileA(liveFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("RotateSpecificLogs : Unable to truncate the file %s and the error code is %u \n", liveFile.c_str(),
                GetLastError());
    return;
  }
  CloseHandle(file);
}

// Copies the live file to backup 1 and truncates it, both under the log's lock: no line is written
// between the copy and the truncation (it would be lost) or during the copy (it would be cut). A
// failed copy leaves the live file alone. The outcome is logged once the lock is released.
void BackUpLiveFile(const std::string& liveFile, const std::string& target) {
  char* key = gv_logLockKey.load();
  LockObject(key);
  const bool copied = CopyFileA(liveFile.c_str(), target.c_str(), FALSE);
  const DWORD copyError = copied ? ERROR_SUCCESS : GetLastError();
  if (copied) TruncateLiveFile(liveFile);
  UnlockObject(key);
  if (copied) {
    LogInfo("RotateSpecificLogs : Log file %s copied to  %s , it will be truncated now . \n", liveFile.c_str(),
            target.c_str());
  } else {
    LogInfo("RotateSpecificLogs : CopyFile failed to copy the log file %s to  %s and the error code is %d \n",
            liveFile.c_str(), target.c_str(), copyError);
  }
}

void ShiftBackup(const std::string& source, const std::string& target) {
  if (CopyFileA(source.c_str(), target.c_str(), FALSE)) {
    LogInfo("RotateSpecificLogs : File copied from %s to  %s . \n", source.c_str(), target.c_str());
    DeleteBackup(source);
  } else {
    LogInfo("RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is %d \n", source.c_str(),
            target.c_str(), GetLastError());
  }
}

void RotateOneLog(const char* directory, const std::string& name, int32_t backupCount, const char* extension) {
  LogInfo("RotateSpecificLogs : Log File Name : %s\n", name.c_str());
  const std::string liveFile = std::string(directory) + "\\" + name;
  const std::string stem = GetLogFileStem(name.c_str());
  int n = FindNoOfRepeatedFileNames(directory, stem.c_str());
  LogInfo("RotateSpecificLogs : The return Value from FindNumberOfRepeatedFileNames method is : %d \n", n);
  for (int k = n; k >= 1; --k) {
    std::string source = GetBackupLogFileName(directory, name.c_str(), k - 1, extension);
    LogInfo("RotateSpecificLogs : The tempFileName1 : %s . \n", source.c_str());
    if (k >= backupCount) {
      DeleteBackup(source);
      k = backupCount - 1;
      source = GetBackupLogFileName(directory, name.c_str(), k - 1, extension);
      if (k < 1) break;  // a backup count of 1 keeps no backups
    }
    const std::string target = GetBackupLogFileName(directory, name.c_str(), k, extension);
    LogInfo("RotateSpecificLogs : The tempFileName2 : %s . \n", target.c_str());
    if (k == 1) {
      BackUpLiveFile(liveFile, target);
    } else {
      ShiftBackup(source, target);
    }
  }
}

}  // namespace

int RotateLoggerForEverRunningProcess(const char* directory, const char* fileName, int32_t backupCount,
                                      int32_t maxLogSize) {
  const std::string base =
      directory ? std::string(directory) + "\\" : QVAgentInstallDir.value_or(std::string()) + "logs\\";
  const std::string path = base + fileName;
  LogInfo("RotateLoggerForEverRunningProcess : cSfileName : %s \n", path.c_str());
  if (CheckLogSizeReached(path.c_str(), maxLogSize) == 1) {
    return RotateSpecificLogs(base.c_str(), fileName, backupCount, maxLogSize, kLogExtension);
  }
  return 0;
}

int CheckLogSizeReached(const char* path, int64_t maxLogSize) {
  HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    LogError("CheckLogSizeReached : Unable to get the file handle \n");
    LogErrorMessageTrimmed(GetLastError());
  }
  LARGE_INTEGER size{};
  size.QuadPart = 0;
  if (!GetFileSizeEx(file, &size)) {
    LogError("CheckLogSizeReached : Error occurred in getting the size %d \n", GetLastError());
    size.QuadPart = 0;
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  LogInfo("CheckLogSizeReached : The log file size of %s is given by %ld \n", path, static_cast<LONG>(size.QuadPart));
  if (size.QuadPart < maxLogSize) {
    LogDebug("CheckLogSizeReached : The size is less the required size \n");
    return 0;
  }
  LogInfo("CheckLogSizeReached : The size is greater than the given size .........\n");
  return 1;
}

int RotateSpecificLogs(const char* directory, const char* fileNames, int32_t backupCount, int32_t /*maxLogSize*/,
                       const char* extension) {
  LogInfo("\n @@@@@@@@@@@@@@@Inside RotateSpecificLogs Method @@@@@@@@@@@@@\n");
  std::istringstream names(fileNames ? fileNames : "");
  std::string name;
  while (std::getline(names, name, ';')) {
    if (!name.empty()) RotateOneLog(directory, name, backupCount, extension);
  }
  LogInfo("\n @@@@@@@@@@@@@@@ End of RotateSpecificLogs Method with error code %d @@@@@@@@@@@@@\n", 0);
  return 0;
}

int FindNoOfRepeatedFileNames(const char* directory, const char* stem) {
  LogDebug("@@@@@@@@@@@@Inside FindNoOfRepeatedFileNames Method @@@@@@@@@\n");
  const std::string pattern = std::string(directory) + "\\" + stem + "*.*";
  LogInfo("FindNoOfRepeatedFileNames : Successfully allocated szFormattedPath and the value is %s  .\n",
          pattern.c_str());
  WIN32_FIND_DATAA entry{};
  HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
  LogInfo("FindNoOfRepeatedFileNames : Successfully finded out first file  %d  .\n",
          static_cast<int>(reinterpret_cast<intptr_t>(search)));
  int count = 0;
  if (search == INVALID_HANDLE_VALUE) {
    LogErrorMessage(GetLastError());
    LogError("FindNumberOfRepeatedFileNames : Unable to find the files/folder.\n");
    count = -1;
  } else {
    do {
      ++count;
      const std::string entryPath = std::string(directory) + "\\" + entry.cFileName;
      LogInfo("FindNoOfRepeatedFileNames : after memset of szSrcPath is  %s  .\n", entryPath.c_str());
    } while (FindNextFileA(search, &entry));
    DWORD code = GetLastError();
    if (code != ERROR_NO_MORE_FILES) {
      LogErrorMessage(code);
      LogError("FindNumberOfRepeatedFileNames : Couldn't find next file :%d\n", code);
      count = -1;
    }
    FindClose(search);
  }
  LogInfo("FindNoOfRepeatedFileNames : Going to Free the allocated memory in this method.\n");
  LogDebug("@@@@@@@@@@@@End of FindNoOfRepeatedFileNames Method with return value of No of file count : %d\t  "
           "@@@@@@@@@\n",
           count);
  return count;
}

std::string GetLogFileStem(const char* fileName) {
  std::string name(fileName ? fileName : "");
  size_t extension = name.find(kLogExtension);
  return extension == std::string::npos ? std::string() : name.substr(0, extension);
}

std::string GetBackupLogFileName(const char* directory, const char* fileName, int number, const char* extension) {
  return std::string(directory) + "\\" + GetLogFileStem(fileName) + std::to_string(number) + extension;
}
