// The one place where files are opened, for CreateFileA, CopyFileA and the C runtime streams:
// creation rules, the read-only attribute, share modes and the refusal of planted symbolic links.
#pragma once

#include <sys/stat.h>

#include <string>

#include "kernel32/share_modes.h"
#include "types.h"

namespace qvplatform {

enum class Creation {
  kOpenExisting,    // the file must exist
  kCreateNew,       // the file must not exist (a symbolic link in its place counts as existing)
  kOpenOrCreate,    // open it, or create it when missing
};

struct OpenRequest {
  std::string nativePath;
  bool read = false;
  bool write = false;
  bool erase = false;          // the open may delete the file (it claims delete access)
  bool appendOnly = false;     // every write goes to the end
  bool truncate = false;       // an existing file is emptied once the open has succeeded
  bool allowDirectory = false;
  Creation creation = Creation::kOpenExisting;
  ShareBits share{true, true, false};
  mode_t createMode = 0666;
};

// A file descriptor with its share claim; closes the descriptor when destroyed.
struct OpenFile {
  OpenFile() = default;
  ~OpenFile();
  OpenFile(OpenFile&& other) noexcept;
  OpenFile& operator=(OpenFile&& other) noexcept;
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  int fd = -1;
  bool existed = false;  // the file was there before the open
  struct stat info {};
  ShareClaim claim;
};

// Opens as requested. ERROR_SUCCESS with `file` filled, or the system error code:
// ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND for a missing file or folder, ERROR_FILE_EXISTS for
// kCreateNew over an existing entry, ERROR_ACCESS_DENIED for a folder (unless allowed), for writing to
// a file without write permission bits (whoever runs the program) and for a symbolic link in the
// place of a file that would be written or created, ERROR_SHARING_VIOLATION for a share conflict.
DWORD OpenNativeFile(const OpenRequest& request, OpenFile& file);

}  // namespace qvplatform
