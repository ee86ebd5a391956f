#include "kernel32/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "kernel32/errors.h"

namespace qvplatform {

namespace {

bool IsDriveSpec(const std::string& text) {
  return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
}

std::string WithForwardSlashes(const char* path) {
  std::string text(path);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  // Extended-length and device prefixes ("\\?\C:\..." and "\\.\C:\...") name the same path.
  if (text.rfind("//?/", 0) == 0 || text.rfind("//./", 0) == 0) text.erase(0, 4);
  return text;
}

}  // namespace

std::string DrivesRoot() {
  const char* configured = std::getenv(kDrivesRootVariable);
  std::string root = configured && *configured ? configured : kDefaultDrivesRoot;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

bool IsAbsolutePath(const char* path) {
  if (!path || !*path) return false;
  std::string text = WithForwardSlashes(path);
  return IsDriveSpec(text) || text[0] == '/';
}

std::string ToNativePath(const char* path) {
  if (!path || !*path) return {};
  std::string text = WithForwardSlashes(path);

  std::string prefix;
  bool rooted = true;
  std::string rest;
  if (IsDriveSpec(text)) {
    // "C:name" (relative to the drive's current folder on Windows) is taken from the drive's root.
    prefix = DrivesRoot() + "/" + static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    rest = text.substr(2);
  } else if (text[0] == '/') {
    rest = text;
  } else {
    rooted = false;
    rest = text;
  }

  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('/', start);
    if (end == std::string::npos) end = rest.size();
    std::string part = rest.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..")
        parts.pop_back();
      else if (!rooted)
        parts.push_back(part);
      // A rooted path cannot climb above its root: the ".." is dropped, as Windows does.
      continue;
    }
    parts.push_back(std::move(part));
  }

  std::string result = prefix;
  for (const auto& part : parts) {
    if (!result.empty() || rooted) result += '/';
    result += part;
  }
  if (result.empty()) return rooted ? "/" : ".";
  bool trailingSeparator = !rest.empty() && rest.back() == '/';
  if (trailingSeparator && !parts.empty()) result += '/';
  return result;
}

std::string ParentOf(const std::string& nativePath) {
  std::string path = nativePath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

DWORD PathErrorFromErrno(int err, const std::string& nativePath) {
  if (err == ENOENT) {
    struct stat parent {};
    bool folderExists = stat(ParentOf(nativePath).c_str(), &parent) == 0 && S_ISDIR(parent.st_mode);
    return folderExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
  }
  if (err == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  return ErrnoToWin32(err);
}

}  // namespace qvplatform

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
  if (!cwd) {
    qvplatform::SetLastErrorFromErrno(errno);
    return 0;
  }
  size_t length = std::strlen(cwd.get());
  if (!buffer || bufferLength < length + 1) return static_cast<DWORD>(length + 1);
  std::memcpy(buffer, cwd.get(), length + 1);
  return static_cast<DWORD>(length);
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  std::string native = qvplatform::ToNativePath(path);
  if (native.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (chdir(native.c_str()) == 0) return TRUE;
  int err = errno;
  struct stat info {};
  if (err == ENOTDIR && stat(native.c_str(), &info) == 0) {
    SetLastError(ERROR_DIRECTORY);
  } else {
    SetLastError(qvplatform::PathErrorFromErrno(err, native));
  }
  return FALSE;
}
