// The version of the emulated Windows, as the hive describes it.
#pragma once

#include "types.h"

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};
using LPOSVERSIONINFOA = OSVERSIONINFOA*;

struct OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
using LPOSVERSIONINFOEXA = OSVERSIONINFOEXA*;

static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(sizeof(OSVERSIONINFOEXA) == 156);

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

constexpr BYTE VER_NT_WORKSTATION = 1;
constexpr BYTE VER_NT_DOMAIN_CONTROLLER = 2;
constexpr BYTE VER_NT_SERVER = 3;

constexpr WORD VER_SUITE_SMALLBUSINESS = 0x0001;
constexpr WORD VER_SUITE_ENTERPRISE = 0x0002;
constexpr WORD VER_SUITE_BACKOFFICE = 0x0004;
constexpr WORD VER_SUITE_TERMINAL = 0x0010;
constexpr WORD VER_SUITE_SMALLBUSINESS_RESTRICTED = 0x0020;
constexpr WORD VER_SUITE_EMBEDDEDNT = 0x0040;
constexpr WORD VER_SUITE_DATACENTER = 0x0080;
constexpr WORD VER_SUITE_SINGLEUSERTS = 0x0100;
constexpr WORD VER_SUITE_PERSONAL = 0x0200;
constexpr WORD VER_SUITE_BLADE = 0x0400;
constexpr WORD VER_SUITE_STORAGE_SERVER = 0x2000;
constexpr WORD VER_SUITE_COMPUTE_SERVER = 0x4000;
constexpr WORD VER_SUITE_WH_SERVER = 0x8000;

constexpr DWORD PRODUCT_UNDEFINED = 0x00000000;
constexpr DWORD PRODUCT_ULTIMATE = 0x00000001;
constexpr DWORD PRODUCT_HOME_PREMIUM = 0x00000003;
constexpr DWORD PRODUCT_ENTERPRISE = 0x00000004;
constexpr DWORD PRODUCT_STANDARD_SERVER = 0x00000007;
constexpr DWORD PRODUCT_DATACENTER_SERVER = 0x00000008;
constexpr DWORD PRODUCT_PROFESSIONAL = 0x00000030;
constexpr DWORD PRODUCT_CORE = 0x00000065;
constexpr DWORD PRODUCT_UNLICENSED = 0xABCDABCD;

// Fills the structure whose dwOSVersionInfoSize is sizeof(OSVERSIONINFOA) or
// sizeof(OSVERSIONINFOEXA) (any other size: FALSE with ERROR_INSUFFICIENT_BUFFER; a null pointer:
// ERROR_INVALID_PARAMETER). The platform is always VER_PLATFORM_WIN32_NT. The other fields come
// from HKLM (a missing key or value fails with the registry's code, usually ERROR_FILE_NOT_FOUND):
//   SOFTWARE\Microsoft\Windows NT\CurrentVersion
//     CurrentMajorVersionNumber, CurrentMinorVersionNumber (REG_DWORD), or else CurrentVersion
//     ("6.1"); CurrentBuildNumber (or CurrentBuild) as decimal text; CSDVersion (text, optional)
//   SYSTEM\CurrentControlSet\Control\Windows
//     CSDVersion (REG_DWORD, optional): service pack major in bits 8-15, minor in bits 0-7; without
//     it the major number is read from a "Service Pack <n>" text
//   SYSTEM\CurrentControlSet\Control\ProductOptions
//     SuiteMask (REG_DWORD, default 0); OSProductType (REG_DWORD 1-3), or else ProductType
//     ("WinNT" workstation, "LanmanNT" domain controller, "ServerNT" server)
// The version is the true one, as for a program whose manifest declares Windows 10 support.
BOOL GetVersionExA(LPOSVERSIONINFOA versionInformation);

// The product type (PRODUCT_*) of the running system: the REG_DWORD ProductInfo of
// HKLM\SYSTEM\CurrentControlSet\Control\ProductOptions, whatever version numbers are passed. A null
// `productType` fails with ERROR_INVALID_PARAMETER; a missing value gives PRODUCT_UNDEFINED and
// FALSE with the registry's code.
BOOL GetProductInfo(DWORD osMajorVersion, DWORD osMinorVersion, DWORD spMajorVersion, DWORD spMinorVersion,
                    PDWORD productType);
