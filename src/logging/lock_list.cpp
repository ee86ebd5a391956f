#include <forward_list>

#include "logging/log_core.h"

HANDLE gv_lockListMutex = nullptr;
int32_t gv_lockWaitCounter = 0;

namespace {
// Addresses currently locked, oldest first. Guarded by gv_lockListMutex.
std::forward_list<const void*> gv_lockList;
}  // namespace

void InitMutex() {
  LogTrace("\n\t@@@@@ Inside InitMutex() @@@@@\n");
  HANDLE previous = gv_lockListMutex;
  gv_lockListMutex = CreateMutexA(nullptr, FALSE, nullptr);
  if (previous) CloseHandle(previous);
}

LockListResult UpdateLockList(const void* address, LockListOperation operation) {
  WaitForSingleObject(gv_lockListMutex, INFINITE);
  LockListResult result;
  if (operation == LockListOperation::kAcquire) {
    result = LockListResult::kAcquired;
    auto last = gv_lockList.before_begin();
    for (auto it = gv_lockList.begin(); it != gv_lockList.end(); ++it) {
      if (*it == address) {
        result = LockListResult::kBusy;
        break;
      }
      last = it;
    }
    if (result == LockListResult::kAcquired) gv_lockList.insert_after(last, address);  // at the tail
  } else {
    result = LockListResult::kNotHeld;
    for (auto prev = gv_lockList.before_begin(), it = gv_lockList.begin(); it != gv_lockList.end(); prev = it++) {
      if (*it == address) {
        gv_lockList.erase_after(prev);
        result = LockListResult::kReleased;
        break;
      }
    }
  }
  ReleaseMutex(gv_lockListMutex);
  return result;
}

int32_t GetNextWaitInterval() {
  // Two's-complement wrap, as the 32-bit counter of the original platform does.
  int32_t next = static_cast<int32_t>(static_cast<uint32_t>(gv_lockWaitCounter) + 10u);
  gv_lockWaitCounter = next == 0 ? 10 : next;
  return gv_lockWaitCounter;
}

void LockObject(const void* address) {
  while (UpdateLockList(address, LockListOperation::kAcquire) == LockListResult::kBusy) {
    int32_t interval = GetNextWaitInterval() / 1000;
    Sleep(interval > 0 ? static_cast<DWORD>(interval) : 0);  // a wrapped counter never means "sleep for ever"
  }
}

void UnlockObject(const void* address) { UpdateLockList(address, LockListOperation::kRelease); }
