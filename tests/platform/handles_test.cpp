#include <gtest/gtest.h>

#include <thread>

#include "win32.h"

namespace {

struct Counter : qvplatform::KernelObject {
  int closes = 0;
  void OnClose() override { ++closes; }
};

TEST(LastError, IsPerThread) {
  SetLastError(1234);
  DWORD other = 0;
  std::thread([&] {
    other = GetLastError();
    SetLastError(99);
  }).join();
  EXPECT_EQ(other, 0u);
  EXPECT_EQ(GetLastError(), 1234u);
}

TEST(Handles, TypedLookupAndClose) {
  auto counter = std::make_shared<Counter>();
  HANDLE h = qvplatform::InsertHandle(counter);
  ASSERT_NE(h, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(qvplatform::LookupHandle<Counter>(h), counter);

  struct Other : qvplatform::KernelObject {};
  SetLastError(0xdeadbeef);
  EXPECT_EQ(qvplatform::LookupHandle<Other>(h), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(counter->closes, 1);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Handles, WaitOnBadOrUnwaitableHandleFails) {
  for (HANDLE h : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x7ff0)}) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  HANDLE h = qvplatform::InsertHandle(std::make_shared<Counter>());
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(h);
}

}  // namespace
