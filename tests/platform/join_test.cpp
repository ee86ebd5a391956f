#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/hive_edits.h"
#include "support/temp_hive.h"
#include "win32.h"

namespace {

constexpr char kNetlogon[] = R"(SYSTEM\CurrentControlSet\Services\Netlogon\Parameters)";
constexpr char kTcpip[] = R"(SYSTEM\CurrentControlSet\Services\Tcpip\Parameters)";

using qvtest::HiveEdit;

std::string Text(const char* text) { return text ? text : "<null>"; }

// A domain member of corp.local with its controller SRV01.
std::vector<HiveEdit> CorpMember() {
  return {{kNetlogon, "DomainName", "CORP"},           {kTcpip, "Domain", "corp.local"},
          {kNetlogon, "DomainController", "\\\\SRV01"}, {kNetlogon, "DomainControllerAddress", "\\\\10.0.0.5"},
          {kNetlogon, "DcSiteName", "HQ"},              {kNetlogon, "ClientSiteName", "HQ"}};
}

std::vector<HiveEdit> operator+(std::vector<HiveEdit> a, const std::vector<HiveEdit>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(NetGetJoinInformation, JoinStateFromTheHive) {
  struct Case {
    const char* name;
    std::vector<HiveEdit> edits;
    NETSETUP_JOIN_STATUS status;
    std::u16string joinName;
  };
  const std::vector<Case> cases = {
      {"seeded workgroup", {}, NetSetupWorkgroupName, u"WORKGROUP"},
      {"another workgroup", {{kNetlogon, "Workgroup", "ACCOUNTING"}}, NetSetupWorkgroupName, u"ACCOUNTING"},
      {"workgroup value absent", {{kNetlogon, "Workgroup"}}, NetSetupWorkgroupName, u"WORKGROUP"},
      {"workgroup empty: not joined", {{kNetlogon, "Workgroup", ""}}, NetSetupUnjoined, u""},
      {"domain member", CorpMember(), NetSetupDomainName, u"CORP"},
      {"blanks are kept", {{kNetlogon, "Workgroup", "  LAB "}}, NetSetupWorkgroupName, u"  LAB "},
  };
  for (const auto& c : cases) {
    qvtest::TempHive hive;
    qvtest::ApplyHiveEdits(c.edits);
    LPWSTR name = nullptr;
    NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
    ASSERT_EQ(NetGetJoinInformation(nullptr, &name, &status), NERR_Success) << c.name;
    EXPECT_EQ(status, c.status) << c.name;
    ASSERT_NE(name, nullptr) << c.name;
    EXPECT_EQ(std::u16string(name), c.joinName) << c.name;
    EXPECT_EQ(NetApiBufferFree(name), NERR_Success) << c.name;
    EXPECT_EQ(NetApiBufferFree(name), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << c.name << ": freed twice";
  }
}

TEST(NetGetJoinInformation, BadArguments) {
  qvtest::TempHive hive;
  LPWSTR name = nullptr;
  NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
  EXPECT_EQ(NetGetJoinInformation(nullptr, nullptr, &status), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(NetGetJoinInformation(nullptr, &name, nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(NetGetJoinInformation(u"\\\\elsewhere.invalid", &name, &status), static_cast<DWORD>(ERROR_BAD_NETPATH));
  EXPECT_EQ(NetGetJoinInformation(u"", &name, &status), NERR_Success);
  NetApiBufferFree(name);
  int local = 0;
  EXPECT_EQ(NetApiBufferFree(&local), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(NetApiBufferFree(nullptr), NERR_Success);
}

TEST(DsGetDcNameA, DomainControllerFromTheHive) {
  struct Case {
    const char* name;
    std::vector<HiveEdit> edits;
    const char* domainArgument;
    ULONG flags;
    DWORD result;
    std::string controller = {}, address = {};
    ULONG addressType = 0;
    std::string domain = {}, forest = {}, dcSite = {}, clientSite = {};
  };
  const std::vector<Case> cases = {
      {"workgroup computer", {}, nullptr, DS_RETURN_FLAT_NAME, ERROR_NO_SUCH_DOMAIN},
      {"domain member without a known controller", CorpMember() + std::vector<HiveEdit>{{kNetlogon, "DomainController", ""}},
       nullptr, DS_RETURN_FLAT_NAME, ERROR_NO_SUCH_DOMAIN},
      {"flat names", CorpMember(), nullptr, DS_RETURN_FLAT_NAME, ERROR_SUCCESS, "\\\\SRV01", "\\\\10.0.0.5",
       DS_INET_ADDRESS, "CORP", "corp.local", "HQ", "HQ"},
      {"DNS names by default", CorpMember(), nullptr, 0, ERROR_SUCCESS, "\\\\SRV01", "\\\\10.0.0.5", DS_INET_ADDRESS,
       "corp.local", "corp.local", "HQ", "HQ"},
      {"no DNS domain: the flat name serves",
       CorpMember() + std::vector<HiveEdit>{{kTcpip, "Domain", ""}, {kNetlogon, "DcSiteName", ""},
                                            {kNetlogon, "ClientSiteName"}},
       nullptr, 0, ERROR_SUCCESS, "\\\\SRV01", "\\\\10.0.0.5", DS_INET_ADDRESS, "CORP", "<null>", "<null>", "<null>"},
      {"controller without backslashes and no address",
       CorpMember() + std::vector<HiveEdit>{{kNetlogon, "DomainController", "SRV02"},
                                            {kNetlogon, "DomainControllerAddress", ""},
                                            {kNetlogon, "DnsForestName", "forest.example"}},
       nullptr, DS_RETURN_FLAT_NAME, ERROR_SUCCESS, "\\\\SRV02", "\\\\SRV02", DS_NETBIOS_ADDRESS, "CORP",
       "forest.example", "HQ", "HQ"},
      {"asked for its own domain by DNS name", CorpMember(), "CORP.LOCAL", DS_RETURN_FLAT_NAME, ERROR_SUCCESS,
       "\\\\SRV01", "\\\\10.0.0.5", DS_INET_ADDRESS, "CORP", "corp.local", "HQ", "HQ"},
      {"asked for another domain", CorpMember(), "OTHER", DS_RETURN_FLAT_NAME, ERROR_NO_SUCH_DOMAIN},
      {"flat and DNS names at once", CorpMember(), nullptr, DS_RETURN_FLAT_NAME | DS_RETURN_DNS_NAME,
       ERROR_INVALID_FLAGS},
  };
  for (const auto& c : cases) {
    qvtest::TempHive hive;
    qvtest::ApplyHiveEdits(c.edits);
    PDOMAIN_CONTROLLER_INFOA info = reinterpret_cast<PDOMAIN_CONTROLLER_INFOA>(0x1);
    ASSERT_EQ(DsGetDcNameA(nullptr, c.domainArgument, nullptr, nullptr, c.flags, &info), c.result) << c.name;
    if (c.result != ERROR_SUCCESS) {
      EXPECT_EQ(info, nullptr) << c.name;
      continue;
    }
    ASSERT_NE(info, nullptr) << c.name;
    EXPECT_EQ(Text(info->DomainControllerName), c.controller) << c.name;
    EXPECT_EQ(Text(info->DomainControllerAddress), c.address) << c.name;
    EXPECT_EQ(info->DomainControllerAddressType, c.addressType) << c.name;
    EXPECT_EQ(Text(info->DomainName), c.domain) << c.name;
    EXPECT_EQ(Text(info->DnsForestName), c.forest) << c.name;
    EXPECT_EQ(Text(info->DcSiteName), c.dcSite) << c.name;
    EXPECT_EQ(Text(info->ClientSiteName), c.clientSite) << c.name;
    EXPECT_EQ(NetApiBufferFree(info), NERR_Success) << c.name;
  }
  qvtest::TempHive hive;
  EXPECT_EQ(DsGetDcNameA(nullptr, nullptr, nullptr, nullptr, 0, nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  PDOMAIN_CONTROLLER_INFOA info = nullptr;
  EXPECT_EQ(DsGetDcNameA("\\\\elsewhere.invalid", nullptr, nullptr, nullptr, 0, &info),
            static_cast<DWORD>(ERROR_BAD_NETPATH));
}

}  // namespace
