#include "config/machine_identity.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <new>
#include <vector>

#include "logging/log_core.h"
#include "util/encoding.h"

AgentText gv_localIPAddress;
AgentText gv_localMACAddress;
AgentText gv_localSubnetMask;
AgentText gv_domainController;
AgentText gv_localComputerName;
AgentText gv_clientNamespace;
int gv_isDomainMember = 1;

namespace {

// Each list holds at most this many characters (a 32767-byte buffer with its terminator).
constexpr size_t kMaxListLength = 32766;
constexpr size_t kMacTextLength = 17;
constexpr DWORD kComputerNameCapacity = 64;

void AppendBounded(std::string& list, const std::string& text) {
  list += text;
  if (list.size() > kMaxListLength) list.resize(kMaxListLength);
}

// A "," goes before a new entry once the list holds more than `threshold` characters.
void AppendEntry(std::string& list, const std::string& entry, size_t threshold) {
  if (list.size() > threshold) AppendBounded(list, ",");
  AppendBounded(list, entry);
}

std::string MacText(const IP_ADAPTER_INFO& adapter) {
  static const char* digits = "0123456789abcdef";
  std::string text;
  const UINT length = adapter.AddressLength < MAX_ADAPTER_ADDRESS_LENGTH ? adapter.AddressLength
                                                                          : MAX_ADAPTER_ADDRESS_LENGTH;
  for (UINT i = 0; i < length; ++i) {
    if (i > 0) text += ':';
    text += digits[adapter.Address[i] >> 4];
    text += digits[adapter.Address[i] & 0xf];
  }
  return text;
}

std::string Trimmed(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  size_t begin = 0;
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  return text.substr(begin, end - begin);
}

DWORD CollectAddresses(std::string& ipList, std::string& macList, std::string& maskList) {
  ULONG size = 0;
  DWORD code = GetAdaptersInfo(nullptr, &size);
  if (code != ERROR_SUCCESS && code != ERROR_BUFFER_OVERFLOW) {
    LogError("GetMACandIPAddress : GetAdaptersInfo sizing failed with error %d\n", code);
    return code;
  }
  std::vector<BYTE> buffer;
  try {
    buffer.assign(size, 0);
  } catch (const std::bad_alloc&) {
    LogError("GetMACandIPAddress : Memory allocation error\n");
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  auto* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
  code = GetAdaptersInfo(adapters, &size);
  if (code != ERROR_SUCCESS) {
    LogError("GetMACandIPAddress : GetAdaptersInfo failed with error %d\n", code);
    return code;
  }
  AppendAdapterAddresses(adapters, ipList, macList, maskList);
  return ERROR_SUCCESS;
}

}  // namespace

void AppendAdapterAddresses(const IP_ADAPTER_INFO* adapters, std::string& ipList, std::string& macList,
                            std::string& maskList) {
  for (const IP_ADAPTER_INFO* adapter = adapters; adapter != nullptr; adapter = adapter->Next) {
    const std::string mac = MacText(*adapter);
    for (const IP_ADDR_STRING* entry = &adapter->IpAddressList; entry != nullptr; entry = entry->Next) {
      const char* address = entry->IpAddress.String;
      const char* mask = entry->IpMask.String;
      std::fputs(qvplatform::Format("%-10.d%-10.d%-20.20s%s\n", adapter->Index, entry->Context, address, mask).c_str(),
                 stdout);
      LogInfo("ipAddress :%-10.d%-10.d%-20.20s%s\n", adapter->Index, entry->Context, address, mask);
      if (strcasecmp(address, "0.0.0.0") == 0) continue;
      AppendEntry(ipList, address, 2);
      if (mac.size() == kMacTextLength) AppendEntry(macList, mac, 1);
      AppendEntry(maskList, mask, 2);
    }
  }
  std::fflush(stdout);
}

DWORD GetMACandIPAddress(std::string& ipList, std::string& macList, std::string& maskList) {
  ipList.clear();
  macList.clear();
  maskList.clear();
  const DWORD code = CollectAddresses(ipList, macList, maskList);
  if (macList.empty()) macList = "--";
  if (code != ERROR_SUCCESS) return code;
  LogDebug("GetMACandIPAddress : Local Machine MAC ADDRESS : %s \n", macList.c_str());
  LogDebug("GetMACandIPAddress : Local Machine IP ADDRESS  : %s \n", ipList.c_str());
  LogDebug("GetMACandIPAddress : Local Machine Subnet Mask : %s \n", maskList.c_str());
  return ERROR_SUCCESS;
}

DWORD GetComputerLogonServer(AgentText& domainController) {
  PDOMAIN_CONTROLLER_INFOA info = nullptr;
  const DWORD code = DsGetDcNameA(nullptr, nullptr, nullptr, nullptr, DS_RETURN_FLAT_NAME, &info);
  if (code != ERROR_SUCCESS) {
    LogError("GetComputerLogonServer: Error while fetching DC name! %d \n", code);
    return code;
  }
  LogDebug("GetComputerLogonServer : DomainControllerName :%s \n", info->DomainControllerName);
  LogDebug("DomainControllerAddress :%s\n", info->DomainControllerAddress);
  LogDebug("DomainName :%s\n", info->DomainName);
  LogDebug("DnsForestName :%s\n", info->DnsForestName);
  LogDebug("DcSiteName :%s\n", info->DcSiteName);
  LogDebug("ClientSiteName :%s\n", info->ClientSiteName);
  // The name comes as "\\NAME".
  const std::string name = info->DomainControllerName != nullptr ? info->DomainControllerName : "";
  domainController = name.size() >= 2 ? name.substr(2) : std::string();
  NetApiBufferFree(info);
  return ERROR_SUCCESS;
}

int GetLocalComputerName(AgentText& computerName) {
  WSADATA wsaData{};
  WSAStartup(MAKEWORD(2, 2), &wsaData);
  char16_t buffer[kComputerNameCapacity] = {};
  DWORD size = kComputerNameCapacity;
  if (!GetComputerNameExW(ComputerNamePhysicalDnsHostname, buffer, &size)) {
    LogError("GetLocalComputerName: Error while getting computername! %d \n", WSAGetLastError());
    WSACleanup();
    return 0;
  }
  LogDebug("GetLocalComputerName: Computer Name: %ws \n", buffer);
  std::string name;
  ChangeWideToUtf8Str(buffer, name);
  computerName = name;
  LogInfo("GetLocalComputerName : Computer Name : %s\n", name.c_str());
  WSACleanup();
  return 1;
}

int GetComputerNameSpace(AgentText& nameSpace, int& isDomainMember) {
  LPWSTR name = nullptr;
  NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
  const DWORD code = NetGetJoinInformation(nullptr, &name, &status);
  if (code != ERROR_SUCCESS) {
    LogError("GetComputerNameSpace : Failed to retrive the namespace -> %d \n", code);
    return 0;
  }
  std::string text;
  if (name != nullptr) ChangeWideToUtf8Str(name, text);
  nameSpace = text;
  isDomainMember = 0;
  switch (status) {
    case NetSetupUnknownStatus:
      LogInfo("GetComputerNameSpace : The status is unknown. \n");
      break;
    case NetSetupUnjoined:
      LogInfo("GetComputerNameSpace :The computer is not joined. \n");
      break;
    case NetSetupWorkgroupName:
      LogInfo("GetComputerNameSpace :The computer is joined to a workgroup. \n");
      break;
    case NetSetupDomainName:
      LogInfo("GetComputerNameSpace :The computer is joined to a domain. \n");
      isDomainMember = 1;
      break;
    default:
      LogInfo("GetComputerNameSpace : The status is not determined .\n");
      break;
  }
  if (name != nullptr) NetApiBufferFree(name);
  return 1;
}

int InitializeLocalMachineDetails() {
  std::string ipList;
  std::string macList;
  std::string maskList;
  if (GetMACandIPAddress(ipList, macList, maskList) != ERROR_SUCCESS) {
    LogError("InitializeLocalMachineDetails : Error while fetching Local machine IP and MAC Addresses! \n");
  }
  gv_localIPAddress = ipList;
  gv_localMACAddress = macList;
  gv_localSubnetMask = maskList;
  if (GetComputerLogonServer(gv_domainController) != ERROR_SUCCESS) {
    LogError("InitializeLocalMachineDetails : Error while fetching computer domain controller ! \n");
  }
  if (!GetLocalComputerName(gv_localComputerName)) {
    LogError("InitializeLocalMachineDetails : Error occured while retrieving the local computer name !!! \n");
    return ERROR_INVALID_DATA;
  }
  AgentText nameSpace;
  if (!GetComputerNameSpace(nameSpace, gv_isDomainMember)) {
    LogError("InitializeLocalMachineDetails : Error occured while retrieving the name space !!! \n");
    return ERROR_INVALID_DATA;
  }
  gv_clientNamespace = Trimmed(nameSpace.value_or(std::string()));
  return ERROR_SUCCESS;
}
