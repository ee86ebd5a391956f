#include "iphlpapi/adapters.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "kernel32/errors.h"

namespace {

struct Address {
  in_addr address;
  in_addr mask;
};

struct Interface {
  std::string name;
  unsigned index = 0;
  unsigned flags = 0;
  int hardwareType = -1;  // ARPHRD_*, -1 when the interface has no link-layer entry
  std::vector<BYTE> hardwareAddress;
  std::vector<Address> addresses;
  std::vector<in_addr> gateways;
};

std::string DottedText(in_addr address) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

void CopyText(char* target, size_t capacity, const std::string& text) {
  size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(target, text.data(), length);
  target[length] = '\0';
}

void FillAddrString(IP_ADDR_STRING& entry, in_addr address, in_addr mask, DWORD context) {
  entry = {};
  CopyText(entry.IpAddress.String, sizeof entry.IpAddress.String, DottedText(address));
  CopyText(entry.IpMask.String, sizeof entry.IpMask.String, DottedText(mask));
  entry.Context = context;
}

// Default routes by interface name, read from the routing table of the calling thread's network
// namespace (a thread may have entered its own).
std::map<std::string, std::vector<in_addr>> DefaultGateways() {
  std::map<std::string, std::vector<in_addr>> gateways;
  std::ifstream table("/proc/thread-self/net/route");
  if (!table) table.open("/proc/net/route");
  std::string line;
  std::getline(table, line);  // column titles
  constexpr unsigned kRouteGateway = 0x2;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string name, destination, gateway, flags, refCount, use, metric, mask;
    if (!(fields >> name >> destination >> gateway >> flags >> refCount >> use >> metric >> mask)) continue;
    unsigned long flagBits = std::strtoul(flags.c_str(), nullptr, 16);
    if (std::strtoul(destination.c_str(), nullptr, 16) != 0 || std::strtoul(mask.c_str(), nullptr, 16) != 0 ||
        (flagBits & kRouteGateway) == 0) {
      continue;
    }
    in_addr address{};
    // The kernel writes the address as the 32-bit value it stores (network byte order in memory).
    address.s_addr = static_cast<in_addr_t>(std::strtoul(gateway.c_str(), nullptr, 16));
    gateways[name].push_back(address);
  }
  return gateways;
}

UINT AdapterType(const Interface& interface) {
  switch (interface.hardwareType) {
    case ARPHRD_ETHER: {
      struct stat info {};
      std::string wireless = "/sys/class/net/" + interface.name + "/wireless";
      return stat(wireless.c_str(), &info) == 0 ? IF_TYPE_IEEE80211 : MIB_IF_TYPE_ETHERNET;
    }
    case ARPHRD_PPP:
      return MIB_IF_TYPE_PPP;
    case ARPHRD_LOOPBACK:
      return MIB_IF_TYPE_LOOPBACK;
    default:
      return MIB_IF_TYPE_OTHER;
  }
}

// The adapters in interface-index order, or the system code of the failure.
DWORD ListInterfaces(std::vector<Interface>& result) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return qvplatform::ErrnoToWin32(errno);
  std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);

  std::vector<Interface> interfaces;
  auto find = [&](const char* name) -> Interface& {
    for (auto& interface : interfaces) {
      if (interface.name == name) return interface;
    }
    Interface& added = interfaces.emplace_back();
    added.name = name;
    added.index = if_nametoindex(name);
    return added;
  };
  for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_name || !entry->ifa_addr) continue;
    if (entry->ifa_addr->sa_family == AF_PACKET) {
      Interface& interface = find(entry->ifa_name);
      interface.flags = entry->ifa_flags;
      sockaddr_ll link{};
      std::memcpy(&link, entry->ifa_addr, sizeof link);
      interface.hardwareType = link.sll_hatype;
      size_t length = std::min<size_t>(link.sll_halen, MAX_ADAPTER_ADDRESS_LENGTH);
      interface.hardwareAddress.assign(link.sll_addr, link.sll_addr + length);
    } else if (entry->ifa_addr->sa_family == AF_INET) {
      Interface& interface = find(entry->ifa_name);
      interface.flags = entry->ifa_flags;
      sockaddr_in address{}, mask{};
      std::memcpy(&address, entry->ifa_addr, sizeof address);
      if (entry->ifa_netmask) std::memcpy(&mask, entry->ifa_netmask, sizeof mask);
      interface.addresses.push_back({address.sin_addr, mask.sin_addr});
    }
  }

  auto gateways = DefaultGateways();
  for (auto& interface : interfaces) {
    bool loopback = (interface.flags & IFF_LOOPBACK) != 0 || interface.hardwareType == ARPHRD_LOOPBACK;
    // An Ethernet card without an IPv4 address is still an adapter (shown as 0.0.0.0); other
    // interfaces without one (tunnels, IPv6-only links) are not IPv4 adapters.
    bool adapter = !interface.addresses.empty() || interface.hardwareType == ARPHRD_ETHER;
    if (loopback || !adapter || interface.index == 0) continue;
    if (auto found = gateways.find(interface.name); found != gateways.end()) interface.gateways = found->second;
    result.push_back(std::move(interface));
  }
  std::stable_sort(result.begin(), result.end(),
                   [](const Interface& a, const Interface& b) { return a.index < b.index; });
  return ERROR_SUCCESS;
}

// The address `offset` bytes into the caller's buffer (which may be null while only sizing).
template <class T>
T* BufferAt(uintptr_t base, size_t offset) {
  return reinterpret_cast<T*>(base + offset);
}

// Adapter records followed by the overflow address entries, laid out for the buffer at `base`.
struct Layout {
  std::vector<IP_ADAPTER_INFO> adapters;
  std::vector<IP_ADDR_STRING> extra;

  size_t bytes() const { return adapters.size() * sizeof(IP_ADAPTER_INFO) + extra.size() * sizeof(IP_ADDR_STRING); }
};

// Appends the entries of a list whose first entry is `head`; further entries go to the overflow
// area, linked by their addresses in the caller's buffer.
class ListBuilder {
 public:
  ListBuilder(Layout& layout, uintptr_t base, size_t adapterCount)
      : layout_(layout), base_(base), extraStart_(adapterCount * sizeof(IP_ADAPTER_INFO)) {}

  // Adds an entry: the first fills `head`, later ones are linked after the one at `lastExtra`.
  void Append(IP_ADDR_STRING& head, size_t& count, size_t& lastExtra, in_addr address, in_addr mask,
              DWORD context) {
    if (count == 0) {
      FillAddrString(head, address, mask, context);
    } else {
      size_t slot = layout_.extra.size();
      IP_ADDR_STRING& entry = layout_.extra.emplace_back();
      FillAddrString(entry, address, mask, context);
      auto* where = BufferAt<IP_ADDR_STRING>(base_, extraStart_ + slot * sizeof(IP_ADDR_STRING));
      if (count == 1) {
        head.Next = where;
      } else {
        layout_.extra[lastExtra].Next = where;
      }
      lastExtra = slot;
    }
    ++count;
  }

 private:
  Layout& layout_;
  uintptr_t base_;
  size_t extraStart_;
};

Layout BuildLayout(const std::vector<Interface>& interfaces, uintptr_t base) {
  Layout layout;
  layout.adapters.resize(interfaces.size());
  ListBuilder builder(layout, base, interfaces.size());
  const in_addr none{};
  in_addr host{};
  host.s_addr = INADDR_NONE;  // 255.255.255.255
  for (size_t i = 0; i < interfaces.size(); ++i) {
    const Interface& interface = interfaces[i];
    IP_ADAPTER_INFO& adapter = layout.adapters[i];
    adapter = {};
    if (i + 1 < interfaces.size()) {
      adapter.Next = BufferAt<IP_ADAPTER_INFO>(base, (i + 1) * sizeof(IP_ADAPTER_INFO));
    }
    adapter.ComboIndex = interface.index;
    adapter.Index = interface.index;
    CopyText(adapter.AdapterName, sizeof adapter.AdapterName, interface.name);
    CopyText(adapter.Description, sizeof adapter.Description, interface.name);
    adapter.AddressLength = static_cast<UINT>(interface.hardwareAddress.size());
    std::copy(interface.hardwareAddress.begin(), interface.hardwareAddress.end(), adapter.Address);
    adapter.Type = AdapterType(interface);

    size_t count = 0, last = 0;
    for (size_t n = 0; n < interface.addresses.size(); ++n) {
      DWORD context = (interface.index << 8) | static_cast<DWORD>(n & 0xFF);
      builder.Append(adapter.IpAddressList, count, last, interface.addresses[n].address, interface.addresses[n].mask,
                     context);
    }
    if (count == 0) FillAddrString(adapter.IpAddressList, none, none, 0);

    count = 0;
    for (in_addr gateway : interface.gateways) builder.Append(adapter.GatewayList, count, last, gateway, host, 0);
    if (count == 0) FillAddrString(adapter.GatewayList, none, none, 0);
  }
  return layout;
}

}  // namespace

DWORD GetAdaptersInfo(PIP_ADAPTER_INFO adapterInfo, PULONG sizePointer) {
  if (sizePointer == nullptr) return ERROR_INVALID_PARAMETER;
  std::vector<Interface> interfaces;
  if (DWORD code = ListInterfaces(interfaces); code != ERROR_SUCCESS) return code;
  if (interfaces.empty()) return ERROR_NO_DATA;

  Layout layout = BuildLayout(interfaces, reinterpret_cast<uintptr_t>(adapterInfo));
  size_t needed = layout.bytes();
  if (adapterInfo == nullptr || *sizePointer < needed) {
    *sizePointer = static_cast<ULONG>(needed);
    return ERROR_BUFFER_OVERFLOW;
  }
  // Copied byte-wise: the caller's buffer need not be aligned for the records.
  auto* base = reinterpret_cast<BYTE*>(adapterInfo);
  size_t adapterBytes = layout.adapters.size() * sizeof(IP_ADAPTER_INFO);
  std::memcpy(base, layout.adapters.data(), adapterBytes);
  if (!layout.extra.empty()) {
    std::memcpy(base + adapterBytes, layout.extra.data(), layout.extra.size() * sizeof(IP_ADDR_STRING));
  }
  return ERROR_SUCCESS;
}
