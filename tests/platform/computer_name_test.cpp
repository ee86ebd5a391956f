#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_hive.h"
#include "support/thread_namespace.h"
#include "win32.h"

namespace {

constexpr DWORD kSentinel = 0xdeadbeef;
constexpr char kTcpip[] = R"(SYSTEM\CurrentControlSet\Services\Tcpip\Parameters)";

std::string NameOf(COMPUTER_NAME_FORMAT format) {
  DWORD size = 0;
  SetLastError(kSentinel);
  EXPECT_FALSE(GetComputerNameExW(format, nullptr, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  std::u16string buffer(size, u'#');
  DWORD capacity = size;
  if (!GetComputerNameExW(format, buffer.data(), &capacity)) return "<failed>";
  EXPECT_EQ(capacity + 1, size) << "length without the terminator";
  EXPECT_EQ(buffer[capacity], u'\0');
  return qvplatform::Utf16ToUtf8Lossy(buffer.substr(0, capacity));
}

void SetDomain(const std::string& domain) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTcpip, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Domain", 0, REG_SZ, reinterpret_cast<const BYTE*>(domain.c_str()),
                           static_cast<DWORD>(domain.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(GetComputerNameEx, NamesFromHostNameAndDomain) {
  struct Case {
    std::string hostName;
    std::string hiveDomain;
    std::string dnsHost, dnsDomain, fullyQualified, netbios;
  };
  const std::vector<Case> cases = {
      {"pc-7", "", "pc-7", "", "pc-7", "PC-7"},
      {"pc-7", "corp.local", "pc-7", "corp.local", "pc-7.corp.local", "PC-7"},
      {"pc-7.lab.example", "", "pc-7", "lab.example", "pc-7.lab.example", "PC-7"},
      {"pc-7.lab.example", "corp.local", "pc-7", "corp.local", "pc-7.corp.local", "PC-7"},
      {"workstation-number-42", "", "workstation-number-42", "", "workstation-number-42", "WORKSTATION-NUM"},
  };
  for (const auto& c : cases) {
    qvtest::TempHive hive;
    SetDomain(c.hiveDomain);
    std::string why;
    bool ran = qvtest::RunInNewNamespaces(
        CLONE_NEWUTS,
        [&] {
          ASSERT_EQ(sethostname(c.hostName.data(), c.hostName.size()), 0);
          const std::string row = c.hostName + " / " + c.hiveDomain;
          EXPECT_EQ(NameOf(ComputerNamePhysicalDnsHostname), c.dnsHost) << row;
          EXPECT_EQ(NameOf(ComputerNameDnsHostname), c.dnsHost) << row;
          EXPECT_EQ(NameOf(ComputerNamePhysicalDnsDomain), c.dnsDomain) << row;
          EXPECT_EQ(NameOf(ComputerNamePhysicalDnsFullyQualified), c.fullyQualified) << row;
          EXPECT_EQ(NameOf(ComputerNameNetBIOS), c.netbios) << row;
          EXPECT_EQ(NameOf(ComputerNamePhysicalNetBIOS), c.netbios) << row;
        },
        &why);
    if (!ran) GTEST_SKIP() << "cannot create a host-name namespace: " << why;
  }
}

TEST(GetComputerNameEx, HostNameIsTheSystemsAndSizesFollowTheProtocol) {
  qvtest::TempHive hive;
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  std::string expected(host);
  expected = expected.substr(0, expected.find('.'));
  const DWORD length = static_cast<DWORD>(expected.size());

  struct Case {
    const char* name;
    DWORD capacity;
    bool nullBuffer;
    BOOL result;
    DWORD error;
    DWORD sizeAfter;
  };
  const std::vector<Case> cases = {
      {"null buffer", 0, true, FALSE, ERROR_MORE_DATA, length + 1},
      {"no room for the terminator", length, false, FALSE, ERROR_MORE_DATA, length + 1},
      {"exact", length + 1, false, TRUE, kSentinel, length},
      {"the agent's 64 characters", 64, false, TRUE, kSentinel, length},
  };
  for (const auto& c : cases) {
    std::u16string buffer(70, u'#');
    DWORD size = c.capacity;
    SetLastError(kSentinel);
    EXPECT_EQ(GetComputerNameExW(ComputerNamePhysicalDnsHostname, c.nullBuffer ? nullptr : buffer.data(), &size),
              c.result)
        << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
    EXPECT_EQ(size, c.sizeAfter) << c.name;
    if (c.result) {
      EXPECT_EQ(qvplatform::Utf16ToUtf8Lossy(buffer.substr(0, size)), expected) << c.name;
    }
  }

  DWORD size = 10;
  char narrow[64];
  SetLastError(kSentinel);
  EXPECT_FALSE(GetComputerNameExW(ComputerNameMax, nullptr, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(GetComputerNameExW(ComputerNamePhysicalDnsHostname, nullptr, nullptr));
  size = sizeof narrow;
  ASSERT_TRUE(GetComputerNameExA(ComputerNamePhysicalDnsHostname, narrow, &size));
  EXPECT_EQ(std::string(narrow, size), expected);
}

TEST(WSAStartup, VersionsAndStartCount) {
  struct Case {
    WORD requested;
    int result;
    WORD version;
  };
  const std::vector<Case> cases = {
      {MAKEWORD(2, 2), 0, MAKEWORD(2, 2)}, {MAKEWORD(1, 1), 0, MAKEWORD(1, 1)}, {MAKEWORD(2, 0), 0, MAKEWORD(2, 0)},
      {MAKEWORD(3, 0), 0, MAKEWORD(2, 2)}, {MAKEWORD(2, 5), 0, MAKEWORD(2, 2)}, {MAKEWORD(1, 0), 0, MAKEWORD(1, 0)},
      {MAKEWORD(0, 9), WSAVERNOTSUPPORTED, 0},
  };
  int started = 0;
  for (const auto& c : cases) {
    WSADATA data{};
    EXPECT_EQ(WSAStartup(c.requested, &data), c.result) << std::hex << c.requested;
    if (c.result != 0) continue;
    ++started;
    EXPECT_EQ(data.wVersion, c.version) << std::hex << c.requested;
    EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));
  }
  EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), nullptr), WSAEFAULT);
  for (int i = 0; i < started; ++i) EXPECT_EQ(WSACleanup(), 0) << i;
  SetLastError(kSentinel);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

}  // namespace
