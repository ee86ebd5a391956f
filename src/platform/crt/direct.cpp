#include "crt/direct.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "kernel32/paths.h"

int _mkdir(const char* path) {
  std::string native = qvplatform::ToNativePath(path);
  if (native.empty()) {
    errno = ENOENT;
    return -1;
  }
  if (mkdir(native.c_str(), 0777) == 0) return 0;
  if (errno == ENOTDIR) errno = ENOENT;
  return -1;
}

int _access(const char* path, int mode) {
  if (mode & ~6) {
    errno = EINVAL;
    return -1;
  }
  std::string native = qvplatform::ToNativePath(path);
  struct stat info {};
  if (native.empty() || stat(native.c_str(), &info) != 0) {
    errno = !native.empty() && errno == EACCES ? EACCES : ENOENT;
    return -1;
  }
  bool readOnly = !S_ISDIR(info.st_mode) && (info.st_mode & 0222) == 0;
  int wanted = ((mode & 4) ? R_OK : 0) | ((mode & 2) ? W_OK : 0);
  if (((mode & 2) && readOnly) || (wanted && access(native.c_str(), wanted) != 0)) {
    errno = EACCES;
    return -1;
  }
  return 0;
}
