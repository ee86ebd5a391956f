#include "kernel32/version.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "advapi32/hive_values.h"
#include "kernel32/errors.h"

namespace {

constexpr const char* kCurrentVersion = R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)";
constexpr const char* kWindows = R"(SYSTEM\CurrentControlSet\Control\Windows)";
constexpr const char* kProductOptions = R"(SYSTEM\CurrentControlSet\Control\ProductOptions)";

using qvplatform::ReadHiveDword;
using qvplatform::ReadHiveText;

// A decimal number filling the whole text.
std::optional<DWORD> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 10);
  if (*end != '\0' || text[0] == '-' || text[0] == '+') return std::nullopt;
  return static_cast<DWORD>(value);
}

struct Version {
  DWORD major = 0, minor = 0, build = 0;
  std::string servicePack;
  WORD spMajor = 0, spMinor = 0, suiteMask = 0;
  BYTE productType = VER_NT_WORKSTATION;
};

// ERROR_SUCCESS with `version` filled, or the code of the value that could not be read.
LSTATUS ReadVersion(Version& version) {
  auto major = ReadHiveDword(HKEY_LOCAL_MACHINE, kCurrentVersion, "CurrentMajorVersionNumber");
  auto minor = ReadHiveDword(HKEY_LOCAL_MACHINE, kCurrentVersion, "CurrentMinorVersionNumber");
  if (major && minor) {
    version.major = *major;
    version.minor = *minor;
  } else {
    auto text = ReadHiveText(HKEY_LOCAL_MACHINE, kCurrentVersion, "CurrentVersion");
    if (!text) return text.error;
    size_t dot = text->find('.');
    auto parsedMajor = ParseNumber(text->substr(0, dot));
    auto parsedMinor = dot == std::string::npos ? std::optional<DWORD>(0) : ParseNumber(text->substr(dot + 1));
    if (!parsedMajor || !parsedMinor) return ERROR_INVALID_DATA;
    version.major = *parsedMajor;
    version.minor = *parsedMinor;
  }

  auto build = ReadHiveText(HKEY_LOCAL_MACHINE, kCurrentVersion, "CurrentBuildNumber");
  if (!build) build = ReadHiveText(HKEY_LOCAL_MACHINE, kCurrentVersion, "CurrentBuild");
  if (!build) return build.error;
  auto buildNumber = ParseNumber(*build);
  if (!buildNumber) return ERROR_INVALID_DATA;
  version.build = *buildNumber;

  if (auto text = ReadHiveText(HKEY_LOCAL_MACHINE, kCurrentVersion, "CSDVersion")) version.servicePack = *text;
  if (auto packed = ReadHiveDword(HKEY_LOCAL_MACHINE, kWindows, "CSDVersion")) {
    version.spMajor = static_cast<WORD>((*packed >> 8) & 0xFF);
    version.spMinor = static_cast<WORD>(*packed & 0xFF);
  } else if (version.servicePack.rfind("Service Pack ", 0) == 0) {
    version.spMajor = static_cast<WORD>(std::atoi(version.servicePack.c_str() + std::strlen("Service Pack ")));
  }

  if (auto suite = ReadHiveDword(HKEY_LOCAL_MACHINE, kProductOptions, "SuiteMask")) {
    version.suiteMask = static_cast<WORD>(*suite);
  }
  if (auto type = ReadHiveDword(HKEY_LOCAL_MACHINE, kProductOptions, "OSProductType")) {
    version.productType = static_cast<BYTE>(*type);
  } else if (auto text = ReadHiveText(HKEY_LOCAL_MACHINE, kProductOptions, "ProductType")) {
    if (strcasecmp(text->c_str(), "LanmanNT") == 0) version.productType = VER_NT_DOMAIN_CONTROLLER;
    if (strcasecmp(text->c_str(), "ServerNT") == 0) version.productType = VER_NT_SERVER;
  }
  return ERROR_SUCCESS;
}

}  // namespace

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
  if (info == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD size = info->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  Version version;
  if (LSTATUS code = ReadVersion(version); code != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(code));
    return FALSE;
  }
  info->dwMajorVersion = version.major;
  info->dwMinorVersion = version.minor;
  info->dwBuildNumber = version.build;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  std::strncpy(info->szCSDVersion, version.servicePack.c_str(), sizeof info->szCSDVersion - 1);
  if (size == sizeof(OSVERSIONINFOEXA)) {
    auto* extended = reinterpret_cast<LPOSVERSIONINFOEXA>(info);
    extended->wServicePackMajor = version.spMajor;
    extended->wServicePackMinor = version.spMinor;
    extended->wSuiteMask = version.suiteMask;
    extended->wProductType = version.productType;
    extended->wReserved = 0;
  }
  return TRUE;
}

BOOL GetProductInfo(DWORD, DWORD, DWORD, DWORD, PDWORD productType) {
  if (productType == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto product = ReadHiveDword(HKEY_LOCAL_MACHINE, kProductOptions, "ProductInfo");
  if (!product) {
    *productType = PRODUCT_UNDEFINED;
    SetLastError(static_cast<DWORD>(product.error));
    return FALSE;
  }
  *productType = *product;
  return TRUE;
}
