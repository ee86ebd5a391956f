#include "netapi32/join.h"

#include <arpa/inet.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "advapi32/hive_values.h"
#include "kernel32/computer_name.h"
#include "kernel32/conversions.h"
#include "kernel32/errors.h"

namespace {

constexpr const char* kNetlogon = R"(SYSTEM\CurrentControlSet\Services\Netlogon\Parameters)";
constexpr const char* kTcpip = R"(SYSTEM\CurrentControlSet\Services\Tcpip\Parameters)";
constexpr const char* kDefaultWorkgroup = "WORKGROUP";

// The blocks handed out by the network calls, so a foreign pointer is refused rather than freed.
struct NetBuffers {
  std::mutex mutex;
  std::unordered_set<void*> live;
};

NetBuffers& Buffers() {
  static auto* buffers = new NetBuffers;  // used until the process ends
  return *buffers;
}

void* AllocateBuffer(size_t bytes) {
  void* block = std::calloc(1, bytes);
  if (!block) return nullptr;
  std::lock_guard lock(Buffers().mutex);
  Buffers().live.insert(block);
  return block;
}

// A hive text, treating a missing key or value as absent; any other failure is reported.
struct Setting {
  std::optional<std::string> text;
  DWORD error = ERROR_SUCCESS;
};

Setting ReadSetting(const char* key, const char* name) {
  auto read = qvplatform::ReadHiveText(HKEY_LOCAL_MACHINE, key, name);
  if (read) return {*read, ERROR_SUCCESS};
  DWORD error = static_cast<DWORD>(read.error);
  return {std::nullopt, error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error};
}

std::string WithBackslashes(const std::string& name) { return name.rfind("\\\\", 0) == 0 ? name : "\\\\" + name; }

}  // namespace

NET_API_STATUS NetGetJoinInformation(LPCWSTR server, LPWSTR* nameBuffer, PNETSETUP_JOIN_STATUS bufferType) {
  if (nameBuffer == nullptr || bufferType == nullptr) return ERROR_INVALID_PARAMETER;
  if (server && !qvplatform::IsLocalComputer(qvplatform::Utf16ToUtf8Lossy(server))) return ERROR_BAD_NETPATH;
  Setting domain = ReadSetting(kNetlogon, "DomainName");
  if (domain.error != ERROR_SUCCESS) return domain.error;
  Setting workgroup = ReadSetting(kNetlogon, "Workgroup");
  if (workgroup.error != ERROR_SUCCESS) return workgroup.error;

  std::string name;
  NETSETUP_JOIN_STATUS status;
  if (domain.text && !domain.text->empty()) {
    name = *domain.text;
    status = NetSetupDomainName;
  } else if (!workgroup.text) {
    name = kDefaultWorkgroup;
    status = NetSetupWorkgroupName;
  } else if (!workgroup.text->empty()) {
    name = *workgroup.text;
    status = NetSetupWorkgroupName;
  } else {
    status = NetSetupUnjoined;
  }
  std::u16string wide = qvplatform::Utf8ToUtf16Lossy(name);
  auto* buffer = static_cast<LPWSTR>(AllocateBuffer((wide.size() + 1) * sizeof(WCHAR)));
  if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;
  std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  *nameBuffer = buffer;
  *bufferType = status;
  return NERR_Success;
}

NET_API_STATUS NetApiBufferFree(LPVOID buffer) {
  if (buffer == nullptr) return NERR_Success;
  {
    std::lock_guard lock(Buffers().mutex);
    if (Buffers().live.erase(buffer) == 0) return ERROR_INVALID_PARAMETER;
  }
  std::free(buffer);
  return NERR_Success;
}

DWORD DsGetDcNameA(LPCSTR computerName, LPCSTR domainName, const GUID*, LPCSTR, ULONG flags,
                   PDOMAIN_CONTROLLER_INFOA* info) {
  if (info == nullptr) return ERROR_INVALID_PARAMETER;
  *info = nullptr;
  if ((flags & DS_RETURN_FLAT_NAME) && (flags & DS_RETURN_DNS_NAME)) return ERROR_INVALID_FLAGS;
  if (computerName && !qvplatform::IsLocalComputer(computerName)) return ERROR_BAD_NETPATH;

  Setting flat = ReadSetting(kNetlogon, "DomainName");
  if (flat.error != ERROR_SUCCESS) return flat.error;
  if (!flat.text || flat.text->empty()) return ERROR_NO_SUCH_DOMAIN;
  Setting controller = ReadSetting(kNetlogon, "DomainController");
  if (controller.error != ERROR_SUCCESS) return controller.error;
  if (!controller.text || controller.text->empty()) return ERROR_NO_SUCH_DOMAIN;
  std::string dns = ReadSetting(kTcpip, "Domain").text.value_or("");
  if (domainName && *domainName && strcasecmp(domainName, flat.text->c_str()) != 0 &&
      (dns.empty() || strcasecmp(domainName, dns.c_str()) != 0)) {
    return ERROR_NO_SUCH_DOMAIN;
  }

  std::string address = ReadSetting(kNetlogon, "DomainControllerAddress").text.value_or("");
  ULONG addressType = DS_NETBIOS_ADDRESS;
  if (address.empty()) {
    address = *controller.text;
  } else {
    in_addr parsed{};
    std::string bare = address.rfind("\\\\", 0) == 0 ? address.substr(2) : address;
    if (inet_pton(AF_INET, bare.c_str(), &parsed) == 1) addressType = DS_INET_ADDRESS;
  }
  std::string forest = ReadSetting(kNetlogon, "DnsForestName").text.value_or("");
  if (forest.empty()) forest = dns;

  // The record and its texts in one block, in this order; an empty text is reported as null.
  std::vector<std::string> texts = {
      WithBackslashes(*controller.text),
      WithBackslashes(address),
      (flags & DS_RETURN_FLAT_NAME) || dns.empty() ? *flat.text : dns,
      forest,
      ReadSetting(kNetlogon, "DcSiteName").text.value_or(""),
      ReadSetting(kNetlogon, "ClientSiteName").text.value_or(""),
  };
  size_t bytes = sizeof(DOMAIN_CONTROLLER_INFOA);
  for (const auto& text : texts) bytes += text.size() + 1;
  auto* record = static_cast<PDOMAIN_CONTROLLER_INFOA>(AllocateBuffer(bytes));
  if (!record) return ERROR_NOT_ENOUGH_MEMORY;
  char* cursor = reinterpret_cast<char*>(record + 1);
  std::vector<LPSTR> placed;
  for (const auto& text : texts) {
    std::memcpy(cursor, text.c_str(), text.size() + 1);
    placed.push_back(text.empty() ? nullptr : cursor);
    cursor += text.size() + 1;
  }
  record->DomainControllerName = placed[0];
  record->DomainControllerAddress = placed[1];
  record->DomainControllerAddressType = addressType;
  record->DomainGuid = {};
  record->DomainName = placed[2];
  record->DnsForestName = placed[3];
  record->DcSiteName = placed[4];
  record->ClientSiteName = placed[5];
  record->Flags = DS_DS_FLAG | DS_KDC_FLAG | DS_WRITABLE_FLAG | DS_TIMESERV_FLAG;
  if (!dns.empty() && !(flags & DS_RETURN_FLAT_NAME)) record->Flags |= DS_DNS_CONTROLLER_FLAG | DS_DNS_DOMAIN_FLAG;
  if (!forest.empty() && !(flags & DS_RETURN_FLAT_NAME)) record->Flags |= DS_DNS_FOREST_FLAG;
  *info = record;
  return ERROR_SUCCESS;
}
