#include "util/file_utils.h"

#include <cstring>

#include "logging/log_core.h"
#include "runner/error_text.h"
#include "util/encoding.h"

namespace {

std::string AfterLast(const char* text, char separator) {
  if (!text) return std::string();
  const char* last = std::strrchr(text, separator);
  return last ? std::string(last + 1) : std::string(text);
}

void LogDriveLetterGiven() { LogInfo("CreateFolder : The Drive letter Given.hence it cannot be created \n"); }

}  // namespace

std::string GetLastFileName(const char* path) {
  LogDebug("GetLastFileName Function Called with %s...!\n", path);
  return AfterLast(path, '\\');
}

std::optional<std::string> GetLastUrlFileName(const char* urlOrPath) {
  LogDebug("GetLastUrlFileName Function Called with %s...!\n", urlOrPath);
  if (!urlOrPath) return std::nullopt;
  return AfterLast(urlOrPath, '/');
}

DWORD CreateFolder(const char16_t* filePath) {
  LogDebug("CreateFolder : CreateFolder function called with %S\n", filePath);
  DWORD code = 0;
  std::string path;
  if (!filePath || !ChangeWideToUtf8Str(filePath, path)) {
    LogError("CreateFolder : The directory to create is NULL . \n");
    code = ERROR_INVALID_DATA;
  } else if (path.size() <= 3) {
    LogDriveLetterGiven();
    code = ERROR_ALREADY_EXISTS;
  } else {
    size_t slash = path.rfind('\\');
    std::string folder = slash == std::string::npos ? path : path.substr(0, slash + 1);
    if (folder.size() <= 3) {
      LogDriveLetterGiven();
      code = ERROR_ALREADY_EXISTS;
    } else {
      LogInfo("CreateFolder : The Directory to create is %s \n", folder.c_str());
      std::u16string wideFolder;
      ChangeToWideStr(folder.c_str(), wideFolder);
      int result = SHCreateDirectoryExW(nullptr, wideFolder.c_str(), nullptr);
      code = result == static_cast<int>(ERROR_ALREADY_EXISTS) ? 0 : static_cast<DWORD>(result);
    }
  }
  LogDebug("CreateFolder function returns Error code %d \n", code);
  if (code != 0) LogErrorMessage(code);
  return code;
}

int IsFileExist(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || GetLastError() == ERROR_FILE_NOT_FOUND) {
    LogDebug("IsFileExist : The File Name %s is not found %d\n", path, GetLastError());
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return 0;
  }
  DWORD size = GetFileSize(file, nullptr);
  LogDebug("IsFileExist : The File %s size is given by : %d\n", path, size);
  CloseHandle(file);
  if (size == 0) {
    LogDebug("IsFileExist : The required file (%s) size is 0 bytes. Hence returning file not found.\n", path);
    return 0;
  }
  return 1;
}

int CheckFileExists(const char16_t* pathOrPattern) {
  LogDebug("@@@@@@@@ Inside CheckFileExists Method @@@@@@@@ \n");
  if (!pathOrPattern) return ERROR_INVALID_DATA;
  LogDebug("FileName to search -> %S \n", pathOrPattern);
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pathOrPattern, &found);
  if (search == INVALID_HANDLE_VALUE) {
    LogError("CheckFileExists -> Invalid File Handle. %d \n", GetLastError());
    LogDebug("@@@@@@@@ End Of CheckFileExists Method @@@@@@@@ \n");
    return ERROR_FILE_NOT_FOUND;
  }
  FindClose(search);
  LogDebug("@@@@@@@@ End Of CheckFileExists Method @@@@@@@@ \n");
  return 0;
}

int GetFileSize64(const char* path, uint64_t* size) {
  if (!path || !size) return 0;
  HANDLE file = CreateFileA(path, READ_CONTROL, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  LARGE_INTEGER value{};
  *size = 0;
  BOOL ok = GetFileSizeEx(file, &value);
  if (ok) *size = static_cast<uint64_t>(value.QuadPart);
  CloseHandle(file);
  return ok ? 1 : 0;
}

DWORD AppendLineToFile(const char* path, const char* text) {
  DWORD result = 0;
  if (!IsFileExist(path)) {
    std::u16string widePath;
    ChangeToWideStr(path, widePath);
    CreateFolder(widePath.c_str());
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    result = GetLastError();
    LogErrorMessage(result);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  if (FILE* stream = crt_fopen(path, "a+")) {
    std::fputs(text ? text : "", stream);
    std::fputs("\n", stream);
    std::fclose(stream);
  }
  return result;
}
