// Machine identity over this machine's real interfaces and host name, and over the hive values that
// describe domain membership.
#include "config/machine_identity.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "config/registry_access.h"
#include "support/log_capture.h"
#include "support/temp_hive.h"

namespace {

constexpr const char* kTcpip = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
constexpr const char* kNetlogon = "SYSTEM\\CurrentControlSet\\Services\\Netlogon\\Parameters";

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> out;
  std::stringstream in(list);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(item);
  return out;
}

// (address, mask, MAC) of every IPv4 address of this machine outside the loopback interface.
std::set<std::tuple<std::string, std::string, std::string>> SystemAddresses() {
  std::set<std::tuple<std::string, std::string, std::string>> out;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return out;
  for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
    if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET || (it->ifa_flags & IFF_LOOPBACK)) continue;
    char address[INET_ADDRSTRLEN] = {};
    char mask[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(it->ifa_addr)->sin_addr, address, sizeof(address));
    if (it->ifa_netmask != nullptr) {
      inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(it->ifa_netmask)->sin_addr, mask, sizeof(mask));
    }
    std::string mac;
    std::ifstream file(std::string("/sys/class/net/") + it->ifa_name + "/address");
    std::getline(file, mac);
    out.emplace(address, mask, mac);
  }
  freeifaddrs(list);
  return out;
}

TEST(MachineIdentityTest, AddressListsMatchTheSystemsInterfaces) {
  qvtest::TempHive hive;
  qvtest::LogCapture log(4);
  std::string ips = "stale";
  std::string macs = "stale";
  std::string masks = "stale";
  testing::internal::CaptureStdout();
  const DWORD code = GetMACandIPAddress(ips, macs, masks);
  const std::string printed = testing::internal::GetCapturedStdout();
  ASSERT_EQ(code, 0u);

  const auto expected = SystemAddresses();
  const std::vector<std::string> ipItems = Split(ips);
  const std::vector<std::string> maskItems = Split(masks);
  ASSERT_EQ(ipItems.size(), expected.size()) << ips;
  ASSERT_EQ(maskItems.size(), ipItems.size()) << masks;
  std::vector<std::string> macItems = Split(macs);
  if (macs == "--") macItems.clear();
  std::set<std::tuple<std::string, std::string, std::string>> seen;
  for (size_t i = 0; i < ipItems.size(); ++i) {
    const auto match = std::find_if(expected.begin(), expected.end(),
                                    [&](const auto& e) { return std::get<0>(e) == ipItems[i]; });
    ASSERT_NE(match, expected.end()) << ipItems[i];
    EXPECT_EQ(maskItems[i], std::get<1>(*match)) << ipItems[i];
    if (macItems.size() == ipItems.size()) {
      EXPECT_EQ(macItems[i], std::get<2>(*match)) << ipItems[i];
    }
    EXPECT_NE(printed.find(ipItems[i]), std::string::npos) << printed;
  }
  EXPECT_TRUE(log.Has("[DEBUG] GetMACandIPAddress : Local Machine IP ADDRESS  : " + ips + " "));
  EXPECT_TRUE(log.Has("[DEBUG] GetMACandIPAddress : Local Machine MAC ADDRESS : " + macs + " "));
  EXPECT_TRUE(log.Has("[DEBUG] GetMACandIPAddress : Local Machine Subnet Mask : " + masks + " "));
}

// Adapters built in memory, for the list rules the machine's own interfaces cannot show.
struct FakeAdapter {
  DWORD index;
  std::vector<BYTE> mac;
  std::vector<std::pair<std::string, std::string>> addresses;  // (address, mask)
};

class AdapterChain {
 public:
  explicit AdapterChain(const std::vector<FakeAdapter>& adapters) : nodes_(adapters.size()) {
    size_t total = 0;
    for (const auto& a : adapters) total += a.addresses.size();
    extra_.reserve(total);
    for (size_t i = 0; i < adapters.size(); ++i) {
      IP_ADAPTER_INFO& node = nodes_[i];
      std::memset(&node, 0, sizeof(node));
      node.Index = adapters[i].index;
      node.AddressLength = static_cast<UINT>(adapters[i].mac.size());
      std::memcpy(node.Address, adapters[i].mac.data(), adapters[i].mac.size());
      node.Next = i + 1 < adapters.size() ? &nodes_[i + 1] : nullptr;
      IP_ADDR_STRING* last = nullptr;
      for (size_t k = 0; k < adapters[i].addresses.size(); ++k) {
        IP_ADDR_STRING* entry = k == 0 ? &node.IpAddressList : &extra_.emplace_back();
        std::memset(entry, 0, sizeof(*entry));
        std::strncpy(entry->IpAddress.String, adapters[i].addresses[k].first.c_str(), 15);
        std::strncpy(entry->IpMask.String, adapters[i].addresses[k].second.c_str(), 15);
        entry->Context = static_cast<DWORD>(k);
        if (last != nullptr) last->Next = entry;
        last = entry;
      }
    }
  }
  const IP_ADAPTER_INFO* head() const { return nodes_.empty() ? nullptr : &nodes_[0]; }

 private:
  std::vector<IP_ADAPTER_INFO> nodes_;
  std::vector<IP_ADDR_STRING> extra_;
};

TEST(MachineIdentityTest, ListRules) {
  const std::vector<BYTE> mac1 = {0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
  const std::vector<BYTE> mac2 = {0x00, 0x1A, 0x2b, 0x3C, 0x4d, 0x05};
  struct Case {
    const char* label;
    std::vector<FakeAdapter> adapters;
    std::string ips;
    std::string macs;
    std::string masks;
  };
  const std::vector<Case> cases = {
      {"one adapter, two addresses", {{3, mac1, {{"10.0.0.5", "255.255.255.0"}, {"10.0.0.6", "255.255.0.0"}}}},
       "10.0.0.5,10.0.0.6", "aa:bb:cc:dd:ee:ff,aa:bb:cc:dd:ee:ff", "255.255.255.0,255.255.0.0"},
      {"adapter without an address", {{2, mac2, {{"0.0.0.0", "0.0.0.0"}}}, {3, mac1, {{"192.168.1.9", "255.255.255.0"}}}},
       "192.168.1.9", "aa:bb:cc:dd:ee:ff", "255.255.255.0"},
      {"no usable adapter", {{2, mac2, {{"0.0.0.0", "0.0.0.0"}}}}, "", "--", ""},
      {"no adapter at all", {}, "", "--", ""},
      {"MAC of another length is left out", {{4, {0x01, 0x02, 0x03, 0x04}, {{"172.16.0.1", "255.240.0.0"}}},
                                              {5, mac2, {{"172.16.0.2", "255.240.0.0"}}}},
       "172.16.0.1,172.16.0.2", "00:1a:2b:3c:4d:05", "255.240.0.0,255.240.0.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    qvtest::LogCapture log(4);
    AdapterChain chain(c.adapters);
    std::string ips;
    std::string macs;
    std::string masks;
    testing::internal::CaptureStdout();
    AppendAdapterAddresses(chain.head(), ips, macs, masks);
    const std::string printed = testing::internal::GetCapturedStdout();
    if (macs.empty()) macs = "--";
    EXPECT_EQ(ips, c.ips);
    EXPECT_EQ(macs, c.macs);
    EXPECT_EQ(masks, c.masks);
    for (const FakeAdapter& adapter : c.adapters) {
      for (const auto& [address, mask] : adapter.addresses) {
        EXPECT_NE(printed.find(address), std::string::npos) << "every address is printed, 0.0.0.0 too";
      }
    }
  }
}

TEST(MachineIdentityTest, LineLayoutOfAnAddress) {
  qvtest::LogCapture log(4);
  AdapterChain chain({{7, {1, 2, 3, 4, 5, 6}, {{"10.1.2.3", "255.0.0.0"}}}});
  std::string ips, macs, masks;
  testing::internal::CaptureStdout();
  AppendAdapterAddresses(chain.head(), ips, macs, masks);
  // Index 7, context 0 (precision 0 prints no digit for 0), address in 20 columns, then the mask.
  const std::string line = "7                   10.1.2.3            255.0.0.0";
  EXPECT_EQ(testing::internal::GetCapturedStdout(), line + "\n");
  EXPECT_TRUE(log.Has("[INFO] ipAddress :" + line));
}

TEST(MachineIdentityTest, ListsAreBounded) {
  std::vector<FakeAdapter> adapters;
  for (DWORD i = 0; i < 2500; ++i) {
    adapters.push_back({i, {1, 2, 3, 4, 5, 6}, {{"10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1),
                                                 "255.255.255.0"}}});
  }
  qvtest::LogCapture log(0);
  AdapterChain chain(adapters);
  std::string ips, macs, masks;
  testing::internal::CaptureStdout();
  AppendAdapterAddresses(chain.head(), ips, macs, masks);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(macs.size(), 32766u);
  EXPECT_EQ(masks.size(), 32766u);
  EXPECT_LT(ips.size(), 32766u);
  EXPECT_EQ(macs.substr(0, 35), "01:02:03:04:05:06,01:02:03:04:05:06");
}

TEST(MachineIdentityTest, ComputerNameIsTheHostName) {
  qvtest::TempHive hive;
  qvtest::LogCapture log(4);
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof(host) - 1), 0);
  std::string expected = host;
  expected = expected.substr(0, expected.find('.'));
  AgentText name;
  ASSERT_EQ(GetLocalComputerName(name), 1);
  EXPECT_EQ(name, expected);
  EXPECT_TRUE(log.Has("[INFO] GetLocalComputerName : Computer Name : " + expected));
  EXPECT_TRUE(log.Has("[DEBUG] GetLocalComputerName: Computer Name: " + expected + " "));
}

struct Membership {
  std::string domain;            // Tcpip Domain
  std::string workgroup;         // Netlogon Workgroup
  std::string domainName;        // Netlogon DomainName
  std::string domainController;  // Netlogon DomainController
};

void SetMembership(const Membership& m) {
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kTcpip, "Domain", m.domain.c_str(), REG_SZ), 0);
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kNetlogon, "Workgroup", m.workgroup.c_str(), REG_SZ), 0);
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kNetlogon, "DomainName", m.domainName.c_str(), REG_SZ), 0);
  ASSERT_EQ(writeValue(HKEY_LOCAL_MACHINE, kNetlogon, "DomainController", m.domainController.c_str(), REG_SZ), 0);
}

TEST(MachineIdentityTest, DomainOrWorkgroupFromTheHive) {
  struct Case {
    const char* label;
    std::optional<Membership> membership;  // nullopt: the seeded hive
    std::string nameSpace;
    int member;
    const char* joinLine;
    std::optional<std::string> domainController;
  };
  const std::vector<Case> cases = {
      {"seeded workgroup", std::nullopt, "WORKGROUP", 0,
       "[INFO] GetComputerNameSpace :The computer is joined to a workgroup. ", std::nullopt},
      {"other workgroup with blanks", Membership{"", "  SALES \t", "", ""}, "SALES", 0,
       "[INFO] GetComputerNameSpace :The computer is joined to a workgroup. ", std::nullopt},
      {"domain member", Membership{"corp.local", "WORKGROUP", "CORP", "\\\\SRV01"}, "CORP", 1,
       "[INFO] GetComputerNameSpace :The computer is joined to a domain. ", "SRV01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    qvtest::TempHive hive;
    if (c.membership) SetMembership(*c.membership);
    qvtest::LogCapture log(4);
    gv_clientNamespace.reset();
    gv_domainController.reset();
    gv_isDomainMember = 1 - c.member;
    testing::internal::CaptureStdout();
    EXPECT_EQ(InitializeLocalMachineDetails(), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(gv_clientNamespace, c.nameSpace);
    EXPECT_EQ(gv_isDomainMember, c.member);
    EXPECT_TRUE(log.Has(c.joinLine));
    EXPECT_EQ(gv_domainController, c.domainController);
    EXPECT_TRUE(gv_localComputerName.has_value());
    if (!c.domainController) {
      EXPECT_TRUE(log.Has("[ERROR] GetComputerLogonServer: Error while fetching DC name! 1355 "));
      EXPECT_TRUE(log.Has("[ERROR] InitializeLocalMachineDetails : Error while fetching computer domain controller ! "));
    } else {
      EXPECT_TRUE(log.Has("[DEBUG] GetComputerLogonServer : DomainControllerName :\\\\" + *c.domainController + " "));
    }
  }
}

}  // namespace
