// OS identification over the system facts the platform reports from the hive, edited per case.
#include "config/os_identification.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "config/registry_access.h"
#include "support/log_capture.h"
#include "support/temp_hive.h"

namespace {

constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kProductOptions = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr const char* kEnvironment = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// The facts of one emulated Windows, written over the seeded ones.
struct System {
  DWORD major;
  DWORD minor;
  DWORD build;
  DWORD productInfo;
  DWORD osProductType;  // 1 workstation, 2 domain controller, 3 server
  const char* architecture;
  const char* productName;
  std::optional<std::string> releaseId;
  const char* servicePack = nullptr;
};

void Install(const System& s) {
  auto dword = [](const char* key, const char* name, DWORD value) {
    ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, key, name, std::to_string(value).c_str(), REG_DWORD), 0);
  };
  auto text = [](const char* key, const char* name, const char* value) {
    ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, key, name, value, REG_SZ), 0);
  };
  dword(kCurrentVersion, "CurrentMajorVersionNumber", s.major);
  dword(kCurrentVersion, "CurrentMinorVersionNumber", s.minor);
  text(kCurrentVersion, "CurrentBuildNumber", std::to_string(s.build).c_str());
  text(kCurrentVersion, "CurrentBuild", std::to_string(s.build).c_str());
  text(kCurrentVersion, "CurrentVersion", (std::to_string(s.major) + "." + std::to_string(s.minor)).c_str());
  text(kCurrentVersion, "ProductName", s.productName);
  if (s.releaseId) {
    text(kCurrentVersion, "ReleaseId", s.releaseId->c_str());
  } else {
    deleteValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ReleaseId");
  }
  if (s.servicePack != nullptr) text(kCurrentVersion, "CSDVersion", s.servicePack);
  dword(kProductOptions, "ProductInfo", s.productInfo);
  dword(kProductOptions, "OSProductType", s.osProductType);
  text(kEnvironment, "PROCESSOR_ARCHITECTURE", s.architecture);
}

TEST(OsIdentificationTest, NameFamilyAndWindows7Or8) {
  struct Case {
    const char* label;
    std::optional<System> system;  // nullopt: the seeded hive
    std::string name;
    int family;
    int win7or8;
  };
  const std::vector<Case> cases = {
      {"seeded Windows 10 Pro", std::nullopt, "Windows 10 Professional Edition (x64)", 6, 0},
      {"Windows 10 build 19041", System{10, 0, 19041, 48, 1, "AMD64", "Windows 10 Pro", "2004"},
       "Windows 10 Professional Edition (x64)", 6, 0},
      {"Windows 7 SP1 32-bit", System{6, 1, 7601, 3, 1, "x86", "Windows 7 Home Premium", std::nullopt, "Service Pack 1"},
       "Windows 7 Home Premium Edition", 3, 1},
      {"Windows 8 Enterprise", System{6, 2, 9200, 4, 1, "AMD64", "Windows 8 Enterprise", std::nullopt},
       "Windows 8 Enterprise Edition (x64)", 4, 1},
      {"Server 2012 R2 Datacenter", System{6, 3, 9600, 8, 3, "AMD64", "Windows Server 2012 R2 Datacenter", std::nullopt},
       "Windows Server 2012 R2 Datacenter Edition (x64)", 5, 0},
      {"Server 2019 Standard", System{10, 0, 17763, 7, 3, "AMD64", "Windows Server 2019 Standard", "1809"},
       "Windows Server 2019 Standard Edition (x64)", 6, 0},
      {"Server 1903", System{10, 0, 18362, 7, 3, "AMD64", "Windows Server Standard", "1903"},
       "Windows Server version 1903 Standard Edition (x64)", 6, 0},
      {"Server without a release id", System{10, 0, 18362, 7, 3, "AMD64", "Windows Server Standard", std::nullopt},
       "Windows Server Standard Edition (x64)", 6, 0},
      {"product type 100 on Windows 8.1", System{6, 3, 9600, 100, 1, "AMD64", "Windows 8.1", std::nullopt},
       "Windows 8.1 (x64)", 5, 0},
      {"Insider Preview", System{10, 0, 19041, 48, 1, "AMD64", "Windows 10 Pro Insider Preview", "2004"},
       "Windows 10 Beta (x64)", 6, 0},
      {"Enterprise 2016 LTSB", System{10, 0, 14393, 125, 1, "AMD64", "Windows 10 Enterprise 2016 LTSB", "1607"},
       "Windows 10 Enterprise 2016 LTSB (x64)", 6, 0},
      {"Vista", System{6, 0, 6002, 1, 1, "x86", "Windows Vista Ultimate", std::nullopt}, "Windows Vista Ultimate Edition",
       2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    qvtest::TempHive hive;
    if (c.system) Install(*c.system);
    qvtest::LogCapture log(4);
    EXPECT_EQ(GetOSNameEx(0, 0), c.name);
    EXPECT_EQ(GetOsFamily(), c.family);
    EXPECT_EQ(isWin7orWin8(), c.win7or8);
    EXPECT_TRUE(log.Has("[DEBUG] isWin7orWin8 : GetOSName " + c.name));
    EXPECT_TRUE(log.Has(c.win7or8 ? "[DEBUG] isWin7orWin8 : TRUE" : "[DEBUG] isWin7orWin8 : FALSE"));
  }
}

TEST(OsIdentificationTest, FamilyOfOtherVersions) {
  struct Case {
    DWORD major;
    DWORD minor;
    int family;
  };
  for (const Case& c : std::vector<Case>{{5, 0, 0}, {5, 1, 1}, {5, 2, 1}, {6, 4, 7}, {10, 1, 7}, {11, 0, 7}}) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
    qvtest::TempHive hive;
    Install(System{c.major, c.minor, 1000, 48, 1, "AMD64", "Windows", std::nullopt});
    EXPECT_EQ(GetOsFamily(), c.family);
  }
}

TEST(OsIdentificationTest, SystemWithoutProductType) {
  qvtest::TempHive hive;
  Install(System{5, 1, 2600, 0, 1, "x86", "Microsoft Windows XP", std::nullopt, "Service Pack 3"});
  ASSERT_EQ(deleteValue(HKEY_LOCAL_MACHINE, kProductOptions, "ProductInfo"), 0);
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kProductOptions, "SuiteMask", "512", REG_DWORD), 0);
  EXPECT_EQ(GetOSNameEx(0, 0), "Windows XP Home Edition ");
  EXPECT_EQ(GetOsFamily(), 1);
}

TEST(OsIdentificationTest, UnreadableVersion) {
  qvtest::TempHive hive;
  for (const char* name : {"CurrentBuildNumber", "CurrentBuild"}) {
    ASSERT_EQ(deleteValue(HKEY_LOCAL_MACHINE, kCurrentVersion, name), 0);
  }
  qvtest::LogCapture log(4);
  EXPECT_EQ(GetOSNameEx(0, 0), std::nullopt);
  EXPECT_EQ(GetOsFamily(), 1);
  EXPECT_TRUE(log.Has("[ERROR] GetOsFamily : Unable to find the OSVersion , Errorcode 2 "));
  EXPECT_EQ(isWin7orWin8(), 0);
  EXPECT_TRUE(log.Has("[DEBUG] isWin7orWin8 : GetOSName (null)"));
}

TEST(OsIdentificationTest, CallerVersionReplacesTheSystemsInTheName) {
  qvtest::TempHive hive;
  EXPECT_EQ(GetOSNameEx(6, 1), "Windows 7 Professional Edition (x64)");
  EXPECT_EQ(GetOSNameEx(6, 3), "Windows 8.1 Professional Edition (x64)");
}

}  // namespace
