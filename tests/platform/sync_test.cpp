#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/temp_dir.h"
#include "win32.h"

namespace {

DWORD WaitFromOtherThread(HANDLE mutex, DWORD milliseconds, bool release = true) {
  DWORD result = 0;
  std::thread([&] {
    result = WaitForSingleObject(mutex, milliseconds);
    if (result == WAIT_OBJECT_0 && release) ReleaseMutex(mutex);
  }).join();
  return result;
}

TEST(Mutex, OwnershipIsRecursiveAndExclusive) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  ASSERT_NE(mutex, nullptr);
  ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  ASSERT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);  // second level, same thread
  EXPECT_EQ(WaitFromOtherThread(mutex, 30), WAIT_TIMEOUT);

  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitFromOtherThread(mutex, 30), WAIT_TIMEOUT);  // one level still held
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitFromOtherThread(mutex, 30), WAIT_OBJECT_0);

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  EXPECT_TRUE(CloseHandle(mutex));
}

TEST(Mutex, InitiallyOwnedAndReleaseByNonOwner) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(WaitFromOtherThread(mutex, 20), WAIT_TIMEOUT);
  BOOL released = TRUE;
  DWORD error = 0;
  std::thread([&] {
    SetLastError(0xdeadbeef);
    released = ReleaseMutex(mutex);
    error = GetLastError();
  }).join();
  EXPECT_FALSE(released);
  EXPECT_EQ(error, ERROR_NOT_OWNER);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitFromOtherThread(mutex, 0), WAIT_OBJECT_0);
  CloseHandle(mutex);
}

TEST(Mutex, InfiniteWaitEndsWhenReleased) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
  std::atomic<bool> acquired{false};
  std::thread waiter([&] {
    if (WaitForSingleObject(mutex, INFINITE) == WAIT_OBJECT_0) {
      acquired = true;
      ReleaseMutex(mutex);
    }
  });
  Sleep(30);
  EXPECT_FALSE(acquired);
  ReleaseMutex(mutex);
  waiter.join();
  EXPECT_TRUE(acquired);
  CloseHandle(mutex);
}

TEST(Mutex, ProtectsACounterAcrossThreads) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  int counter = 0;  // plain int: the sanitizers would flag unprotected access
  auto work = [&] {
    for (int i = 0; i < 2000; ++i) {
      WaitForSingleObject(mutex, INFINITE);
      ++counter;
      ReleaseMutex(mutex);
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 4000);
  CloseHandle(mutex);
}

TEST(Mutex, RejectedArguments) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, "Global\\named"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);

  struct Plain : qvplatform::KernelObject {};
  HANDLE other = qvplatform::InsertHandle(std::make_shared<Plain>());
  for (HANDLE h : {static_cast<HANDLE>(nullptr), other}) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReleaseMutex(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  CloseHandle(other);
}

TEST(Identity, ThreadIdsAreKernelThreadIds) {
  const DWORD mine = GetCurrentThreadId();
  DWORD other = 0;
  bool otherListed = false;
  std::thread([&] {
    other = GetCurrentThreadId();
    otherListed = std::filesystem::exists("/proc/self/task/" + std::to_string(other));
  }).join();
  EXPECT_NE(mine, other);
  EXPECT_TRUE(otherListed);
  EXPECT_TRUE(std::filesystem::exists("/proc/self/task/" + std::to_string(mine)));
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
}

TEST(Identity, ForkedChildHasItsOwnThreadId) {
  const DWORD parent = GetCurrentThreadId();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(GetCurrentThreadId() == static_cast<DWORD>(gettid()) ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(GetCurrentThreadId(), parent);
}

TEST(Sleep, SleepsAtLeastTheGivenTime) {
  Sleep(0);
  const auto start = std::chrono::steady_clock::now();
  Sleep(25);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

TEST(Environment, SizeProtocol) {
  qvtest::ScopedEnv set("QV_KPROC_VALUE", "hello");
  qvtest::ScopedEnv empty("QV_KPROC_EMPTY", "");
  qvtest::ScopedEnv unset("QV_KPROC_UNSET", std::nullopt);
  struct Case {
    const char* name;
    DWORD size;
    bool nullBuffer;
    DWORD result;
    DWORD error;  // 0xdeadbeef: left alone
    std::string contents;
  };
  const Case cases[] = {
      {"QV_KPROC_VALUE", 6, false, 5, 0xdeadbeef, "hello"},
      {"QV_KPROC_VALUE", 64, false, 5, 0xdeadbeef, "hello"},
      {"QV_KPROC_VALUE", 5, false, 6, 0xdeadbeef, "untouched"},
      {"QV_KPROC_VALUE", 0, true, 6, 0xdeadbeef, "untouched"},
      {"QV_KPROC_VALUE", 64, true, 6, 0xdeadbeef, "untouched"},
      {"QV_KPROC_EMPTY", 8, false, 0, ERROR_SUCCESS, ""},
      {"QV_KPROC_UNSET", 8, false, 0, ERROR_ENVVAR_NOT_FOUND, "untouched"},
      {"", 8, false, 0, ERROR_ENVVAR_NOT_FOUND, "untouched"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " size " + std::to_string(c.size));
    char buffer[64] = "untouched";
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetEnvironmentVariableA(c.name, c.nullBuffer ? nullptr : buffer, c.size), c.result);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(std::string(buffer), c.contents);
  }
}

}  // namespace
