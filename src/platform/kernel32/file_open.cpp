#include "kernel32/file_open.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "kernel32/errors.h"
#include "kernel32/paths.h"

namespace qvplatform {

OpenFile::~OpenFile() {
  if (fd >= 0) close(fd);
}

OpenFile::OpenFile(OpenFile&& other) noexcept
    : fd(std::exchange(other.fd, -1)), existed(other.existed), info(other.info),
      claim(std::move(other.claim)) {}

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
  if (this != &other) {
    if (fd >= 0) close(fd);
    fd = std::exchange(other.fd, -1);
    existed = other.existed;
    info = other.info;
    claim = std::move(other.claim);
  }
  return *this;
}

namespace {

bool HasDataAccess(const OpenRequest& request) { return request.read || request.write; }

// Opens with the access flags; a write-only open tries read-write first so that it can publish its
// share claim (which needs a readable descriptor), and an open without data access falls back to a
// path-only descriptor when the file cannot be read.
int OpenWithAccess(const OpenRequest& request, int extraFlags, mode_t mode) {
  const char* path = request.nativePath.c_str();
  int base = extraFlags | O_CLOEXEC | (request.appendOnly ? O_APPEND : 0);
  if (request.write) {
    int fd = open(path, base | O_RDWR, mode);
    if (fd >= 0 || request.read || errno != EACCES) return fd;
    return open(path, base | O_WRONLY, mode);
  }
  int fd = open(path, base | O_RDONLY, mode);
  if (fd >= 0 || HasDataAccess(request) || errno != EACCES || (extraFlags & O_CREAT)) return fd;
  return open(path, (extraFlags & O_NOFOLLOW) | O_PATH | O_CLOEXEC);
}

DWORD OpenError(int err, const OpenRequest& request) {
  // With O_NOFOLLOW a symbolic link in the final place fails with ELOOP: it is refused, not followed.
  if (err == ELOOP || err == EISDIR) return ERROR_ACCESS_DENIED;
  if (err == EEXIST) return ERROR_FILE_EXISTS;
  return PathErrorFromErrno(err, request.nativePath);
}

}  // namespace

DWORD OpenNativeFile(const OpenRequest& request, OpenFile& file) {
  if (request.nativePath.empty()) return ERROR_PATH_NOT_FOUND;
  // Anything that writes or creates never goes through a symbolic link in the file's own place.
  bool mayModify = request.write || request.truncate || request.creation != Creation::kOpenExisting;
  int noFollow = mayModify ? O_NOFOLLOW : 0;

  OpenFile opened;
  int fd = -1;
  switch (request.creation) {
    case Creation::kCreateNew:
      fd = OpenWithAccess(request, O_CREAT | O_EXCL | O_NOFOLLOW, request.createMode);
      break;
    case Creation::kOpenExisting:
      fd = OpenWithAccess(request, noFollow, 0);
      opened.existed = fd >= 0;
      break;
    case Creation::kOpenOrCreate:
      // Open, else create exclusively; a file appearing in between is opened on the next round.
      for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        fd = OpenWithAccess(request, noFollow, 0);
        if (fd >= 0) {
          opened.existed = true;
          break;
        }
        if (errno != ENOENT) break;
        fd = OpenWithAccess(request, O_CREAT | O_EXCL | O_NOFOLLOW, request.createMode);
        if (fd < 0 && errno != EEXIST) break;
      }
      break;
  }
  if (fd < 0) return OpenError(errno, request);
  opened.fd = fd;

  if (fstat(fd, &opened.info) != 0) return ErrnoToWin32(errno);
  if (S_ISLNK(opened.info.st_mode)) return ERROR_ACCESS_DENIED;
  bool isDirectory = S_ISDIR(opened.info.st_mode);
  if (isDirectory && (!request.allowDirectory || request.write || request.truncate))
    return ERROR_ACCESS_DENIED;
  // A file without any write permission bit is read-only for everybody, root included.
  if (opened.existed && !isDirectory && (request.write || request.truncate) &&
      (opened.info.st_mode & 0222) == 0)
    return ERROR_ACCESS_DENIED;

  ShareBits access{request.read, request.write, request.erase};
  DWORD shared = ShareClaim::Acquire(fd, opened.info.st_dev, opened.info.st_ino, access, request.share,
                                     opened.claim);
  if (shared != ERROR_SUCCESS) return shared;

  if (request.truncate && opened.existed && opened.info.st_size != 0) {
    if (ftruncate(fd, 0) != 0) return ErrnoToWin32(errno);
    opened.info.st_size = 0;
  }
  file = std::move(opened);
  return ERROR_SUCCESS;
}

}  // namespace qvplatform
