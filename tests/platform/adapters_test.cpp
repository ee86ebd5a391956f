#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/thread_namespace.h"
#include "win32.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;

struct AdapterView {
  std::string name;
  DWORD index = 0;
  std::string mac;  // "aa:bb:..." of AddressLength bytes
  std::vector<std::string> addresses;  // "ip/mask"
  std::vector<std::string> gateways;
  UINT type = 0;
  bool operator==(const AdapterView&) const = default;
};

std::ostream& operator<<(std::ostream& out, const AdapterView& a) {
  out << a.name << "#" << a.index << " [" << a.mac << "] type " << a.type << " addr";
  for (auto& s : a.addresses) out << " " << s;
  out << " gw";
  for (auto& s : a.gateways) out << " " << s;
  return out;
}

std::string MacText(const BYTE* bytes, UINT length) {
  std::string text;
  char pair[4];
  for (UINT i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
    if (i) text += ":";
    text += pair;
  }
  return text;
}

std::vector<std::string> Entries(const IP_ADDR_STRING& head) {
  std::vector<std::string> out;
  for (const IP_ADDR_STRING* e = &head; e; e = e->Next) out.push_back(std::string(e->IpAddress.String) + "/" + e->IpMask.String);
  return out;
}

// The adapters through the documented two-call protocol; the second call's code in *code.
std::vector<AdapterView> Adapters(DWORD* code) {
  ULONG size = 0;
  *code = GetAdaptersInfo(nullptr, &size);
  if (*code != ERROR_BUFFER_OVERFLOW) return {};
  std::vector<BYTE> buffer(size);
  *code = GetAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()), &size);
  std::vector<AdapterView> views;
  if (*code != ERROR_SUCCESS) return views;
  for (auto* a = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()); a; a = a->Next) {
    AdapterView v;
    v.name = a->AdapterName;
    EXPECT_STREQ(a->Description, a->AdapterName);
    v.index = a->Index;
    v.mac = MacText(a->Address, a->AddressLength);
    v.addresses = Entries(a->IpAddressList);
    for (auto& g : Entries(a->GatewayList)) v.gateways.push_back(g.substr(0, g.find('/')));
    v.type = a->Type;
    views.push_back(v);
  }
  return views;
}

std::string PrefixToMask(int prefix) {
  uint32_t bits = prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
  return std::to_string(bits >> 24) + "." + std::to_string((bits >> 16) & 255) + "." + std::to_string((bits >> 8) & 255) +
         "." + std::to_string(bits & 255);
}

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char chunk[512];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
    pclose(pipe);
  }
  return out;
}

// The kernel's view as `ip -4 -o addr` prints it: interface name -> "ip/mask" in order.
std::map<std::string, std::vector<std::string>> KernelAddresses() {
  std::map<std::string, std::vector<std::string>> result;
  std::istringstream lines(Capture("ip -4 -o addr show 2>/dev/null"));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string number, name, family, cidr;
    fields >> number >> name >> family >> cidr;
    if (family != "inet" || name == "lo") continue;
    size_t slash = cidr.find('/');
    result[name].push_back(cidr.substr(0, slash) + "/" + PrefixToMask(std::stoi(cidr.substr(slash + 1))));
  }
  return result;
}

TEST(GetAdaptersInfo, MatchesTheKernelsInterfaces) {
  auto kernel = KernelAddresses();
  if (kernel.empty()) GTEST_SKIP() << "no IPv4 interface besides loopback, or no ip tool";
  DWORD code = kSentinel;
  auto adapters = Adapters(&code);
  ASSERT_EQ(code, ERROR_SUCCESS);
  DWORD previousIndex = 0;
  for (const auto& adapter : adapters) {
    EXPECT_NE(adapter.name, "lo");
    EXPECT_GT(adapter.index, previousIndex) << "adapters come in interface-index order";
    previousIndex = adapter.index;
    std::ifstream sysMac("/sys/class/net/" + adapter.name + "/address");
    std::string mac;
    if (sysMac >> mac && adapter.mac.size() == 17) {
      EXPECT_EQ(adapter.mac, mac) << adapter;
    }
  }
  for (const auto& [name, addresses] : kernel) {
    bool found = false;
    for (const auto& adapter : adapters) {
      if (adapter.name != name) continue;
      found = true;
      EXPECT_EQ(adapter.addresses, addresses) << adapter;
      EXPECT_EQ(adapter.index, if_nametoindex(name.c_str()));
    }
    EXPECT_TRUE(found) << name;
  }
}

TEST(GetAdaptersInfo, SizeProtocol) {
  ULONG needed = 0;
  DWORD code = GetAdaptersInfo(nullptr, &needed);
  if (code == ERROR_NO_DATA) GTEST_SKIP() << "no adapter on this machine";
  ASSERT_EQ(code, ERROR_BUFFER_OVERFLOW);
  ASSERT_GE(needed, sizeof(IP_ADAPTER_INFO));

  struct Case {
    const char* name;
    ULONG size;
    bool nullBuffer;
    DWORD expected;
    ULONG expectedSize;
  };
  const std::vector<Case> cases = {
      {"null buffer, size 0", 0, true, ERROR_BUFFER_OVERFLOW, needed},
      {"null buffer, large size", needed * 2, true, ERROR_BUFFER_OVERFLOW, needed},
      {"one byte short", needed - 1, false, ERROR_BUFFER_OVERFLOW, needed},
      {"exact size", needed, false, ERROR_SUCCESS, needed},
      {"larger", needed + 100, false, ERROR_SUCCESS, needed + 100},
  };
  for (const auto& c : cases) {
    // One byte of offset: the caller's buffer need not be aligned.
    std::vector<BYTE> storage(needed * 2 + 1, 0xCC);
    ULONG size = c.size;
    auto* buffer = c.nullBuffer ? nullptr : reinterpret_cast<PIP_ADAPTER_INFO>(storage.data() + 1);
    EXPECT_EQ(GetAdaptersInfo(buffer, &size), c.expected) << c.name;
    EXPECT_EQ(size, c.expectedSize) << c.name;
    if (c.expected != ERROR_SUCCESS && !c.nullBuffer) {
      EXPECT_EQ(storage[1], 0xCC) << c.name << ": buffer untouched";
    }
  }
  EXPECT_EQ(GetAdaptersInfo(nullptr, nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Interfaces built in a private network namespace, so the cases do not depend on the machine.
TEST(GetAdaptersInfo, InterfacesOfANetworkNamespace) {
  struct Case {
    const char* name;
    std::vector<std::string> commands;
    DWORD expectedCode;
    std::vector<AdapterView> expected;  // index 0 means "any"
  };
  const std::vector<Case> cases = {
      {"only loopback", {"ip link set lo up"}, ERROR_NO_DATA, {}},
      {"one adapter with two addresses and a gateway",
       {"ip link set lo up", "ip link add qva0 type veth peer name qvb0", "ip link set qva0 address aa:bb:cc:dd:ee:ff",
        "ip link set qvb0 address 02:00:00:00:00:02", "ip link set qva0 up", "ip link set qvb0 up",
        "ip addr add 10.0.0.5/24 dev qva0", "ip addr add 10.0.0.6/16 dev qva0",
        "ip route add default via 10.0.0.1 dev qva0"},
       ERROR_SUCCESS,
       {{"qvb0", 0, "02:00:00:00:00:02", {"0.0.0.0/0.0.0.0"}, {"0.0.0.0"}, MIB_IF_TYPE_ETHERNET},
        {"qva0", 0, "aa:bb:cc:dd:ee:ff", {"10.0.0.5/255.255.255.0", "10.0.0.6/255.255.0.0"}, {"10.0.0.1"},
         MIB_IF_TYPE_ETHERNET}}},
      {"a tunnel without link address, with and without IPv4",
       {"ip tuntap add dev qvt0 mode tun", "ip tuntap add dev qvt1 mode tun", "ip addr add 192.168.7.1/30 dev qvt0"},
       ERROR_SUCCESS,
       {{"qvt0", 0, "", {"192.168.7.1/255.255.255.252"}, {"0.0.0.0"}, MIB_IF_TYPE_OTHER}}},
  };
  for (const auto& c : cases) {
    std::string why;
    bool ran = qvtest::RunInNewNamespaces(
        CLONE_NEWNET,
        [&] {
          for (const auto& command : c.commands) ASSERT_EQ(qvtest::Shell(command + " 2>&1"), 0) << c.name << ": " << command;
          DWORD code = kSentinel;
          auto adapters = Adapters(&code);
          if (c.expectedCode == ERROR_NO_DATA) {
            ULONG size = 0;
            EXPECT_EQ(GetAdaptersInfo(nullptr, &size), static_cast<DWORD>(ERROR_NO_DATA)) << c.name;
            return;
          }
          ASSERT_EQ(code, c.expectedCode) << c.name;
          for (auto& adapter : adapters) {
            EXPECT_EQ(adapter.index, if_nametoindex(adapter.name.c_str())) << c.name;
            adapter.index = 0;
          }
          // The kernel numbers interfaces in creation order; compare as a set in that order.
          std::sort(adapters.begin(), adapters.end(), [](auto& a, auto& b) { return a.name < b.name; });
          auto expected = c.expected;
          std::sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.name < b.name; });
          EXPECT_EQ(adapters, expected) << c.name;
        },
        &why);
    if (!ran) GTEST_SKIP() << "cannot create a network namespace: " << why;
  }
}

}  // namespace
