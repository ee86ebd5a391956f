#include "advapi32/registry_seed.h"

#include "advapi32/registry.h"

namespace qvplatform::registry {

namespace {
constexpr std::string_view kCurrentVersion = R"(SOFTWARE\Microsoft\Windows NT\CurrentVersion)";
constexpr std::string_view kProductOptions = R"(SYSTEM\CurrentControlSet\Control\ProductOptions)";
constexpr std::string_view kEnvironment = R"(SYSTEM\CurrentControlSet\Control\Session Manager\Environment)";
constexpr std::string_view kTcpip = R"(SYSTEM\CurrentControlSet\Services\Tcpip\Parameters)";
constexpr std::string_view kNetlogon = R"(SYSTEM\CurrentControlSet\Services\Netlogon\Parameters)";
}  // namespace

// Windows 10 Pro 22H2 (build 19045), 64-bit, in the workgroup WORKGROUP. Service pack values
// (CSDVersion, CSDBuildNumber) are absent, as on Windows 10.
const std::vector<SeedValue>& SeedTable() {
  static const std::vector<SeedValue> table = {
      {kCurrentVersion, "ProductName", REG_SZ, "Windows 10 Pro", 0},
      {kCurrentVersion, "EditionID", REG_SZ, "Professional", 0},
      {kCurrentVersion, "InstallationType", REG_SZ, "Client", 0},
      {kCurrentVersion, "CurrentVersion", REG_SZ, "6.3", 0},
      {kCurrentVersion, "CurrentMajorVersionNumber", REG_DWORD, {}, 10},
      {kCurrentVersion, "CurrentMinorVersionNumber", REG_DWORD, {}, 0},
      {kCurrentVersion, "CurrentBuild", REG_SZ, "19045", 0},
      {kCurrentVersion, "CurrentBuildNumber", REG_SZ, "19045", 0},
      {kCurrentVersion, "UBR", REG_DWORD, {}, 3803},
      {kCurrentVersion, "ReleaseId", REG_SZ, "2009", 0},
      {kCurrentVersion, "DisplayVersion", REG_SZ, "22H2", 0},
      {kCurrentVersion, "CurrentType", REG_SZ, "Multiprocessor Free", 0},
      {kCurrentVersion, "SystemRoot", REG_SZ, R"(C:\Windows)", 0},
      // Product type as Windows keeps it, plus what the version functions report: the
      // GetProductInfo product type (PRODUCT_PROFESSIONAL), the OSVERSIONINFOEX product type
      // (VER_NT_WORKSTATION) and suite mask (VER_SUITE_SINGLEUSERTS).
      {kProductOptions, "ProductType", REG_SZ, "WinNT", 0},
      {kProductOptions, "ProductInfo", REG_DWORD, {}, 0x30},
      {kProductOptions, "OSProductType", REG_DWORD, {}, 1},
      {kProductOptions, "SuiteMask", REG_DWORD, {}, 0x100},
      {kEnvironment, "PROCESSOR_ARCHITECTURE", REG_SZ, "AMD64", 0},
      {kEnvironment, "OS", REG_SZ, "Windows_NT", 0},
      {kEnvironment, "windir", REG_EXPAND_SZ, "%SystemRoot%", 0},
      {kEnvironment, "ComSpec", REG_EXPAND_SZ, R"(%SystemRoot%\system32\cmd.exe)", 0},
      // Domain membership: an empty Domain means a workgroup member (the workgroup's name in
      // Netlogon's Workgroup); a domain member has the domain's DNS name in Domain and its flat
      // name in Netlogon's DomainName, and DomainController names its domain controller ("\\NAME";
      // empty: none can be found).
      {kTcpip, "Domain", REG_SZ, "", 0},
      {kNetlogon, "Workgroup", REG_SZ, "WORKGROUP", 0},
      {kNetlogon, "DomainName", REG_SZ, "", 0},
      {kNetlogon, "DomainController", REG_SZ, "", 0},
      {kNetlogon, "DomainControllerAddress", REG_SZ, "", 0},
      {kNetlogon, "DnsForestName", REG_SZ, "", 0},
      {kNetlogon, "DcSiteName", REG_SZ, "", 0},
      {kNetlogon, "ClientSiteName", REG_SZ, "", 0},
  };
  return table;
}

}  // namespace qvplatform::registry
