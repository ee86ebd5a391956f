#include "kernel32/computer_name.h"

#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <optional>
#include <string>

#include "advapi32/hive_values.h"
#include "kernel32/conversions.h"
#include "kernel32/errors.h"

namespace {

constexpr const char* kTcpipParameters = R"(SYSTEM\CurrentControlSet\Services\Tcpip\Parameters)";

std::string SystemHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

// The name of `format` in UTF-8, or nullopt for a format that does not exist.
std::optional<std::string> ComputerName(COMPUTER_NAME_FORMAT format) {
  std::string full = SystemHostName();
  size_t dot = full.find('.');
  std::string host = full.substr(0, dot);
  auto domain = [&]() -> std::string {
    auto configured = qvplatform::ReadHiveText(HKEY_LOCAL_MACHINE, kTcpipParameters, "Domain");
    if (configured && !configured->empty()) return *configured;
    return dot == std::string::npos ? std::string() : full.substr(dot + 1);
  };
  switch (format) {
    case ComputerNameNetBIOS:
    case ComputerNamePhysicalNetBIOS: {
      std::string netbios = host.substr(0, MAX_COMPUTERNAME_LENGTH);
      for (char& c : netbios) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return netbios;
    }
    case ComputerNameDnsHostname:
    case ComputerNamePhysicalDnsHostname:
      return host;
    case ComputerNameDnsDomain:
    case ComputerNamePhysicalDnsDomain:
      return domain();
    case ComputerNameDnsFullyQualified:
    case ComputerNamePhysicalDnsFullyQualified: {
      std::string suffix = domain();
      return suffix.empty() ? host : host + "." + suffix;
    }
    case ComputerNameMax:
      break;
  }
  return std::nullopt;
}

// The "buffer too small, here is the size" protocol of the computer-name calls, in characters.
template <class Char>
BOOL CopyName(const std::basic_string<Char>& name, Char* buffer, LPDWORD size) {
  DWORD needed = static_cast<DWORD>(name.size() + 1);
  if (buffer == nullptr || *size < needed) {
    *size = needed;
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), needed * sizeof(Char));
  *size = needed - 1;
  return TRUE;
}

}  // namespace

BOOL GetComputerNameExA(COMPUTER_NAME_FORMAT format, LPSTR buffer, LPDWORD size) {
  auto name = ComputerName(format);
  if (!name || size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CopyName(*name, buffer, size);
}

BOOL GetComputerNameExW(COMPUTER_NAME_FORMAT format, LPWSTR buffer, LPDWORD size) {
  auto name = ComputerName(format);
  if (!name || size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CopyName(qvplatform::Utf8ToUtf16Lossy(*name), buffer, size);
}

namespace qvplatform {

bool IsLocalComputer(const std::string& name) {
  std::string bare = name.rfind("\\\\", 0) == 0 ? name.substr(2) : name;
  if (bare.empty()) return true;
  for (auto format : {ComputerNamePhysicalDnsHostname, ComputerNamePhysicalDnsFullyQualified, ComputerNameNetBIOS}) {
    char own[256];
    DWORD size = sizeof own;
    if (GetComputerNameExA(format, own, &size) && strcasecmp(own, bare.c_str()) == 0) return true;
  }
  return bare == "localhost" || bare == "127.0.0.1" || bare == ".";
}

}  // namespace qvplatform
