#include "shell32/directories.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "kernel32/conversions.h"
#include "kernel32/errors.h"
#include "kernel32/paths.h"

namespace {

int Result(DWORD code) {
  SetLastError(code);
  return static_cast<int>(code);
}

bool IsFolder(const std::string& native) {
  struct stat info {};
  return stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int SHCreateDirectoryExW(HWND, LPCWSTR path, const SECURITY_ATTRIBUTES*) {
  if (!path) return Result(ERROR_BAD_PATHNAME);
  auto narrow = qvplatform::Utf16ToUtf8(std::u16string_view(path, qvplatform::WideLength(path)));
  if (!narrow) return Result(ERROR_INVALID_NAME);
  if (!qvplatform::IsAbsolutePath(narrow->c_str())) return Result(ERROR_BAD_PATHNAME);
  std::string native = qvplatform::ToNativePath(narrow->c_str());
  while (native.size() > 1 && native.back() == '/') native.pop_back();

  struct stat info {};
  if (stat(native.c_str(), &info) == 0) return Result(S_ISDIR(info.st_mode) ? ERROR_ALREADY_EXISTS : ERROR_FILE_EXISTS);

  // Create each level from the top; levels that exist already must be folders.
  for (size_t slash = native.find('/', 1);; slash = native.find('/', slash + 1)) {
    std::string level = native.substr(0, slash);
    if (mkdir(level.c_str(), 0777) != 0) {
      int err = errno;
      if (err == EEXIST && IsFolder(level)) {
        if (slash == std::string::npos) return Result(ERROR_ALREADY_EXISTS);
      } else if (err == EEXIST || err == ENOTDIR || err == ENOENT) {
        return Result(slash == std::string::npos && err == EEXIST ? ERROR_FILE_EXISTS : ERROR_PATH_NOT_FOUND);
      } else {
        return Result(qvplatform::ErrnoToWin32(err));
      }
    }
    if (slash == std::string::npos) break;
  }
  return Result(ERROR_SUCCESS);
}
