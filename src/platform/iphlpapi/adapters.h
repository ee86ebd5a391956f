// The machine's IPv4 network adapters, as the IP helper library lists them.
#pragma once

#include <ctime>

#include "types.h"

constexpr DWORD MAX_ADAPTER_NAME_LENGTH = 256;
constexpr DWORD MAX_ADAPTER_DESCRIPTION_LENGTH = 128;
constexpr DWORD MAX_ADAPTER_ADDRESS_LENGTH = 8;

constexpr UINT MIB_IF_TYPE_OTHER = 1;
constexpr UINT MIB_IF_TYPE_ETHERNET = 6;
constexpr UINT MIB_IF_TYPE_PPP = 23;
constexpr UINT MIB_IF_TYPE_LOOPBACK = 24;
constexpr UINT IF_TYPE_IEEE80211 = 71;

// A dotted IPv4 text ("10.0.0.5"), NUL-terminated.
struct IP_ADDRESS_STRING {
  char String[16];
};
using IP_MASK_STRING = IP_ADDRESS_STRING;

struct IP_ADDR_STRING {
  IP_ADDR_STRING* Next;
  IP_ADDRESS_STRING IpAddress;
  IP_MASK_STRING IpMask;
  DWORD Context;
};
using PIP_ADDR_STRING = IP_ADDR_STRING*;

struct IP_ADAPTER_INFO {
  IP_ADAPTER_INFO* Next;
  DWORD ComboIndex;
  char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];
  char Description[MAX_ADAPTER_DESCRIPTION_LENGTH + 4];
  UINT AddressLength;
  BYTE Address[MAX_ADAPTER_ADDRESS_LENGTH];
  DWORD Index;
  UINT Type;
  UINT DhcpEnabled;
  PIP_ADDR_STRING CurrentIpAddress;
  IP_ADDR_STRING IpAddressList;
  IP_ADDR_STRING GatewayList;
  IP_ADDR_STRING DhcpServer;
  BOOL HaveWins;
  IP_ADDR_STRING PrimaryWinsServer;
  IP_ADDR_STRING SecondaryWinsServer;
  time_t LeaseObtained;
  time_t LeaseExpires;
};
using PIP_ADAPTER_INFO = IP_ADAPTER_INFO*;

// Fills `adapterInfo` with a linked list of the IPv4 adapters, ordered by interface index; every
// node lives inside the caller's buffer. Loopback interfaces are left out. An adapter lists every
// IPv4 address with its mask in the kernel's order; an Ethernet interface without one is listed
// with "0.0.0.0". AdapterName and Description are the interface name; Address is the link-layer
// address (AddressLength bytes); GatewayList holds the default gateways through the interface
// ("0.0.0.0" when there is none).
// Results: ERROR_SUCCESS; ERROR_BUFFER_OVERFLOW with the size needed in *sizePointer when the
// buffer is missing or smaller; ERROR_NO_DATA when there is no adapter; ERROR_INVALID_PARAMETER
// for a null size pointer; otherwise the system code of the failure to read the interfaces.
DWORD GetAdaptersInfo(PIP_ADAPTER_INFO adapterInfo, PULONG sizePointer);
