#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "win32.h"

namespace {

using namespace std::chrono_literals;

constexpr DWORD kSentinel = 0xdeadbeef;
// Generous bound for "eventually": only reached when something is broken.
constexpr auto kPatience = 10s;

// Counts callbacks and lets a test wait for a number of them.
struct Probe {
  std::mutex mutex;
  std::condition_variable changed;
  int calls = 0;
  BOOLEAN lastFired = FALSE;
  std::thread::id thread;

  bool WaitFor(int count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, kPatience, [&] { return calls >= count; });
  }
  int Calls() {
    std::lock_guard lock(mutex);
    return calls;
  }
  static void CALLBACK Callback(PVOID parameter, BOOLEAN fired) {
    auto* probe = static_cast<Probe*>(parameter);
    std::lock_guard lock(probe->mutex);
    ++probe->calls;
    probe->lastFired = fired;
    probe->thread = std::this_thread::get_id();
    probe->changed.notify_all();
  }
};

TEST(TimerQueue, OneShotAndPeriodicTimers) {
  struct Case {
    const char* name;
    DWORD due, period;
    ULONG flags;
    int expectedCalls;  // at least; one-shot timers exactly
    bool oneShot;
  };
  const std::vector<Case> cases = {
      {"immediate one-shot", 0, 0, WT_EXECUTEDEFAULT, 1, true},
      {"delayed one-shot", 30, 0, WT_EXECUTEDEFAULT, 1, true},
      {"periodic", 5, 5, WT_EXECUTEDEFAULT, 4, false},
      {"periodic made one-shot by flag", 5, 5, WT_EXECUTEONLYONCE, 1, true},
      {"in timer thread", 5, 0, WT_EXECUTEINTIMERTHREAD, 1, true},
  };
  for (const auto& c : cases) {
    HANDLE queue = CreateTimerQueue();
    ASSERT_NE(queue, nullptr);
    Probe probe;
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, Probe::Callback, &probe, c.due, c.period, c.flags)) << c.name;
    EXPECT_NE(timer, nullptr);
    ASSERT_TRUE(probe.WaitFor(c.expectedCalls)) << c.name;
    EXPECT_EQ(probe.lastFired, TRUE) << c.name;
    EXPECT_NE(probe.thread, std::this_thread::get_id()) << c.name;
    if (c.oneShot) {
      std::this_thread::sleep_for(60ms);
      EXPECT_EQ(probe.Calls(), 1) << c.name;
    }
    EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE)) << c.name;
    int afterDelete = probe.Calls();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(probe.Calls(), afterDelete) << c.name << ": no callback after the queue is gone";
  }
}

// The agent's pattern: each callback arms the next one-shot timer on the same queue.
struct Rearming {
  HANDLE queue = nullptr;
  HANDLE lastTimer = nullptr;
  std::atomic<int> calls{0};
  std::atomic<DWORD> lastFailure{0};
  Probe probe;

  static void CALLBACK Callback(PVOID parameter, BOOLEAN) {
    auto* self = static_cast<Rearming*>(parameter);
    self->calls++;
    std::this_thread::sleep_for(2ms);  // widen the window in which the queue may be deleted
    if (!CreateTimerQueueTimer(&self->lastTimer, self->queue, Callback, self, 1, 0, 0)) {
      self->lastFailure = GetLastError();
    }
    Probe::Callback(&self->probe, TRUE);
  }
};

TEST(TimerQueue, CallbackThatRearmsEndsWithItsQueue) {
  Rearming rearming;
  rearming.queue = CreateTimerQueue();
  HANDLE first = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&first, rearming.queue, Rearming::Callback, &rearming, 1, 0, 0));
  ASSERT_TRUE(rearming.probe.WaitFor(5));
  HANDLE queue = rearming.queue;
  SetLastError(kSentinel);
  ASSERT_TRUE(DeleteTimerQueue(queue));
  int afterDelete = rearming.calls;
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(rearming.calls, afterDelete) << "the re-armed timer must not outlive the queue";
  DWORD failure = rearming.lastFailure;
  EXPECT_TRUE(failure == 0 || failure == ERROR_INVALID_HANDLE) << failure;
  // Every handle of the queue is gone.
  EXPECT_EQ(qvplatform::LookupObject(first), nullptr);
  EXPECT_EQ(qvplatform::LookupObject(rearming.lastTimer), nullptr);
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// A callback that blocks until the test lets it go.
struct Blocker {
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false, released = false, finished = false;

  static void CALLBACK Callback(PVOID parameter, BOOLEAN) {
    auto* self = static_cast<Blocker*>(parameter);
    std::unique_lock lock(self->mutex);
    self->entered = true;
    self->changed.notify_all();
    self->changed.wait(lock, [&] { return self->released; });
    self->finished = true;
  }
  bool WaitEntered() {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, kPatience, [&] { return entered; });
  }
  void Release() {
    std::lock_guard lock(mutex);
    released = true;
    changed.notify_all();
  }
  bool Finished() {
    std::lock_guard lock(mutex);
    return finished;
  }
};

TEST(TimerQueue, DeletingWhileACallbackRuns) {
  enum class Call { Queue, QueueExWait, QueueExNoWait, TimerWait, TimerNoWait };
  struct Case {
    const char* name;
    Call call;
    BOOL result;
    DWORD error;
    bool waitsForCallback;
  };
  const std::vector<Case> cases = {
      {"DeleteTimerQueue", Call::Queue, TRUE, kSentinel, true},
      {"DeleteTimerQueueEx waiting", Call::QueueExWait, TRUE, kSentinel, true},
      {"DeleteTimerQueueEx not waiting", Call::QueueExNoWait, FALSE, ERROR_IO_PENDING, false},
      {"DeleteTimerQueueTimer waiting", Call::TimerWait, TRUE, kSentinel, true},
      {"DeleteTimerQueueTimer not waiting", Call::TimerNoWait, FALSE, ERROR_IO_PENDING, false},
  };
  for (const auto& c : cases) {
    HANDLE queue = CreateTimerQueue();
    Blocker blocker;
    HANDLE timer = nullptr;
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, Blocker::Callback, &blocker, 0, 0, 0));
    ASSERT_TRUE(blocker.WaitEntered()) << c.name;
    std::thread releaser([&] {
      std::this_thread::sleep_for(100ms);
      blocker.Release();
    });
    SetLastError(kSentinel);
    BOOL result = FALSE;
    switch (c.call) {
      case Call::Queue: result = DeleteTimerQueue(queue); break;
      case Call::QueueExWait: result = DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE); break;
      case Call::QueueExNoWait: result = DeleteTimerQueueEx(queue, nullptr); break;
      case Call::TimerWait: result = DeleteTimerQueueTimer(queue, timer, INVALID_HANDLE_VALUE); break;
      case Call::TimerNoWait: result = DeleteTimerQueueTimer(queue, timer, nullptr); break;
    }
    bool finishedAtReturn = blocker.Finished();
    EXPECT_EQ(result, c.result) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
    EXPECT_EQ(finishedAtReturn, c.waitsForCallback) << c.name;
    releaser.join();
    if (c.call == Call::TimerWait || c.call == Call::TimerNoWait) {
      EXPECT_TRUE(DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE)) << c.name;
    } else {
      while (!blocker.Finished()) std::this_thread::sleep_for(1ms);  // it returns on its own
    }
    EXPECT_EQ(qvplatform::LookupObject(timer), nullptr) << c.name;
  }
}

TEST(TimerQueue, PendingTimersAreCancelled) {
  HANDLE queue = CreateTimerQueue();
  Probe kept, cancelled, dropped;
  HANDLE keptTimer = nullptr, cancelledTimer = nullptr, droppedTimer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&cancelledTimer, queue, Probe::Callback, &cancelled, 40, 0, 0));
  ASSERT_TRUE(CreateTimerQueueTimer(&keptTimer, queue, Probe::Callback, &kept, 40, 0, 0));
  ASSERT_TRUE(CreateTimerQueueTimer(&droppedTimer, queue, Probe::Callback, &dropped, 150, 0, 0));
  EXPECT_TRUE(DeleteTimerQueueTimer(queue, cancelledTimer, INVALID_HANDLE_VALUE));
  ASSERT_TRUE(kept.WaitFor(1));
  EXPECT_TRUE(DeleteTimerQueueTimer(queue, keptTimer, INVALID_HANDLE_VALUE));
  EXPECT_TRUE(DeleteTimerQueueEx(queue, nullptr)) << "nothing runs: returns at once with success";
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(cancelled.Calls(), 0);
  EXPECT_EQ(dropped.Calls(), 0);
  EXPECT_EQ(qvplatform::LookupObject(droppedTimer), nullptr);
}

TEST(TimerQueue, DefaultQueueAndBadArguments) {
  Probe probe;
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, Probe::Callback, &probe, 0, 0, 0));
  ASSERT_TRUE(probe.WaitFor(1));
  EXPECT_TRUE(DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE));

  HANDLE queue = CreateTimerQueue(), other = CreateTimerQueue();
  HANDLE foreign = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&foreign, other, Probe::Callback, &probe, 100000, 0, 0));
  struct Case {
    const char* name;
    std::function<BOOL()> call;
    DWORD error;
  };
  HANDLE out = nullptr;
  const std::vector<Case> cases = {
      {"null callback", [&] { return CreateTimerQueueTimer(&out, queue, nullptr, nullptr, 0, 0, 0); },
       ERROR_INVALID_PARAMETER},
      {"null out-pointer", [&] { return CreateTimerQueueTimer(nullptr, queue, Probe::Callback, &probe, 0, 0, 0); },
       ERROR_INVALID_PARAMETER},
      {"not a queue", [&] { return CreateTimerQueueTimer(&out, foreign, Probe::Callback, &probe, 0, 0, 0); },
       ERROR_INVALID_HANDLE},
      {"timer of another queue", [&] { return DeleteTimerQueueTimer(queue, foreign, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"timer that is a queue", [&] { return DeleteTimerQueueTimer(queue, other, nullptr); }, ERROR_INVALID_HANDLE},
      {"delete a timer as a queue", [&] { return DeleteTimerQueueEx(foreign, nullptr); }, ERROR_INVALID_HANDLE},
      {"the default queue cannot be deleted", [&] { return DeleteTimerQueueEx(nullptr, nullptr); },
       ERROR_INVALID_HANDLE},
  };
  for (const auto& c : cases) {
    SetLastError(kSentinel);
    EXPECT_FALSE(c.call()) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
  EXPECT_TRUE(DeleteTimerQueue(queue));
  EXPECT_TRUE(DeleteTimerQueue(other));
  EXPECT_EQ(qvplatform::LookupObject(foreign), nullptr);
}

// A callback may delete its own queue; waiting for itself would never end, so it does not wait.
struct SelfDeleting {
  HANDLE queue = nullptr;
  std::atomic<int> result{-1};
  Probe probe;
  static void CALLBACK Callback(PVOID parameter, BOOLEAN) {
    auto* self = static_cast<SelfDeleting*>(parameter);
    self->result = DeleteTimerQueueEx(self->queue, INVALID_HANDLE_VALUE);
    Probe::Callback(&self->probe, TRUE);
  }
};

TEST(TimerQueue, CallbackDeletesItsOwnQueue) {
  SelfDeleting self;
  self.queue = CreateTimerQueue();
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, self.queue, SelfDeleting::Callback, &self, 0, 0, 0));
  ASSERT_TRUE(self.probe.WaitFor(1));
  EXPECT_EQ(self.result, TRUE);
  EXPECT_EQ(qvplatform::LookupObject(self.queue), nullptr);
}

}  // namespace
