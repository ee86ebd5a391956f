// CreateFileA and the operations on open file handles.
#include "kernel32/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

#include "kernel32/errors.h"
#include "kernel32/file_info.h"
#include "kernel32/file_open.h"
#include "kernel32/paths.h"

namespace {

using qvplatform::Creation;
using qvplatform::OpenFile;
using qvplatform::OpenRequest;

class FileObject : public qvplatform::KernelObject {
 public:
  FileObject(OpenFile file, std::string nativePath, bool canRead, bool canWrite, bool deleteOnClose)
      : file_(std::move(file)), nativePath_(std::move(nativePath)), canRead_(canRead),
        canWrite_(canWrite), deleteOnClose_(deleteOnClose) {}
  ~FileObject() override {
    if (deleteOnClose_) unlink(nativePath_.c_str());
  }

  int fd() const { return file_.fd; }
  bool canRead() const { return canRead_; }
  bool canWrite() const { return canWrite_; }

 private:
  OpenFile file_;
  std::string nativePath_;
  bool canRead_;
  bool canWrite_;
  bool deleteOnClose_;
};

constexpr DWORD kReadRights = GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE | FILE_READ_DATA;
constexpr DWORD kWriteRights = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA;

std::shared_ptr<FileObject> FileFor(HANDLE handle) {
  return qvplatform::LookupHandle<FileObject>(handle);
}

BOOL Fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

BOOL FailFromErrno() {
  qvplatform::SetLastErrorFromErrno(errno);
  return FALSE;
}

// The size a file handle reports: folders have none.
bool SizeOf(const FileObject& file, int64_t& size) {
  struct stat info {};
  if (fstat(file.fd(), &info) != 0) {
    qvplatform::SetLastErrorFromErrno(errno);
    return false;
  }
  size = S_ISDIR(info.st_mode) ? 0 : static_cast<int64_t>(info.st_size);
  return true;
}

bool MovePointer(const FileObject& file, int64_t distance, DWORD method, int64_t& position) {
  int64_t origin = 0;
  if (method == FILE_CURRENT) {
    off_t current = lseek(file.fd(), 0, SEEK_CUR);
    if (current < 0) {
      qvplatform::SetLastErrorFromErrno(errno);
      return false;
    }
    origin = current;
  } else if (method == FILE_END) {
    if (!SizeOf(file, origin)) return false;
  } else if (method != FILE_BEGIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if ((distance > 0 && origin > INT64_MAX - distance) || origin + distance < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return false;
  }
  position = origin + distance;
  if (lseek(file.fd(), static_cast<off_t>(position), SEEK_SET) < 0) {
    qvplatform::SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
  if (flagsAndAttributes & FILE_FLAG_OVERLAPPED) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
  }
  OpenRequest request;
  request.nativePath = qvplatform::ToNativePath(fileName);
  request.read = (desiredAccess & kReadRights) != 0;
  request.write = (desiredAccess & (kWriteRights | FILE_APPEND_DATA)) != 0;
  request.appendOnly = (desiredAccess & FILE_APPEND_DATA) && !(desiredAccess & kWriteRights);
  bool deleteOnClose = (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  request.erase = deleteOnClose || (desiredAccess & (DELETE | GENERIC_ALL));
  request.share = {(shareMode & FILE_SHARE_READ) != 0, (shareMode & FILE_SHARE_WRITE) != 0,
                   (shareMode & FILE_SHARE_DELETE) != 0};
  request.allowDirectory = (flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) != 0;
  request.createMode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  switch (creationDisposition) {
    case CREATE_NEW: request.creation = Creation::kCreateNew; break;
    case CREATE_ALWAYS:
      request.creation = Creation::kOpenOrCreate;
      request.truncate = true;
      break;
    case OPEN_EXISTING: request.creation = Creation::kOpenExisting; break;
    case OPEN_ALWAYS: request.creation = Creation::kOpenOrCreate; break;
    case TRUNCATE_EXISTING:
      if (!(desiredAccess & kWriteRights)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      request.creation = Creation::kOpenExisting;
      request.truncate = true;
      break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
  }

  OpenFile file;
  DWORD error = qvplatform::OpenNativeFile(request, file);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  bool existed = file.existed;
  HANDLE handle = qvplatform::InsertHandle(std::make_shared<FileObject>(
      std::move(file), request.nativePath, request.read, request.write, deleteOnClose));
  bool reportsExisting = creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS;
  SetLastError(existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile) {
  auto narrow = qvplatform::NarrowPathArgument(fileName);
  if (!narrow) return INVALID_HANDLE_VALUE;
  return CreateFileA(narrow->c_str(), desiredAccess, shareMode, securityAttributes, creationDisposition,
                     flagsAndAttributes, templateFile);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
  if (bytesRead) *bytesRead = 0;
  auto file = FileFor(handle);
  if (!file) return FALSE;
  if (overlapped || (!buffer && bytesToRead)) return Fail(ERROR_INVALID_PARAMETER);
  if (!file->canRead()) return Fail(ERROR_ACCESS_DENIED);
  auto* out = static_cast<char*>(buffer);
  DWORD done = 0;
  while (done < bytesToRead) {
    ssize_t n = read(file->fd(), out + done, bytesToRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (bytesRead) *bytesRead = done;
      return FailFromErrno();
    }
    if (n == 0) break;
    done += static_cast<DWORD>(n);
  }
  if (bytesRead) *bytesRead = done;
  return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  auto file = FileFor(handle);
  if (!file) return FALSE;
  if (overlapped || (!buffer && bytesToWrite)) return Fail(ERROR_INVALID_PARAMETER);
  if (!file->canWrite()) return Fail(ERROR_ACCESS_DENIED);
  const auto* in = static_cast<const char*>(buffer);
  DWORD done = 0;
  while (done < bytesToWrite) {
    ssize_t n = write(file->fd(), in + done, bytesToWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (bytesWritten) *bytesWritten = done;
      return n < 0 ? FailFromErrno() : Fail(ERROR_DISK_FULL);
    }
    done += static_cast<DWORD>(n);
  }
  if (bytesWritten) *bytesWritten = done;
  return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD fileSizeHigh) {
  auto file = FileFor(handle);
  int64_t size = 0;
  if (!file || !SizeOf(*file, size)) return INVALID_FILE_SIZE;
  auto low = static_cast<DWORD>(static_cast<uint64_t>(size) & 0xFFFFFFFFu);
  if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(size) >> 32);
  // A size whose low half looks like the failure value is told apart by the last error.
  if (low == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return low;
}

BOOL GetFileSizeEx(HANDLE handle, PLARGE_INTEGER fileSize) {
  auto file = FileFor(handle);
  if (!file) return FALSE;
  if (!fileSize) return Fail(ERROR_INVALID_PARAMETER);
  int64_t size = 0;
  if (!SizeOf(*file, size)) return FALSE;
  fileSize->QuadPart = size;
  return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distanceToMove, PLONG distanceToMoveHigh, DWORD moveMethod) {
  auto file = FileFor(handle);
  if (!file) return INVALID_SET_FILE_POINTER;
  int64_t distance = distanceToMove;
  if (distanceToMoveHigh) {
    distance = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceToMoveHigh)) << 32) |
                                    static_cast<uint32_t>(distanceToMove));
  }
  int64_t position = 0;
  if (!MovePointer(*file, distance, moveMethod, position)) return INVALID_SET_FILE_POINTER;
  if (!distanceToMoveHigh && position > static_cast<int64_t>(UINT32_MAX - 1)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  auto low = static_cast<DWORD>(static_cast<uint64_t>(position) & 0xFFFFFFFFu);
  if (distanceToMoveHigh) *distanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
  if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
  return low;
}

BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distanceToMove, PLARGE_INTEGER newFilePointer,
                      DWORD moveMethod) {
  auto file = FileFor(handle);
  if (!file) return FALSE;
  int64_t position = 0;
  if (!MovePointer(*file, distanceToMove.QuadPart, moveMethod, position)) return FALSE;
  if (newFilePointer) newFilePointer->QuadPart = position;
  return TRUE;
}

BOOL SetEndOfFile(HANDLE handle) {
  auto file = FileFor(handle);
  if (!file) return FALSE;
  if (!file->canWrite()) return Fail(ERROR_ACCESS_DENIED);
  off_t position = lseek(file->fd(), 0, SEEK_CUR);
  if (position < 0 || ftruncate(file->fd(), position) != 0) return FailFromErrno();
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE handle) {
  auto file = FileFor(handle);
  if (!file) return FALSE;
  if (!file->canWrite()) return Fail(ERROR_ACCESS_DENIED);
  if (fsync(file->fd()) != 0) return FailFromErrno();
  return TRUE;
}
