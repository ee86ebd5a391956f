// The computer's names: host name from the system, DNS domain from the hive.
#pragma once

#include <string>

#include "types.h"

enum COMPUTER_NAME_FORMAT {
  ComputerNameNetBIOS = 0,
  ComputerNameDnsHostname = 1,
  ComputerNameDnsDomain = 2,
  ComputerNameDnsFullyQualified = 3,
  ComputerNamePhysicalNetBIOS = 4,
  ComputerNamePhysicalDnsHostname = 5,
  ComputerNamePhysicalDnsDomain = 6,
  ComputerNamePhysicalDnsFullyQualified = 7,
  ComputerNameMax = 8,
};

constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

// The names, for the physical and the plain forms alike (there is no cluster):
// - DNS host name: the system's host name up to its first dot;
// - DNS domain: HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters "Domain" when not empty,
//   else what follows the first dot of the system's host name (may be empty);
// - fully qualified: host name "." domain (the host name alone when the domain is empty);
// - NetBIOS: the DNS host name in upper case, cut to MAX_COMPUTERNAME_LENGTH characters.
// `size` holds the buffer's capacity in characters; on success it receives the length without the
// terminator. A buffer too small (or null) fails with ERROR_MORE_DATA and the capacity needed,
// terminator included, in *size. An unknown format or a null `size`: ERROR_INVALID_PARAMETER.
BOOL GetComputerNameExW(COMPUTER_NAME_FORMAT format, LPWSTR buffer, LPDWORD size);
// The same in UTF-8; sizes count bytes.
BOOL GetComputerNameExA(COMPUTER_NAME_FORMAT format, LPSTR buffer, LPDWORD size);

namespace qvplatform {
// Whether a server or machine name given to an API names this computer: empty, ".", "localhost",
// "127.0.0.1" or one of its own names (host, fully qualified, NetBIOS; case-insensitive), with or
// without a leading "\\".
bool IsLocalComputer(const std::string& name);
}  // namespace qvplatform
