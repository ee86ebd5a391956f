#include "kernel32/sync.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "kernel32/errors.h"
#include "kernel32/handles.h"

namespace {

// Bumped in the child of a fork, whose only thread has a new id.
std::atomic<unsigned> g_forkGeneration{0};

void OnForkChild() { g_forkGeneration.fetch_add(1, std::memory_order_relaxed); }

class MutexObject : public qvplatform::KernelObject {
 public:
  explicit MutexObject(bool owned) {
    if (owned) {
      owner_ = GetCurrentThreadId();
      depth_ = 1;
    }
  }

  DWORD Wait(DWORD milliseconds) override {
    const DWORD self = GetCurrentThreadId();
    std::unique_lock lock(mutex_);
    if (owner_ == self) {
      ++depth_;
      return WAIT_OBJECT_0;
    }
    auto free = [this] { return owner_ == 0; };
    if (milliseconds == INFINITE) {
      released_.wait(lock, free);
    } else if (!released_.wait_for(lock, std::chrono::milliseconds(milliseconds), free)) {
      return WAIT_TIMEOUT;
    }
    owner_ = self;
    depth_ = 1;
    return WAIT_OBJECT_0;
  }

  bool Release() {
    std::lock_guard lock(mutex_);
    if (owner_ != GetCurrentThreadId()) return false;
    if (--depth_ == 0) {
      owner_ = 0;
      released_.notify_one();
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  DWORD owner_ = 0;  // thread id of the owner; 0 when free (no thread has id 0)
  DWORD depth_ = 0;
};

}  // namespace

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  if (name != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  HANDLE handle = qvplatform::InsertHandle(std::make_shared<MutexObject>(initialOwner != FALSE));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL ReleaseMutex(HANDLE mutex) {
  auto object = qvplatform::LookupHandle<MutexObject>(mutex);
  if (!object) return FALSE;
  if (!object->Release()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  if (milliseconds == INFINITE) {
    for (;;) pause();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The id is asked for on every mutex wait and release and every log line, so each thread keeps
// its own copy instead of making a system call each time.
DWORD GetCurrentThreadId() {
  [[maybe_unused]] static const int forkWatch = pthread_atfork(nullptr, nullptr, OnForkChild);
  thread_local DWORD id = 0;
  thread_local unsigned generation = 0;
  const unsigned current = g_forkGeneration.load(std::memory_order_relaxed);
  if (id == 0 || generation != current) {
    id = static_cast<DWORD>(gettid());
    generation = current;
  }
  return id;
}

DWORD GetCurrentProcessId() {
  return static_cast<DWORD>(getpid());
}
