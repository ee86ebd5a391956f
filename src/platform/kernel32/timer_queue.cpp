#include "kernel32/timer_queue.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "kernel32/errors.h"
#include "kernel32/handles.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  WAITORTIMERCALLBACK callback;
  PVOID parameter;
  Clock::time_point due;
  std::chrono::milliseconds period;
  bool armed;
};

// One queue: its timers and the thread that runs their callbacks.
class QueueState : public std::enable_shared_from_this<QueueState> {
 public:
  // Starts the queue's thread; it keeps the state alive until it ends.
  static std::shared_ptr<QueueState> Start() {
    auto state = std::make_shared<QueueState>();
    std::lock_guard lock(state->mutex_);
    std::thread worker([state] { state->Run(); });
    state->threadId_ = worker.get_id();
    worker.detach();
    return state;
  }

  // ERROR_SUCCESS, or ERROR_INVALID_HANDLE once the queue is being deleted.
  DWORD Add(HANDLE* newTimer, const Timer& timer);
  // Removes a timer; false when it does not belong to this queue.
  bool Remove(HANDLE handle, bool wait, bool* callbackStillRunning);
  // Cancels everything; waits for the thread to finish its callback when asked to and possible.
  void Shutdown(bool wait, bool* callbackStillRunning);

 private:
  void Run();
  bool OnQueueThread() const { return std::this_thread::get_id() == threadId_; }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<HANDLE, Timer> timers_;
  HANDLE running_ = nullptr;  // the timer whose callback runs now
  bool deleting_ = false;
  bool finished_ = false;  // the thread has left its loop
  std::thread::id threadId_;
};

class TimerQueueObject : public qvplatform::KernelObject {
 public:
  explicit TimerQueueObject(std::shared_ptr<QueueState> state) : state(std::move(state)) {}
  std::shared_ptr<QueueState> state;
};

class QueueTimerObject : public qvplatform::KernelObject {
 public:
  explicit QueueTimerObject(const std::shared_ptr<QueueState>& queue) : queue(queue) {}
  std::weak_ptr<QueueState> queue;
};

void QueueState::Run() {
  std::unique_lock lock(mutex_);
  while (!deleting_) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->second.armed && (next == timers_.end() || it->second.due < next->second.due)) next = it;
    }
    if (next == timers_.end()) {
      changed_.wait(lock);
      continue;
    }
    if (Clock::now() < next->second.due) {
      // Wait on a copy: the timer may be removed from the map while this thread waits.
      const auto due = next->second.due;
      changed_.wait_until(lock, due);
      continue;
    }
    Timer& timer = next->second;
    running_ = next->first;
    WAITORTIMERCALLBACK callback = timer.callback;
    PVOID parameter = timer.parameter;
    if (timer.period.count() > 0) {
      timer.due += timer.period;
    } else {
      timer.armed = false;
    }
    lock.unlock();
    callback(parameter, TRUE);
    lock.lock();
    running_ = nullptr;
    changed_.notify_all();
  }
  finished_ = true;
  changed_.notify_all();
}

DWORD QueueState::Add(HANDLE* newTimer, const Timer& timer) {
  std::lock_guard lock(mutex_);
  if (deleting_) return ERROR_INVALID_HANDLE;
  HANDLE handle = qvplatform::InsertHandle(std::make_shared<QueueTimerObject>(shared_from_this()));
  timers_.emplace(handle, timer);
  *newTimer = handle;
  changed_.notify_all();
  return ERROR_SUCCESS;
}

bool QueueState::Remove(HANDLE handle, bool wait, bool* callbackStillRunning) {
  std::unique_lock lock(mutex_);
  if (timers_.erase(handle) == 0) return false;
  qvplatform::RemoveHandle(handle);
  changed_.notify_all();
  if (wait && !OnQueueThread()) changed_.wait(lock, [&] { return running_ != handle; });
  *callbackStillRunning = running_ == handle;
  return true;
}

void QueueState::Shutdown(bool wait, bool* callbackStillRunning) {
  std::unique_lock lock(mutex_);
  deleting_ = true;
  for (auto& [handle, timer] : timers_) qvplatform::RemoveHandle(handle);
  timers_.clear();
  changed_.notify_all();
  if (wait && !OnQueueThread()) changed_.wait(lock, [&] { return finished_; });
  *callbackStillRunning = running_ != nullptr;
}

}  // namespace

namespace {

std::shared_ptr<QueueState> DefaultQueue() {
  static auto* queue = new std::shared_ptr<QueueState>(QueueState::Start());  // lives as long as the process
  return *queue;
}

// The queue behind a handle (null: the default queue); null with ERROR_INVALID_HANDLE if none.
std::shared_ptr<QueueState> FindQueue(HANDLE timerQueue) {
  if (timerQueue == nullptr) return DefaultQueue();
  auto object = qvplatform::LookupHandle<TimerQueueObject>(timerQueue);
  return object ? object->state : nullptr;
}

}  // namespace

HANDLE CreateTimerQueue() { return qvplatform::InsertHandle(std::make_shared<TimerQueueObject>(QueueState::Start())); }

BOOL CreateTimerQueueTimer(PHANDLE newTimer, HANDLE timerQueue, WAITORTIMERCALLBACK callback, PVOID parameter,
                           DWORD dueTime, DWORD period, ULONG flags) {
  if (newTimer == nullptr || callback == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto queue = FindQueue(timerQueue);
  if (!queue) return FALSE;
  if ((flags & WT_EXECUTEONLYONCE) != 0) period = 0;
  Timer timer{callback, parameter, Clock::now() + std::chrono::milliseconds(dueTime), std::chrono::milliseconds(period),
              true};
  if (DWORD code = queue->Add(newTimer, timer); code != ERROR_SUCCESS) {
    SetLastError(code);
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteTimerQueueTimer(HANDLE timerQueue, HANDLE timer, HANDLE completionEvent) {
  bool wait = completionEvent == INVALID_HANDLE_VALUE;
  if (completionEvent != nullptr && !wait) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto queue = FindQueue(timerQueue);
  if (!queue) return FALSE;
  if (!qvplatform::LookupHandle<QueueTimerObject>(timer)) return FALSE;
  bool stillRunning = false;
  if (!queue->Remove(timer, wait, &stillRunning)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (stillRunning) {
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteTimerQueueEx(HANDLE timerQueue, HANDLE completionEvent) {
  bool wait = completionEvent == INVALID_HANDLE_VALUE;
  if (completionEvent != nullptr && !wait) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!qvplatform::LookupHandle<TimerQueueObject>(timerQueue)) return FALSE;
  auto object = std::dynamic_pointer_cast<TimerQueueObject>(qvplatform::RemoveHandle(timerQueue));
  if (!object) return FALSE;  // deleted by another thread meanwhile
  bool stillRunning = false;
  object->state->Shutdown(wait, &stillRunning);
  if (stillRunning && !wait) {
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteTimerQueue(HANDLE timerQueue) { return DeleteTimerQueueEx(timerQueue, INVALID_HANDLE_VALUE); }
