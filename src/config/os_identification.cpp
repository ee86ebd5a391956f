#include "config/os_identification.h"

#include <cstring>

#include "config/os_naming.h"
#include "logging/log_core.h"

namespace {

// GetVersionExA with the extended structure, else with the plain one.
bool ReadVersion(OsFacts& facts) {
  OSVERSIONINFOEXA extended{};
  extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
    facts.extended = true;
    facts.servicePackMajor = extended.wServicePackMajor;
    facts.servicePackMinor = extended.wServicePackMinor;
    facts.suiteMask = extended.wSuiteMask;
    facts.productType = extended.wProductType;
  } else {
    std::memset(&extended, 0, sizeof(extended));
    extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) return false;
  }
  facts.majorVersion = extended.dwMajorVersion;
  facts.minorVersion = extended.dwMinorVersion;
  facts.buildNumber = extended.dwBuildNumber;
  facts.platformId = extended.dwPlatformId;
  facts.servicePackText.assign(extended.szCSDVersion, strnlen(extended.szCSDVersion, sizeof(extended.szCSDVersion)));
  return true;
}

}  // namespace

int GetOsFamily() {
  OSVERSIONINFOEXA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
    LogError("GetOsFamily : Unable to find the OSVersion , Errorcode %d \n", GetLastError());
    return 1;
  }
  const DWORD major = version.dwMajorVersion;
  const DWORD minor = version.dwMinorVersion;
  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT || major <= 4) {
    LogError("GetOsFamily :The windows is unable to found . \n");
    return -1;
  }
  if (major == 5) {
    if (minor == 0) return 0;
    if (minor == 1 || minor == 2) return 1;
    return 7;
  }
  if (major == 6 && minor <= 3) return 2 + static_cast<int>(minor);
  if (major == 10 && minor == 0) return 6;
  return 7;
}

int isWin7orWin8() {
  const std::optional<std::string> name = GetOSNameEx(0, 0);
  LogDebug("isWin7orWin8 : GetOSName %s\n", name ? name->c_str() : nullptr);
  const int family = GetOsFamily();
  if (family == 3 || family == 4) {
    LogDebug("isWin7orWin8 : TRUE\n");
    return 1;
  }
  LogDebug("isWin7orWin8 : FALSE\n");
  return 0;
}

std::optional<std::string> GetOSNameEx(DWORD major, DWORD minor) {
  OsFacts facts;
  SYSTEM_INFO systemInfo{};
  GetNativeSystemInfo(&systemInfo);
  facts.processorArchitecture = systemInfo.wProcessorArchitecture;
  if (!ReadVersion(facts)) return std::nullopt;
  DWORD productType = 0;
  if (GetProductInfo(facts.majorVersion, facts.minorVersion, facts.servicePackMajor, facts.servicePackMinor,
                     &productType)) {
    facts.productInfo = productType;
  }
  return BuildOsName(facts, major, minor);
}
