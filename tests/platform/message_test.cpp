#include <gtest/gtest.h>

#include "win32.h"

namespace {

constexpr DWORD kAllocFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

std::string SystemTextA(DWORD code, DWORD width) {
  char* text = nullptr;
  DWORD n = FormatMessageA(kAllocFlags | width, nullptr, code, 0x400, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (n == 0) return "<none>";
  std::string out(text, n);
  EXPECT_EQ(LocalFree(text), nullptr);
  return out;
}

TEST(FormatMessage, KnownTextsWithAndWithoutWidth) {
  struct Case {
    DWORD code;
    const char* text;
  };
  const Case cases[] = {
      {0, "The operation completed successfully."},
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {5, "Access is denied."},
      {32, "The process cannot access the file because it is being used by another process."},
      {80, "The file exists."},
      {87, "The parameter is incorrect."},
      {122, "The data area passed to a system call is too small."},
      {183, "Cannot create a file when that file already exists."},
      {234, "More data is available."},
      {258, "The wait operation timed out."},
      {267, "The directory name is invalid."},
      {1060, "The specified service does not exist as an installed service."},
      {1062, "The service has not been started."},
      {1603, "Fatal error during installation."},
      {1641, "The requested operation completed successfully. The system will be restarted so the changes can take "
             "effect."},
      {3010, "The requested operation is successful. Changes will not be effective until the system is rebooted."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(SystemTextA(c.code, 0), std::string(c.text) + "\r\n");
    EXPECT_EQ(SystemTextA(c.code, FORMAT_MESSAGE_MAX_WIDTH_MASK), std::string(c.text) + " ");
  }
}

TEST(FormatMessage, CodesWithoutSystemText) {
  for (DWORD code : {17025u, 20001u, 10001u, 1508u, 12002u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(code);
    char* text = nullptr;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FormatMessageA(kAllocFlags | 0xFF, nullptr, code, 0x400, reinterpret_cast<LPSTR>(&text), 0, nullptr), 0u);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
  }
}

TEST(FormatMessage, WideAndCallerBuffer) {
  char16_t* wide = nullptr;
  DWORD n = FormatMessageW(kAllocFlags | 0xFF, nullptr, 5, 0x400, reinterpret_cast<LPWSTR>(&wide), 0, nullptr);
  ASSERT_EQ(n, 18u);
  EXPECT_EQ(std::u16string(wide, n), u"Access is denied. ");
  EXPECT_EQ(LocalFree(wide), nullptr);

  char small[8];
  SetLastError(0xdeadbeef);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 5, 0, small, sizeof small,
                           nullptr),
            0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  char big[64];
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 5, 0, big, sizeof big,
                           nullptr),
            19u);
  EXPECT_STREQ(big, "Access is denied.\r\n");
}

TEST(LocalFree, RefusesForeignPointers) {
  int local = 0;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(LocalFree(&local), &local);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
}

}  // namespace
