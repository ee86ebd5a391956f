// Share-mode enforcement for open files.
//
// Every open that reads, writes or deletes data claims its access and its share mode. A later open
// is refused with ERROR_SHARING_VIOLATION when it wants an access that an earlier open does not share,
// or when it refuses to share an access that an earlier open holds. Within the process the claims
// are kept per file (device and inode). Across processes each claim is also published as shared OFD
// byte-range locks far beyond any real data (one byte per access and one per refused share), which
// other processes using this layer test before they open; on file systems without OFD locks only the
// in-process claims apply. The test and the claim are one step within the process but not across
// processes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "types.h"

namespace qvplatform {

struct ShareBits {
  bool read = false;
  bool write = false;
  bool erase = false;
  bool Any() const { return read || write || erase; }
};

// The claim of one open; released when destroyed. The OFD locks belong to the file descriptor and go
// with it.
class ShareClaim {
 public:
  ShareClaim() = default;
  ~ShareClaim();
  ShareClaim(ShareClaim&& other) noexcept;
  ShareClaim& operator=(ShareClaim&& other) noexcept;
  ShareClaim(const ShareClaim&) = delete;
  ShareClaim& operator=(const ShareClaim&) = delete;

  // Tests and claims `access` with `share` for the open file `fd` (device and inode from fstat).
  // ERROR_SUCCESS, or ERROR_SHARING_VIOLATION with nothing claimed. An open without data access
  // claims nothing and always succeeds.
  static DWORD Acquire(int fd, dev_t device, ino_t inode, ShareBits access, ShareBits share,
                       ShareClaim& claim);

 private:
  void Release();
  dev_t device_ = 0;
  ino_t inode_ = 0;
  uint64_t id_ = 0;
};

// Whether the entry at `nativePath` (not following a final symbolic link) may be deleted or renamed
// now: ERROR_SUCCESS, or ERROR_SHARING_VIOLATION when an open of it does not share deletion.
DWORD CheckDeleteSharing(const std::string& nativePath);

}  // namespace qvplatform
