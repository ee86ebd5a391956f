// Naming of the Windows version from the facts the version functions report, with the registry values
// it consults (ProductName, ReleaseId, ProductOptions' ProductType) edited per case.
#include "config/os_naming.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/os_identification.h"
#include "config/registry_access.h"
#include "support/log_capture.h"
#include "support/temp_hive.h"

namespace {

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kProductOptions = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr WORD kX86 = 0;
constexpr WORD kX64 = 9;

// Sets a text value, or removes it for nullopt.
void SetOrRemove(const char* key, const char* name, const std::optional<std::string>& text) {
  if (text) {
    ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, key, name, text->c_str(), REG_SZ), 0);
  } else {
    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &handle), 0);
    RegDeleteValueA(handle, name);
    RegCloseKey(handle);
  }
}

OsFacts Nt(DWORD major, DWORD minor, DWORD build, BYTE productType, WORD architecture,
           std::optional<DWORD> productInfo) {
  OsFacts facts;
  facts.majorVersion = major;
  facts.minorVersion = minor;
  facts.buildNumber = build;
  facts.platformId = 2;
  facts.extended = true;
  facts.productType = productType;
  facts.processorArchitecture = architecture;
  facts.productInfo = productInfo;
  return facts;
}

struct NameCase {
  const char* label;
  OsFacts facts;
  std::optional<std::string> productName;  // CurrentVersion's ProductName (nullopt: absent)
  std::optional<std::string> releaseId;    // CurrentVersion's ReleaseId (nullopt: absent)
  DWORD major;
  DWORD minor;
  std::optional<std::string> name;
};

void RunNameCases(const std::vector<NameCase>& cases) {
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.label);
    qvtest::TempHive hive;
    SetOrRemove(kCurrentVersion, "ProductName", c.productName);
    SetOrRemove(kCurrentVersion, "ReleaseId", c.releaseId);
    EXPECT_EQ(BuildOsName(c.facts, c.major, c.minor), c.name);
  }
}

TEST(OsNamingTest, NamesWithProductType) {
  const std::string pro = "Windows 10 Pro";
  const std::vector<NameCase> cases = {
      {"Windows 10 Pro 64-bit", Nt(10, 0, 19041, 1, kX64, 48), pro, "2009", 0, 0,
       "Windows 10 Professional Edition (x64)"},
      {"Windows 10 Pro 32-bit", Nt(10, 0, 19041, 1, kX86, 48), pro, "2009", 0, 0, "Windows 10 Professional Edition"},
      {"Windows 7 SP1 Home Premium 32-bit", Nt(6, 1, 7601, 1, kX86, 3), "Windows 7 Home Premium", std::nullopt, 0, 0,
       "Windows 7 Home Premium Edition"},
      {"Windows Vista Ultimate 64-bit", Nt(6, 0, 6002, 1, kX64, 1), std::nullopt, std::nullopt, 0, 0,
       "Windows Vista Ultimate Edition (x64)"},
      {"Server 2008 Enterprise 32-bit", Nt(6, 0, 6002, 3, kX86, 10), std::nullopt, std::nullopt, 0, 0,
       "Windows Server 2008 Enterprise Edition"},
      {"Server 2008 R2 domain controller", Nt(6, 1, 7601, 2, kX64, 7), std::nullopt, std::nullopt, 0, 0,
       "Windows Server 2008 R2 Standard Edition (x64)"},
      {"Windows 8 Enterprise 32-bit", Nt(6, 2, 9200, 1, kX86, 4), std::nullopt, std::nullopt, 0, 0,
       "Windows 8 Enterprise Edition"},
      {"Server 2012 is x64 whatever the architecture", Nt(6, 2, 9200, 3, kX86, 7), std::nullopt, std::nullopt, 0, 0,
       "Windows Server 2012 Standard Edition (x64)"},
      {"Server 2012 R2 Datacenter", Nt(6, 3, 9600, 3, kX64, 8), std::nullopt, std::nullopt, 0, 0,
       "Windows Server 2012 R2 Datacenter Edition (x64)"},
      {"Server 2012 R2 on a 32-bit report", Nt(6, 3, 9600, 3, kX86, 8), std::nullopt, std::nullopt, 0, 0,
       "Windows Server 2012 R2 Datacenter Edition (x64)"},
      {"Server 2016", Nt(10, 0, 14393, 3, kX64, 7), std::nullopt, "1607", 0, 0,
       "Windows Server 2016 Standard Edition (x64)"},
      {"Server 1709 counts as 2016", Nt(10, 0, 16299, 3, kX64, 145), std::nullopt, "1709", 0, 0,
       "Windows Server 2016 Datacenter Semi-Annual Channel (core installation) Edition (x64)"},
      {"Server 1803 counts as 2016", Nt(10, 0, 17134, 3, kX64, 7), std::nullopt, "1803", 0, 0,
       "Windows Server 2016 Standard Edition (x64)"},
      {"Server 2019", Nt(10, 0, 17763, 3, kX64, 7), std::nullopt, "1809", 0, 0,
       "Windows Server 2019 Standard Edition (x64)"},
      {"Server with a release id", Nt(10, 0, 18362, 3, kX64, 7), std::nullopt, "1903", 0, 0,
       "Windows Server version 1903 Standard Edition (x64)"},
      {"Server without a release id", Nt(10, 0, 18362, 3, kX64, 7), std::nullopt, std::nullopt, 0, 0,
       "Windows Server Standard Edition (x64)"},
      {"Server build 10240 without a release id", Nt(10, 0, 10240, 3, kX64, 7), std::nullopt, std::nullopt, 0, 0,
       "Windows Server version 1507 Standard Edition (x64)"},
      {"product type 100 on Windows 8.1 64-bit", Nt(6, 3, 9600, 1, kX64, 100), std::nullopt, std::nullopt, 0, 0,
       "Windows 8.1 (x64)"},
      {"product type 98 on Windows 8 32-bit", Nt(6, 2, 9200, 1, kX86, 98), std::nullopt, std::nullopt, 0, 0,
       "Windows 8"},
      {"product type 101 on Windows 10", Nt(10, 0, 19045, 1, kX64, 101), "Windows 10 Home", "2009", 0, 0,
       "Windows 10 Home (x64)"},
      {"product type 99 on a server has no edition", Nt(6, 3, 9600, 3, kX64, 99), std::nullopt, std::nullopt, 0, 0,
       "Windows Server 2012 R2 (x64)"},
      {"product type 99 on Windows 7 has no edition", Nt(6, 1, 7601, 1, kX64, 99), std::nullopt, std::nullopt, 0, 0,
       "Windows 7 (x64)"},
      {"Preview in the product name", Nt(10, 0, 19041, 1, kX64, 48), "Windows 10 Pro Insider Preview", "2009", 0, 0,
       "Windows 10 Beta (x64)"},
      {"preview in lower case does not count", Nt(10, 0, 19041, 1, kX64, 48), "Windows 10 Pro preview", "2009", 0, 0,
       "Windows 10 Professional Edition (x64)"},
      {"unknown product type is Beta", Nt(10, 0, 19041, 1, kX64, 200), pro, "2009", 0, 0, "Windows 10 Beta (x64)"},
      {"LTSB 2016", Nt(10, 0, 14393, 1, kX64, 125), std::nullopt, "1607", 0, 0,
       "Windows 10 Enterprise 2016 LTSB (x64)"},
      {"LTSB 2015 N", Nt(10, 0, 10240, 1, kX64, 126), std::nullopt, std::nullopt, 0, 0,
       "Windows 10 Enterprise 2015 LTSB N (x64)"},
      {"LTSC 2019 Evaluation", Nt(10, 0, 17763, 1, kX64, 129), std::nullopt, "1809", 0, 0,
       "Windows 10 Enterprise 2019 LTSC Evaluation (x64)"},
      {"LTSC N Evaluation of a later build", Nt(10, 0, 19044, 1, kX64, 130), std::nullopt, "2009", 0, 0,
       "Windows 10 Enterprise LTSC N Evaluation (x64)"},
      {"version given by the caller", Nt(10, 0, 19045, 1, kX64, 48), pro, "2009", 6, 1,
       "Windows 7 Professional Edition (x64)"},
      {"minor version alone given by the caller", Nt(10, 0, 19045, 1, kX64, 48), pro, "2009", 0, 3, ""},
      {"version outside the table", Nt(5, 1, 2600, 1, kX86, 48), std::nullopt, std::nullopt, 0, 0, ""},
      {"version 6.4 outside the table", Nt(6, 4, 9841, 1, kX64, 48), std::nullopt, std::nullopt, 0, 0, ""},
  };
  RunNameCases(cases);
}

TEST(OsNamingTest, UnknownProductTypeIsLoggedAsBeta) {
  qvtest::TempHive hive;
  qvtest::LogCapture log(4);
  EXPECT_EQ(BuildOsName(Nt(10, 0, 19045, 1, kX64, 200), 0, 0), "Windows 10 Beta (x64)");
  for (const char* line : {"[INFO] dwPlatformInfo : 200", "[INFO] dwMajorVersion : 10", "[INFO] dwMinorVersion : 0",
                           "[ERROR] Edition can't be retrieved. So Assuming it as Beta",
                           "[DEBUG] dwPlatformInfo : 200", "[DEBUG] si.wProcessorArchitecture : 9",
                           "[DEBUG] Current Build Number: 19045 "}) {
    EXPECT_TRUE(log.Has(line)) << line;
  }
}

OsFacts Legacy(DWORD platform, DWORD major, DWORD minor, BYTE productType, WORD suite, WORD architecture,
               bool extended = true, std::string servicePack = "") {
  OsFacts facts = Nt(major, minor, 0, productType, architecture, std::nullopt);
  facts.platformId = platform;
  facts.suiteMask = suite;
  facts.extended = extended;
  facts.servicePackText = std::move(servicePack);
  return facts;
}

TEST(OsNamingTest, NamesWithoutProductType) {
  struct Case {
    const char* label;
    OsFacts facts;
    std::optional<std::string> legacyProductType;  // ProductOptions' ProductType (nullopt: absent)
    std::optional<std::string> name;
  };
  const std::vector<Case> cases = {
      {"Win32s", Legacy(0, 3, 10, 0, 0, kX86), "WinNT", "Win32s"},
      {"Windows 95", Legacy(1, 4, 0, 0, 0, kX86), "WinNT", "Windows 95"},
      {"Windows 98", Legacy(1, 4, 10, 0, 0, kX86, true, " "), "WinNT", "Windows 98"},
      {"Windows 98 SE", Legacy(1, 4, 10, 0, 0, kX86, true, " A "), "WinNT", "Windows 98 SE"},
      {"Windows Me", Legacy(1, 4, 90, 0, 0, kX86), "WinNT", "Windows Millennium Edition"},
      {"other 9x", Legacy(1, 4, 20, 0, 0, kX86), "WinNT", ""},
      {"unknown platform", Legacy(3, 5, 1, 1, 0, kX86), "WinNT", ""},
      {"NT 4 workstation", Legacy(2, 4, 0, 1, 0, kX86), "WinNT", "Windows NT Workstation 4.0"},
      {"NT 4 terminal server", Legacy(2, 4, 0, 3, 0x10, kX86), "WinNT", "Windows NT Server 4.0, Terminal Server Edition"},
      {"NT 4 server", Legacy(2, 4, 0, 3, 0, kX86), "WinNT", "Windows NT Server 4.0"},
      {"2000 professional", Legacy(2, 5, 0, 1, 0, kX86), "WinNT", "Windows 2000 Professional"},
      {"2000 datacenter", Legacy(2, 5, 0, 3, 0x82, kX86), "WinNT", "Windows 2000 Datacenter Server"},
      {"2000 advanced server", Legacy(2, 5, 0, 2, 0x2, kX86), "WinNT", "Windows 2000 Advanced Server"},
      {"2000 server", Legacy(2, 5, 0, 3, 0, kX86), "WinNT", "Windows 2000 Server"},
      {"XP home", Legacy(2, 5, 1, 1, 0x200, kX86), "WinNT", "Windows XP Home Edition "},
      {"XP professional", Legacy(2, 5, 1, 1, 0, kX86), "WinNT", "Windows XP Professional"},
      {"XP x64", Legacy(2, 5, 2, 1, 0, kX64), "WinNT", "Windows XP Professional x64 Edition"},
      {"2003 enterprise x64", Legacy(2, 5, 2, 3, 0x82, kX64), "WinNT", "Windows Server 2003, Enterprise x64 Edition"},
      {"2003 datacenter x64", Legacy(2, 5, 2, 3, 0x80, kX64), "WinNT", "Windows Server 2003, Datacenter x64 Edition"},
      {"2003 standard x64", Legacy(2, 5, 2, 3, 0, kX64), "WinNT", "Windows Server 2003, Standard x64 Edition"},
      {"2003 datacenter", Legacy(2, 5, 2, 3, 0x82, kX86), "WinNT", "Windows Server 2003, Datacenter Edition"},
      {"2003 enterprise", Legacy(2, 5, 2, 3, 0x2, kX86), "WinNT", "Windows Server 2003, Enterprise Edition"},
      {"2003 web", Legacy(2, 5, 2, 3, 0x400, kX86), "WinNT", "Windows Server 2003, Web Edition"},
      {"2003 small business", Legacy(2, 5, 2, 3, 0x20, kX86), "WinNT", "Windows Server 2003 for Small Business Server"},
      {"2003 standard", Legacy(2, 5, 2, 2, 0, kX86), "WinNT", "Windows Server 2003, Standard Edition"},
      {"version without a prefix", Legacy(2, 6, 0, 1, 0, kX86), "WinNT", "(null)Professional"},
      {"unknown product type has no suffix", Legacy(2, 5, 1, 4, 0, kX86), "WinNT", "Windows XP "},
      {"plain structure, workstation", Legacy(2, 5, 1, 0, 0, kX86, false), "WinNT", "Windows XP Workstation 5.1"},
      {"plain structure, server", Legacy(2, 5, 0, 0, 0, kX86, false), "LANMANNT", "Windows 2000 Server 5.0"},
      {"plain structure, advanced server", Legacy(2, 5, 0, 0, 0, kX86, false), "ServerNT",
       "Windows 2000 Advanced Server 5.0"},
      {"plain structure, other product type", Legacy(2, 4, 0, 0, 0, kX86, false), "Embedded",
       "Windows NT  4.0"},
      {"plain structure, no product type", Legacy(2, 5, 1, 0, 0, kX86, false), std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    qvtest::TempHive hive;
    SetOrRemove(kProductOptions, "ProductType", c.legacyProductType);
    EXPECT_EQ(BuildOsName(c.facts, 0, 0), c.name);
  }
}

TEST(OsNamingTest, ReleaseFromTheRegistry) {
  struct Case {
    const char* label;
    std::optional<std::string> releaseId;
    DWORD build;
    int result;
    std::string version;
  };
  const std::vector<Case> cases = {
      {"release id present", "1903", 18362, 0, "1903"},
      {"release id wins over build 10240", "2004", 10240, 0, "2004"},
      {"build 10240", std::nullopt, 10240, 0, "1507"},
      {"other build", std::nullopt, 18363, 1, "unknown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    qvtest::TempHive hive;
    SetOrRemove(kCurrentVersion, "ReleaseId", c.releaseId);
    qvtest::LogCapture log(4);
    std::string version;
    EXPECT_EQ(getOSVersionFromReg(c.build, version), c.result);
    EXPECT_EQ(version, c.version);
    EXPECT_TRUE(log.Has("[INFO] getOSVersionFromReg : the version is " + c.version));
    EXPECT_EQ(log.Has("[INFO] getOSVersionFromReg : version retreived from release id key"), c.releaseId.has_value());
  }
}

TEST(OsNamingTest, NamesAreCutAtNinetyNineCharacters) {
  qvtest::TempHive hive;
  const std::string release(120, '9');
  SetOrRemove(kCurrentVersion, "ReleaseId", release);
  std::optional<std::string> name = BuildOsName(Nt(10, 0, 20348, 3, kX64, 8), 0, 0);
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(*name, ("Windows Server version " + release).substr(0, 99));
}

}  // namespace
