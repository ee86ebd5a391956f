#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/hive_edits.h"
#include "support/temp_hive.h"
#include "win32.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;
constexpr char kCurrentVersion[] = R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)";
constexpr char kProductOptions[] = R"(SYSTEM\CurrentControlSet\Control\ProductOptions)";
constexpr char kWindows[] = R"(SYSTEM\CurrentControlSet\Control\Windows)";
constexpr char kEnvironment[] = R"(SYSTEM\CurrentControlSet\Control\Session Manager\Environment)";

using qvtest::HiveEdit;

// The registry's pre-Windows-10 form: only the "major.minor" text.
std::vector<HiveEdit> LegacyVersion(const char* version, const char* build) {
  return {{kCurrentVersion, "CurrentMajorVersionNumber"},
          {kCurrentVersion, "CurrentMinorVersionNumber"},
          {kCurrentVersion, "CurrentVersion", version},
          {kCurrentVersion, "CurrentBuildNumber", build}};
}

std::vector<HiveEdit> operator+(std::vector<HiveEdit> a, const std::vector<HiveEdit>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(GetVersionExA, ReportsTheSystemTheHiveDescribes) {
  struct Case {
    const char* name;
    std::vector<HiveEdit> edits;
    DWORD major, minor, build;
    const char* servicePack;
    WORD spMajor, spMinor, suite;
    BYTE productType;
    DWORD product;
    WORD architecture;
  };
  const std::vector<Case> cases = {
      {"seeded Windows 10 Pro", {}, 10, 0, 19045, "", 0, 0, VER_SUITE_SINGLEUSERTS, VER_NT_WORKSTATION,
       PRODUCT_PROFESSIONAL, PROCESSOR_ARCHITECTURE_AMD64},
      {"Windows 7 SP1, 32-bit",
       LegacyVersion("6.1", "7601") + std::vector<HiveEdit>{{kCurrentVersion, "CSDVersion", "Service Pack 1"},
                                                            {kProductOptions, "ProductInfo", 3u},
                                                            {kEnvironment, "PROCESSOR_ARCHITECTURE", "x86"}},
       6, 1, 7601, "Service Pack 1", 1, 0, VER_SUITE_SINGLEUSERTS, VER_NT_WORKSTATION, PRODUCT_HOME_PREMIUM,
       PROCESSOR_ARCHITECTURE_INTEL},
      {"Server 2012 R2 Datacenter",
       LegacyVersion("6.3", "9600") + std::vector<HiveEdit>{{kProductOptions, "OSProductType", 3u},
                                                            {kProductOptions, "SuiteMask", 0x90u},
                                                            {kProductOptions, "ProductInfo", 8u}},
       6, 3, 9600, "", 0, 0, 0x90, VER_NT_SERVER, PRODUCT_DATACENTER_SERVER, PROCESSOR_ARCHITECTURE_AMD64},
      {"service pack numbers kept apart from the text",
       {{kCurrentVersion, "CSDVersion", "Service Pack 2"}, {kWindows, "CSDVersion", 0x0201u}}, 10, 0, 19045,
       "Service Pack 2", 2, 1, VER_SUITE_SINGLEUSERTS, VER_NT_WORKSTATION, PRODUCT_PROFESSIONAL,
       PROCESSOR_ARCHITECTURE_AMD64},
      {"product type from the ProductType text",
       {{kProductOptions, "OSProductType"}, {kProductOptions, "ProductType", "LanmanNT"}}, 10, 0, 19045, "", 0, 0,
       VER_SUITE_SINGLEUSERTS, VER_NT_DOMAIN_CONTROLLER, PRODUCT_PROFESSIONAL, PROCESSOR_ARCHITECTURE_AMD64},
      {"build from CurrentBuild", {{kCurrentVersion, "CurrentBuildNumber"}, {kCurrentVersion, "CurrentBuild", "17763"}},
       10, 0, 17763, "", 0, 0, VER_SUITE_SINGLEUSERTS, VER_NT_WORKSTATION, PRODUCT_PROFESSIONAL,
       PROCESSOR_ARCHITECTURE_AMD64},
      {"ARM64", {{kEnvironment, "PROCESSOR_ARCHITECTURE", "ARM64"}}, 10, 0, 19045, "", 0, 0, VER_SUITE_SINGLEUSERTS,
       VER_NT_WORKSTATION, PRODUCT_PROFESSIONAL, PROCESSOR_ARCHITECTURE_ARM64},
      {"unknown architecture", {{kEnvironment, "PROCESSOR_ARCHITECTURE", "SPARC"}}, 10, 0, 19045, "", 0, 0,
       VER_SUITE_SINGLEUSERTS, VER_NT_WORKSTATION, PRODUCT_PROFESSIONAL, PROCESSOR_ARCHITECTURE_UNKNOWN},
  };
  for (const auto& c : cases) {
    qvtest::TempHive hive;
    qvtest::ApplyHiveEdits(c.edits);

    OSVERSIONINFOEXA ex;
    std::memset(&ex, 0x5A, sizeof ex);
    ex.dwOSVersionInfoSize = sizeof ex;
    SetLastError(kSentinel);
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex))) << c.name << ": " << GetLastError();
    EXPECT_EQ(ex.dwMajorVersion, c.major) << c.name;
    EXPECT_EQ(ex.dwMinorVersion, c.minor) << c.name;
    EXPECT_EQ(ex.dwBuildNumber, c.build) << c.name;
    EXPECT_EQ(ex.dwPlatformId, VER_PLATFORM_WIN32_NT) << c.name;
    EXPECT_STREQ(ex.szCSDVersion, c.servicePack) << c.name;
    EXPECT_EQ(ex.wServicePackMajor, c.spMajor) << c.name;
    EXPECT_EQ(ex.wServicePackMinor, c.spMinor) << c.name;
    EXPECT_EQ(ex.wSuiteMask, c.suite) << c.name;
    EXPECT_EQ(ex.wProductType, c.productType) << c.name;
    EXPECT_EQ(ex.wReserved, 0) << c.name;

    // The plain structure gets the same numbers and nothing past its end.
    struct {
      OSVERSIONINFOA info;
      BYTE guard[8];
    } plain;
    std::memset(&plain, 0x5A, sizeof plain);
    plain.info.dwOSVersionInfoSize = sizeof plain.info;
    ASSERT_TRUE(GetVersionExA(&plain.info)) << c.name;
    EXPECT_EQ(plain.info.dwMajorVersion, c.major) << c.name;
    EXPECT_EQ(plain.info.dwBuildNumber, c.build) << c.name;
    EXPECT_EQ(plain.guard[0], 0x5A) << c.name;

    DWORD product = kSentinel;
    EXPECT_TRUE(GetProductInfo(c.major, c.minor, c.spMajor, c.spMinor, &product)) << c.name;
    EXPECT_EQ(product, c.product) << c.name;

    SYSTEM_INFO native, plainInfo;
    GetNativeSystemInfo(&native);
    GetSystemInfo(&plainInfo);
    EXPECT_EQ(native.wProcessorArchitecture, c.architecture) << c.name;
    EXPECT_EQ(plainInfo.wProcessorArchitecture, c.architecture) << c.name;
  }
}

TEST(GetVersionExA, FailuresLeaveTheStructureAlone) {
  struct Case {
    const char* name;
    DWORD size;
    std::vector<HiveEdit> edits;
    DWORD error;
  };
  const std::vector<Case> cases = {
      {"size 0", 0, {}, ERROR_INSUFFICIENT_BUFFER},
      {"one short of the plain size", sizeof(OSVERSIONINFOA) - 1, {}, ERROR_INSUFFICIENT_BUFFER},
      {"one past the extended size", sizeof(OSVERSIONINFOEXA) + 1, {}, ERROR_INSUFFICIENT_BUFFER},
      {"the wide structure's size", 276, {}, ERROR_INSUFFICIENT_BUFFER},
      {"no build number", sizeof(OSVERSIONINFOEXA),
       {{kCurrentVersion, "CurrentBuildNumber"}, {kCurrentVersion, "CurrentBuild"}}, ERROR_FILE_NOT_FOUND},
      {"no version at all", sizeof(OSVERSIONINFOEXA),
       {{kCurrentVersion, "CurrentMajorVersionNumber"}, {kCurrentVersion, "CurrentVersion"}}, ERROR_FILE_NOT_FOUND},
      {"version text that is no number", sizeof(OSVERSIONINFOEXA), LegacyVersion("six", "7601"), ERROR_INVALID_DATA},
      {"build text that is no number", sizeof(OSVERSIONINFOEXA), {{kCurrentVersion, "CurrentBuildNumber", "19045a"}},
       ERROR_INVALID_DATA},
  };
  for (const auto& c : cases) {
    qvtest::TempHive hive;
    qvtest::ApplyHiveEdits(c.edits);
    OSVERSIONINFOEXA ex;
    std::memset(&ex, 0x5A, sizeof ex);
    ex.dwOSVersionInfoSize = c.size;
    SetLastError(kSentinel);
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex))) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
    EXPECT_EQ(ex.dwMajorVersion, 0x5A5A5A5Au) << c.name;
  }
  SetLastError(kSentinel);
  EXPECT_FALSE(GetVersionExA(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(GetProductInfo, MissingValueAndNullPointer) {
  qvtest::TempHive hive;
  qvtest::ApplyHiveEdits({{kProductOptions, "ProductInfo"}});
  DWORD product = kSentinel;
  SetLastError(kSentinel);
  EXPECT_FALSE(GetProductInfo(10, 0, 0, 0, &product));
  EXPECT_EQ(product, PRODUCT_UNDEFINED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  SetLastError(kSentinel);
  EXPECT_FALSE(GetProductInfo(10, 0, 0, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(GetNativeSystemInfo, ProcessorsAndPagesAreTheMachines) {
  qvtest::TempHive hive;
  SYSTEM_INFO info;
  GetNativeSystemInfo(&info);
  EXPECT_EQ(info.dwNumberOfProcessors, static_cast<DWORD>(sysconf(_SC_NPROCESSORS_ONLN)));
  EXPECT_EQ(info.dwPageSize, static_cast<DWORD>(sysconf(_SC_PAGESIZE)));
  EXPECT_EQ(static_cast<DWORD>(__builtin_popcountll(info.dwActiveProcessorMask)), info.dwNumberOfProcessors);
  EXPECT_EQ(info.dwProcessorType, PROCESSOR_AMD_X8664);
  EXPECT_EQ(info.dwAllocationGranularity, 65536u);
}

TEST(IsWow64Process, NeverUnderWow64) {
  struct Case {
    const char* name;
    HANDLE process;
    bool nullResult;
    BOOL result;
    DWORD error;
  };
  const std::vector<Case> cases = {
      {"current process", INVALID_HANDLE_VALUE, false, TRUE, kSentinel},
      {"null handle", nullptr, false, FALSE, ERROR_INVALID_HANDLE},
      {"unknown handle", reinterpret_cast<HANDLE>(0x7ff0), false, FALSE, ERROR_INVALID_HANDLE},
      {"null result pointer", INVALID_HANDLE_VALUE, true, FALSE, ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    BOOL wow64 = 7;
    SetLastError(kSentinel);
    EXPECT_EQ(IsWow64Process(c.process, c.nullResult ? nullptr : &wow64), c.result) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
    if (c.result) {
      EXPECT_EQ(wow64, FALSE) << c.name;
    }
  }
}

}  // namespace
