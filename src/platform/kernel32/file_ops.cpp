// Operations on files and folders by path: attributes, delete, copy, move, create and remove folders.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "kernel32/errors.h"
#include "kernel32/file_info.h"
#include "kernel32/file_open.h"
#include "kernel32/files.h"
#include "kernel32/paths.h"

namespace {

using qvplatform::Creation;
using qvplatform::OpenFile;
using qvplatform::OpenRequest;
using qvplatform::ToNativePath;

BOOL Fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

bool IsReadOnlyFile(const struct stat& info) { return S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0; }

// Status of the entry itself; the last error is set when it is missing.
bool StatEntry(const std::string& native, struct stat& info) {
  if (native.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (lstat(native.c_str(), &info) == 0) return true;
  SetLastError(qvplatform::PathErrorFromErrno(errno, native));
  return false;
}

// Status of what the path names, following a final symbolic link unless it dangles.
bool StatTarget(const std::string& native, struct stat& info) {
  if (native.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (stat(native.c_str(), &info) == 0) return true;
  return StatEntry(native, info);
}

DWORD CopyData(int from, int to) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    ssize_t n = read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return qvplatform::ErrnoToWin32(errno);
    if (n == 0) return ERROR_SUCCESS;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(to, buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return w < 0 ? qvplatform::ErrnoToWin32(errno) : ERROR_DISK_FULL;
      done += w;
    }
  }
}

DWORD CopyNative(const std::string& from, const std::string& to, bool failIfExists) {
  OpenRequest source;
  source.nativePath = from;
  source.read = true;
  // The source is read shared, so a file that is being written elsewhere (a live log) can be copied.
  source.share = {true, true, true};
  OpenFile in;
  DWORD error = qvplatform::OpenNativeFile(source, in);
  if (error != ERROR_SUCCESS) return error;

  OpenRequest target;
  target.nativePath = to;
  target.write = true;
  target.truncate = true;
  target.creation = failIfExists ? Creation::kCreateNew : Creation::kOpenOrCreate;
  target.share = {false, false, false};
  target.createMode = 0600;
  OpenFile out;
  error = qvplatform::OpenNativeFile(target, out);
  if (error != ERROR_SUCCESS) return error;

  error = CopyData(in.fd, out.fd);
  if (error != ERROR_SUCCESS) {
    if (!out.existed) unlink(to.c_str());
    return error;
  }
  // The copy takes the source's permission bits (and so its read-only attribute) and write time.
  fchmod(out.fd, in.info.st_mode & 07777);
  struct timespec times[2] = {in.info.st_atim, in.info.st_mtim};
  futimens(out.fd, times);
  return ERROR_SUCCESS;
}

DWORD MoveNative(const std::string& from, const std::string& to, DWORD flags) {
  struct stat source {};
  if (!StatEntry(from, source)) return GetLastError();
  if (DWORD shared = qvplatform::CheckDeleteSharing(from); shared != ERROR_SUCCESS) return shared;
  bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
  struct stat target {};
  if (lstat(to.c_str(), &target) == 0) {
    if (!replace) return ERROR_ALREADY_EXISTS;
    if (S_ISDIR(target.st_mode) || IsReadOnlyFile(target)) return ERROR_ACCESS_DENIED;
    if (DWORD shared = qvplatform::CheckDeleteSharing(to); shared != ERROR_SUCCESS) return shared;
  }
  int result = replace ? rename(from.c_str(), to.c_str())
                       : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  if (result != 0 && !replace && errno == EINVAL) {
    // A file system without exclusive renames: the check above stands in.
    result = rename(from.c_str(), to.c_str());
  }
  if (result == 0) return ERROR_SUCCESS;
  int err = errno;
  if (err == EEXIST) return ERROR_ALREADY_EXISTS;
  if (err == EXDEV) {
    if (!(flags & MOVEFILE_COPY_ALLOWED) || !S_ISREG(source.st_mode)) return ERROR_NOT_SAME_DEVICE;
    DWORD copied = CopyNative(from, to, !replace);
    if (copied != ERROR_SUCCESS) return copied;
    return unlink(from.c_str()) == 0 ? ERROR_SUCCESS : qvplatform::ErrnoToWin32(errno);
  }
  if (err == ENOENT || err == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  if (err == EISDIR || err == ENOTEMPTY) return ERROR_ACCESS_DENIED;
  return qvplatform::ErrnoToWin32(err);
}

}  // namespace

DWORD GetFileAttributesA(LPCSTR fileName) {
  struct stat info {};
  if (!StatTarget(ToNativePath(fileName), info)) return INVALID_FILE_ATTRIBUTES;
  return qvplatform::AttributesOf(info);
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
  auto narrow = qvplatform::NarrowPathArgument(fileName);
  return narrow ? GetFileAttributesA(narrow->c_str()) : INVALID_FILE_ATTRIBUTES;
}

BOOL GetFileAttributesExA(LPCSTR fileName, GET_FILEEX_INFO_LEVELS infoLevel, LPVOID fileInformation) {
  if (infoLevel != GetFileExInfoStandard || !fileInformation) return Fail(ERROR_INVALID_PARAMETER);
  struct stat info {};
  if (!StatTarget(ToNativePath(fileName), info)) return FALSE;
  auto* data = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(fileInformation);
  data->dwFileAttributes = qvplatform::AttributesOf(info);
  data->ftCreationTime = qvplatform::ToFileTime(info.st_ctim);
  data->ftLastAccessTime = qvplatform::ToFileTime(info.st_atim);
  data->ftLastWriteTime = qvplatform::ToFileTime(info.st_mtim);
  uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  return TRUE;
}

BOOL SetFileAttributesA(LPCSTR fileName, DWORD fileAttributes) {
  std::string native = ToNativePath(fileName);
  struct stat info {};
  if (!StatTarget(native, info)) return FALSE;
  if (!S_ISREG(info.st_mode)) return TRUE;
  mode_t mode = info.st_mode & 07777;
  if (fileAttributes & FILE_ATTRIBUTE_READONLY)
    mode &= ~static_cast<mode_t>(0222);
  else if ((mode & 0222) == 0)
    mode |= S_IWUSR;
  if (mode != (info.st_mode & 07777) && chmod(native.c_str(), mode) != 0)
    return Fail(qvplatform::ErrnoToWin32(errno));
  return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName) {
  std::string native = ToNativePath(fileName);
  struct stat info {};
  if (!StatEntry(native, info)) return FALSE;
  if (S_ISDIR(info.st_mode) || IsReadOnlyFile(info)) return Fail(ERROR_ACCESS_DENIED);
  if (DWORD shared = qvplatform::CheckDeleteSharing(native); shared != ERROR_SUCCESS) return Fail(shared);
  if (unlink(native.c_str()) != 0) return Fail(qvplatform::PathErrorFromErrno(errno, native));
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR fileName) {
  auto narrow = qvplatform::NarrowPathArgument(fileName);
  return narrow ? DeleteFileA(narrow->c_str()) : FALSE;
}

BOOL CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists) {
  std::string from = ToNativePath(existingFileName);
  std::string to = ToNativePath(newFileName);
  if (from.empty() || to.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  DWORD error = CopyNative(from, to, failIfExists != FALSE);
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
  auto from = qvplatform::NarrowPathArgument(existingFileName);
  if (!from) return FALSE;
  auto to = qvplatform::NarrowPathArgument(newFileName);
  return to ? CopyFileA(from->c_str(), to->c_str(), failIfExists) : FALSE;
}

BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
  std::string from = ToNativePath(existingFileName);
  std::string to = ToNativePath(newFileName);
  if (from.empty() || to.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  DWORD error = MoveNative(from, to, flags);
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags) {
  auto from = qvplatform::NarrowPathArgument(existingFileName);
  if (!from) return FALSE;
  auto to = qvplatform::NarrowPathArgument(newFileName);
  return to ? MoveFileExA(from->c_str(), to->c_str(), flags) : FALSE;
}

BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES) {
  std::string native = ToNativePath(pathName);
  if (native.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  if (mkdir(native.c_str(), 0777) == 0) return TRUE;
  int err = errno;
  if (err == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
  if (err == ENOENT || err == ENOTDIR) return Fail(ERROR_PATH_NOT_FOUND);
  return Fail(qvplatform::ErrnoToWin32(err));
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES securityAttributes) {
  auto narrow = qvplatform::NarrowPathArgument(pathName);
  return narrow ? CreateDirectoryA(narrow->c_str(), securityAttributes) : FALSE;
}

BOOL RemoveDirectoryA(LPCSTR pathName) {
  std::string native = ToNativePath(pathName);
  struct stat info {};
  if (!StatEntry(native, info)) return FALSE;
  if (S_ISLNK(info.st_mode)) {
    // A symbolic link to a folder is removed itself, never the folder it points to.
    struct stat target {};
    if (stat(native.c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) return Fail(ERROR_DIRECTORY);
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    return unlink(native.c_str()) == 0 ? TRUE : Fail(qvplatform::ErrnoToWin32(errno));
  }
  if (!S_ISDIR(info.st_mode)) return Fail(ERROR_DIRECTORY);
  if (rmdir(native.c_str()) == 0) return TRUE;
  int err = errno;
  if (err == ENOTEMPTY || err == EEXIST) return Fail(ERROR_DIR_NOT_EMPTY);
  return Fail(qvplatform::ErrnoToWin32(err));
}

BOOL RemoveDirectoryW(LPCWSTR pathName) {
  auto narrow = qvplatform::NarrowPathArgument(pathName);
  return narrow ? RemoveDirectoryA(narrow->c_str()) : FALSE;
}
