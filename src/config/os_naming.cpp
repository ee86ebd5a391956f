#include "config/os_naming.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "config/os_identification.h"
#include "config/registry_access.h"
#include "logging/log_core.h"

namespace {

constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kProductOptionsKey = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr size_t kMaxNameLength = 99;
constexpr const char* kBeta = "Beta";

// The LTSB/LTSC families named by build number.
const char* LongTermEdition(DWORD productType, DWORD buildNumber) {
  static const char* const kNames[4][4] = {
      // 14393, 10240, 17763, other
      {"Enterprise 2016 LTSB", "Enterprise 2015 LTSB", "Enterprise 2019 LTSC", "Enterprise LTSC"},
      {"Enterprise 2016 LTSB N", "Enterprise 2015 LTSB N", "Enterprise 2019 LTSC N", "Enterprise LTSC N"},
      {"Enterprise 2016 LTSB Evaluation", "Enterprise 2015 LTSB Evaluation", "Enterprise 2019 LTSC Evaluation",
       "Enterprise LTSC Evaluation"},
      {"Enterprise 2016 LTSB N Evaluation", "Enterprise 2015 LTSB N Evaluation",
       "Enterprise 2019 LTSC N Evaluation", "Enterprise LTSC N Evaluation"},
  };
  const int row = productType == 125 ? 0 : productType == 126 ? 1 : productType == 129 ? 2 : 3;
  const int column = buildNumber == 14393 ? 0 : buildNumber == 10240 ? 1 : buildNumber == 17763 ? 2 : 3;
  return kNames[row][column];
}

const std::unordered_map<DWORD, const char*>& EditionTable() {
  static const std::unordered_map<DWORD, const char*> table = {
      {1, "Ultimate Edition"}, {28, "Ultimate Edition"},
      {2, "Home Basic Edition"}, {5, "Home Basic Edition"}, {67, "Home Basic Edition"},
      {3, "Home Premium Edition"}, {26, "Home Premium Edition"}, {68, "Home Premium Edition"},
      {4, "Enterprise Edition"}, {10, "Enterprise Edition"}, {27, "Enterprise Edition"},
      {6, "Business Edition"}, {16, "Business Edition"},
      {7, "Standard Edition"},
      {8, "Datacenter Edition"},
      {9, "Small Business Server"},
      {11, "Starter"}, {47, "Starter"}, {66, "Starter"},
      {12, "Datacenter Edition (core installation)"},
      {13, "Enterprise Edition (core installation)"},
      {14, "Standard Edition (core installation)"},
      {15, "Itanium-based Enterprise Edition"},
      {17, "Web Server Edition"}, {29, "Web Server Edition"},
      {18, "HPC Edition"},
      {19, "Storage server essentials Edition"},
      {20, "Storage Server Express Edition"},
      {21, "Storage Server Standard Edition"},
      {22, "Storage Server Workgroup Edition"},
      {23, "Storage Server Enterprise Edition"},
      {24, "Essential Server Solutions Edition"},
      {25, "Small Business Server Premium Edition"},
      {30, "Essential Business Server Management Edition"},
      {31, "Essential Business Server Security Edition"},
      {32, "Essential Business Server Messaging Edition"},
      {33, "Foundation Edition"},
      {34, "Windows server Home 2011 Edition"},
      {35, "Essential Server Solutions without Hyper-V Edition"},
      {36, "Standard Edition without Hyper-V"},
      {37, "Datacenter Edition without Hyper-V"},
      {38, "Enterprise Edition without Hyper-V"},
      {39, "Datacenter Edition without Hyper-V (core installation)"},
      {40, "Standard Edition without Hyper-V (core installation)"},
      {41, "Enterprise Edition without Hyper-V (core installation)"},
      {42, "Hyper-V Edition"},
      {43, "Storage Server Express (core installation) Edition"},
      {44, "Storage Server Standard (core installation) Edition"},
      {45, "Storage Server Workgroup (core installation) Edition"},
      {46, "Storage Server Enterprise (core installation) Edition"},
      {48, "Professional Edition"}, {49, "Professional Edition"}, {69, "Professional Edition"},
      {50, "Essentials Edition"},
      {51, "SB Solutions Edition"},
      {52, "Solutions Premium Edition"},
      {53, "Solutions Premium (core installation) Edition"},
      {54, "SB Solutions EM Edition"}, {55, "SB Solutions EM Edition"},
      {56, "MultiPoint Edition"},
      {57, "MultiPoint (Core Installation) Edition"},
      {59, "Essential Server Solution Management Edition"}, {60, "Essential Server Solution Management Edition"},
      {61, "Essential Server Solution Management SVC Edition"},
      {62, "Essential Server Solution Additional SVC Edition"},
      {63, "Small Business Server Premium (core installation) Edition"},
      {64, "Hyper Core V Edition"},
      {65, "Embedded Standard Edition"},
      {70, "Enterprise E Edition"},
      {72, "Enterprise Evaluation"},
      {76, "MultiPoint Standard Edition"},
      {77, "MultiPoint Premium Edition"},
      {79, "Server Standard (evaluation installation) Edition"},
      {80, "Datacenter (evaluation installation) Edition"},
      {84, "Enterprise N Evaluation"},
      {95, "Storage Server Workgroup (evaluation installation) Edition"},
      {96, "Storage Server Standard (evaluation installation) Edition"},
      {101, "Home"},
      {103, "Professional with Media Center Edition"},
      {121, "Education"},
      {122, "Education N"},
      {123, "IoT Core"},
      {131, "IoT Core Commercial"},
      {145, "Datacenter Semi-Annual Channel (core installation) Edition"},
      {146, "Standard Semi-Annual Channel (core installation) Edition"},
      {161, "Pro for Workstations"},
      {162, "Pro for Workstations N"},
  };
  return table;
}

bool IsUnnamedConsumerType(DWORD productType) { return productType >= 98 && productType <= 100; }

std::string Format(const char* pattern, const char* first, const char* second = nullptr) {
  return qvplatform::Format(pattern, first, second);
}

// The name cut to its longest form, on a UTF-8 character boundary.
std::string Bounded(std::string name) {
  if (name.size() <= kMaxNameLength) return name;
  size_t cut = kMaxNameLength;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  name.resize(cut);
  return name;
}

// Without an edition the pattern's blank before it goes too.
std::string WithoutEmptyEdition(std::string name) {
  size_t pos;
  while ((pos = name.find("  ")) != std::string::npos) name.erase(pos, 1);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

std::string PatternName(const OsFacts& facts, DWORD major, DWORD minor, const std::string& edition) {
  const bool workstation = facts.productType == 1;
  const bool x64 = facts.processorArchitecture == kArchitectureAmd64;
  const char* e = edition.c_str();
  const auto pick = [&](const char* plain, const char* wide) { return Format(x64 ? wide : plain, e); };
  if (major == 6 && minor == 0) {
    return workstation ? pick("Windows Vista %s", "Windows Vista %s (x64)")
                       : pick("Windows Server 2008 %s", "Windows Server 2008 %s (x64)");
  }
  if (major == 6 && minor == 1) {
    return workstation ? pick("Windows 7 %s", "Windows 7 %s (x64)")
                       : pick("Windows Server 2008 R2 %s", "Windows Server 2008 R2 %s (x64)");
  }
  if (major == 6 && minor == 2) {
    return workstation ? pick("Windows 8 %s", "Windows 8 %s (x64)") : Format("Windows Server 2012 %s (x64)", e);
  }
  if (major == 6 && minor == 3) {
    return workstation ? pick("Windows 8.1 %s", "Windows 8.1 %s (x64)") : Format("Windows Server 2012 R2 %s (x64)", e);
  }
  if (major == 10 && minor == 0) {
    if (workstation) return pick("Windows 10 %s", "Windows 10 %s (x64)");
    switch (facts.buildNumber) {
      case 14393:
      case 16299:
      case 17134:
        return Format("Windows Server 2016 %s (x64)", e);
      case 17763:
        return Format("Windows Server 2019 %s (x64)", e);
      default: {
        std::string release;
        if (getOSVersionFromReg(facts.buildNumber, release) == 0) {
          return Format("Windows Server version %s %s (x64)", release.c_str(), e);
        }
        return Format("Windows Server %s (x64)", e);
      }
    }
  }
  return std::string();
}

std::string NameWithProductType(const OsFacts& facts, DWORD major, DWORD minor) {
  const DWORD productType = *facts.productInfo;
  LogDebug("Current Build Number: %ld \n", static_cast<LONG>(facts.buildNumber));
  std::string edition;
  if (!IsUnnamedConsumerType(productType)) {
    std::optional<std::string> text = EditionText(productType, facts.buildNumber);
    if (text) {
      edition = *text;
    } else {
      LogInfo("dwPlatformInfo : %d\n", productType);
      LogInfo("dwMajorVersion : %d\n", major);
      LogInfo("dwMinorVersion : %d\n", minor);
      LogError("Edition can't be retrieved. So Assuming it as Beta\n");
      edition = kBeta;
    }
  } else if (facts.productType == 1) {
    const char* base = major == 6 && minor == 2 ? "Windows 8"
                       : major == 6 && minor == 3 ? "Windows 8.1"
                       : major == 10 && minor == 0 ? "Windows 10"
                                                   : nullptr;
    if (base != nullptr) {
      std::string name = base;
      if (facts.processorArchitecture == kArchitectureAmd64) name += " (x64)";
      LogDebug("Returning with OS Name %s\n", name.c_str());
      return name;
    }
  }

  std::optional<std::string> productName;
  if (ReadRegSZ(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProductName", productName) == ERROR_SUCCESS && productName &&
      productName->find("Preview") != std::string::npos) {
    LogInfo("OS Name detected from registry is : %s\n", productName->c_str());
    edition = kBeta;
  }
  std::string name = PatternName(facts, major, minor, edition);
  return edition.empty() ? WithoutEmptyEdition(name) : name;
}

// ProductOptions' ProductType, read as the oldest systems keep it.
std::optional<std::string> ReadLegacyProductType() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductOptionsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  char buffer[1024] = {};
  DWORD size = sizeof(buffer);
  LONG code = RegQueryValueExA(key, "ProductType", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (code != ERROR_SUCCESS || size > sizeof(buffer)) return std::nullopt;
  return std::string(buffer, strnlen(buffer, size));
}

const char* NtPrefix(const OsFacts& facts) {
  const DWORD major = facts.majorVersion;
  const DWORD minor = facts.minorVersion;
  if (major <= 4) return "Windows NT ";
  if (major == 5 && minor == 0) return "Windows 2000 ";
  if (major == 5 && minor == 1) return "Windows XP ";
  if (major == 5 && minor == 2) {
    return facts.productType == 1 && facts.processorArchitecture == kArchitectureAmd64 ? "Windows XP "
                                                                                       : "Windows Server 2003";
  }
  return nullptr;
}

std::string NtSuffix(const OsFacts& facts) {
  const DWORD major = facts.majorVersion;
  const DWORD minor = facts.minorVersion;
  const WORD suite = facts.suiteMask;
  const bool x64 = facts.processorArchitecture == kArchitectureAmd64;
  if (facts.productType == 1) {
    if (!x64) {
      if (major == 4) return "Workstation 4.0";
      if (suite & 0x200) return "Home Edition ";
      return "Professional";
    }
    return major == 5 && minor == 2 ? "Professional x64 Edition" : "";
  }
  if (facts.productType != 2 && facts.productType != 3) return "";
  if (major == 5 && minor == 2) {
    if (x64) {
      if (suite & 0x2) return ", Enterprise x64 Edition";
      if (suite & 0x80) return ", Datacenter x64 Edition";
      return ", Standard x64 Edition";
    }
    if (suite & 0x80) return ", Datacenter Edition";
    if (suite & 0x2) return ", Enterprise Edition";
    if (suite & 0x400) return ", Web Edition";
    if (suite & (0x1 | 0x20)) return " for Small Business Server";
    return ", Standard Edition";
  }
  if (major == 5 && minor == 0) {
    if (suite & 0x80) return "Datacenter Server";
    if (suite & 0x2) return "Advanced Server";
    return "Server";
  }
  return (suite & 0x10) ? "Server 4.0, Terminal Server Edition" : "Server 4.0";
}

std::optional<std::string> LegacyName(const OsFacts& facts) {
  const DWORD major = facts.majorVersion;
  const DWORD minor = facts.minorVersion;
  switch (facts.platformId) {
    case 0:
      return std::string("Win32s");
    case 1:
      if (major == 4 && minor == 0) return std::string("Windows 95");
      if (major == 4 && minor == 10) {
        return std::string(facts.servicePackText.size() > 1 && facts.servicePackText[1] == 'A' ? "Windows 98 SE"
                                                                                               : "Windows 98");
      }
      if (major == 4 && minor == 90) return std::string("Windows Millennium Edition");
      return std::string();
    case 2:
      break;
    default:
      return std::string();
  }
  const char* prefix = NtPrefix(facts);
  if (facts.extended) return Format("%s%s", prefix, NtSuffix(facts).c_str());
  std::optional<std::string> productType = ReadLegacyProductType();
  if (!productType) return std::nullopt;
  const char* suffix = strcasecmp(productType->c_str(), "WINNT") == 0      ? "Workstation"
                       : strcasecmp(productType->c_str(), "LANMANNT") == 0 ? "Server"
                       : strcasecmp(productType->c_str(), "SERVERNT") == 0 ? "Advanced Server"
                                                                           : "";
  return qvplatform::Format("%s%s %d.%d", prefix, suffix, static_cast<int>(major), static_cast<int>(minor));
}

}  // namespace

int getOSVersionFromReg(DWORD buildNumber, std::string& version) {
  std::optional<std::string> release;
  int result = 0;
  if (ReadRegSZ64(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ReleaseId", release) == ERROR_SUCCESS && release) {
    LogInfo("getOSVersionFromReg : version retreived from release id key\n");
    version = *release;
  } else if (buildNumber == 10240) {
    version = "1507";
  } else {
    version = "unknown";
    result = 1;
  }
  LogInfo("getOSVersionFromReg : the version is %s\n", version.c_str());
  return result;
}

std::optional<std::string> EditionText(DWORD productType, DWORD buildNumber) {
  if (productType == 125 || productType == 126 || productType == 129 || productType == 130) {
    return std::string(LongTermEdition(productType, buildNumber));
  }
  const auto& table = EditionTable();
  auto it = table.find(productType);
  if (it == table.end()) return std::nullopt;
  return std::string(it->second);
}

std::optional<std::string> BuildOsName(const OsFacts& facts, DWORD major, DWORD minor) {
  if (!facts.productInfo) {
    std::optional<std::string> name = LegacyName(facts);
    if (!name) return std::nullopt;
    return Bounded(*name);
  }
  LogDebug("GetOSNameEx : dwMinorVersion : %d\n", minor);
  LogDebug("GetOSNameEx : dwMajorVersion : %d\n", major);
  LogDebug("osvi.dwMajorVersion : %d\n", facts.majorVersion);
  LogDebug("osvi.dwMinorVersion : %d\n", facts.minorVersion);
  LogDebug("osvi.wServicePackMajor : %d\n", facts.servicePackMajor);
  LogDebug("osvi.wServicePackMinor : %d\n", facts.servicePackMinor);
  LogDebug("dwPlatformInfo : %d\n", *facts.productInfo);
  LogDebug("si.wProcessorArchitecture : %d\n", facts.processorArchitecture);
  if (major == 0 && minor == 0) {
    major = facts.majorVersion;
    minor = facts.minorVersion;
  }
  return Bounded(NameWithProductType(facts, major, minor));
}
