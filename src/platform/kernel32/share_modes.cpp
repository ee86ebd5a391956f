#include "kernel32/share_modes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <map>
#include <mutex>
#include <utility>

#include "kernel32/errors.h"

namespace qvplatform {

namespace {

// Lock bytes published for cross-process checks: one for each access held and one for each share
// refused, placed at the very end of the offset range where no data lives.
constexpr off_t kLockBase = LLONG_MAX - 16;
enum LockByte : off_t { kHoldsRead, kHoldsWrite, kHoldsErase, kDeniesRead, kDeniesWrite, kDeniesErase };

struct Claim {
  ShareBits access;
  ShareBits share;
};

bool Conflicts(const Claim& held, ShareBits access, ShareBits share) {
  return (access.read && !held.share.read) || (access.write && !held.share.write) ||
         (access.erase && !held.share.erase) || (held.access.read && !share.read) ||
         (held.access.write && !share.write) || (held.access.erase && !share.erase);
}

using FileKey = std::pair<dev_t, ino_t>;

struct Registry {
  std::mutex mutex;
  std::map<FileKey, std::map<uint64_t, Claim>> claims;
  uint64_t nextId = 1;
};

Registry& Claims() {
  static auto* registry = new Registry;  // never destroyed: files may close during exit
  return *registry;
}

bool InProcessConflict(Registry& registry, const FileKey& key, ShareBits access, ShareBits share) {
  auto it = registry.claims.find(key);
  if (it == registry.claims.end()) return false;
  for (const auto& [id, held] : it->second) {
    if (Conflicts(held, access, share)) return true;
  }
  return false;
}

struct flock LockOn(off_t byte, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = kLockBase + byte;
  lock.l_len = 1;
  return lock;
}

// True when another open file description holds a lock on the byte.
bool LockedElsewhere(int fd, off_t byte) {
  struct flock probe = LockOn(byte, F_WRLCK);
  if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

bool CrossProcessConflict(int fd, ShareBits access, ShareBits share) {
  return (access.read && LockedElsewhere(fd, kDeniesRead)) ||
         (access.write && LockedElsewhere(fd, kDeniesWrite)) ||
         (access.erase && LockedElsewhere(fd, kDeniesErase)) ||
         (!share.read && LockedElsewhere(fd, kHoldsRead)) ||
         (!share.write && LockedElsewhere(fd, kHoldsWrite)) ||
         (!share.erase && LockedElsewhere(fd, kHoldsErase));
}

void Publish(int fd, off_t byte) {
  struct flock lock = LockOn(byte, F_RDLCK);
  // A descriptor not open for reading (or a file system without OFD locks) cannot publish; the
  // in-process claim still stands.
  (void)fcntl(fd, F_OFD_SETLK, &lock);
}

void PublishClaim(int fd, ShareBits access, ShareBits share) {
  if (access.read) Publish(fd, kHoldsRead);
  if (access.write) Publish(fd, kHoldsWrite);
  if (access.erase) Publish(fd, kHoldsErase);
  if (!share.read) Publish(fd, kDeniesRead);
  if (!share.write) Publish(fd, kDeniesWrite);
  if (!share.erase) Publish(fd, kDeniesErase);
}

}  // namespace

ShareClaim::~ShareClaim() { Release(); }

ShareClaim::ShareClaim(ShareClaim&& other) noexcept
    : device_(other.device_), inode_(other.inode_), id_(std::exchange(other.id_, 0)) {}

ShareClaim& ShareClaim::operator=(ShareClaim&& other) noexcept {
  if (this != &other) {
    Release();
    device_ = other.device_;
    inode_ = other.inode_;
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void ShareClaim::Release() {
  if (id_ == 0) return;
  auto& registry = Claims();
  std::lock_guard lock(registry.mutex);
  auto it = registry.claims.find({device_, inode_});
  if (it != registry.claims.end()) {
    it->second.erase(id_);
    if (it->second.empty()) registry.claims.erase(it);
  }
  id_ = 0;
}

DWORD ShareClaim::Acquire(int fd, dev_t device, ino_t inode, ShareBits access, ShareBits share,
                          ShareClaim& claim) {
  if (!access.Any()) return ERROR_SUCCESS;
  auto& registry = Claims();
  std::lock_guard lock(registry.mutex);
  FileKey key{device, inode};
  if (InProcessConflict(registry, key, access, share) || CrossProcessConflict(fd, access, share))
    return ERROR_SHARING_VIOLATION;
  PublishClaim(fd, access, share);
  claim.Release();
  claim.device_ = device;
  claim.inode_ = inode;
  claim.id_ = registry.nextId++;
  registry.claims[key].emplace(claim.id_, Claim{access, share});
  return ERROR_SUCCESS;
}

DWORD CheckDeleteSharing(const std::string& nativePath) {
  struct stat info {};
  if (lstat(nativePath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return ERROR_SUCCESS;
  const ShareBits erase{false, false, true};
  const ShareBits all{true, true, true};
  auto& registry = Claims();
  std::lock_guard lock(registry.mutex);
  if (InProcessConflict(registry, {info.st_dev, info.st_ino}, erase, all)) return ERROR_SHARING_VIOLATION;
  int probe = open(nativePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (probe < 0) return ERROR_SUCCESS;
  bool refused = CrossProcessConflict(probe, erase, all);
  close(probe);
  return refused ? ERROR_SHARING_VIOLATION : ERROR_SUCCESS;
}

}  // namespace qvplatform
