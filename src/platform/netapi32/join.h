// Domain membership of the computer and its domain controller, from documented hive values:
//
//   HKLM\SYSTEM\CurrentControlSet\Services\Netlogon\Parameters
//     DomainName               flat (NetBIOS) name of the joined domain; not empty: a domain member
//     Workgroup                the workgroup joined when DomainName is empty (absent: "WORKGROUP";
//                              present and empty: the computer is not joined)
//     DomainController         the domain controller, "\\SRV01" (empty: none can be found)
//     DomainControllerAddress  its address, "\\10.0.0.5" (empty: the controller's name)
//     DnsForestName, DcSiteName, ClientSiteName   reported as they are (empty: none)
//   HKLM\SYSTEM\CurrentControlSet\Services\Tcpip\Parameters
//     Domain                   DNS name of the joined domain (empty: the flat name serves)
#pragma once

#include "types.h"

using NET_API_STATUS = DWORD;
constexpr NET_API_STATUS NERR_Success = 0;

enum NETSETUP_JOIN_STATUS {
  NetSetupUnknownStatus = 0,
  NetSetupUnjoined = 1,
  NetSetupWorkgroupName = 2,
  NetSetupDomainName = 3,
};
using PNETSETUP_JOIN_STATUS = NETSETUP_JOIN_STATUS*;

// The join state and the domain's flat name or the workgroup's name (an empty text when not
// joined) in a buffer to release with NetApiBufferFree. `server` must be null, empty or this
// computer (else ERROR_BAD_NETPATH); null out-pointers give ERROR_INVALID_PARAMETER; a hive that
// cannot be read gives the registry's code.
NET_API_STATUS NetGetJoinInformation(LPCWSTR server, LPWSTR* nameBuffer, PNETSETUP_JOIN_STATUS bufferType);

// Releases a buffer of NetGetJoinInformation or DsGetDcNameA; null is accepted. A pointer that no
// call returned (or one already released) gives ERROR_INVALID_PARAMETER.
NET_API_STATUS NetApiBufferFree(LPVOID buffer);

struct DOMAIN_CONTROLLER_INFOA {
  LPSTR DomainControllerName;
  LPSTR DomainControllerAddress;
  ULONG DomainControllerAddressType;
  GUID DomainGuid;
  LPSTR DomainName;
  LPSTR DnsForestName;
  ULONG Flags;
  LPSTR DcSiteName;
  LPSTR ClientSiteName;
};
using PDOMAIN_CONTROLLER_INFOA = DOMAIN_CONTROLLER_INFOA*;

constexpr ULONG DS_INET_ADDRESS = 1;
constexpr ULONG DS_NETBIOS_ADDRESS = 2;

constexpr ULONG DS_FORCE_REDISCOVERY = 0x00000001;
constexpr ULONG DS_DIRECTORY_SERVICE_REQUIRED = 0x00000010;
constexpr ULONG DS_IS_FLAT_NAME = 0x00010000;
constexpr ULONG DS_IS_DNS_NAME = 0x00020000;
constexpr ULONG DS_RETURN_DNS_NAME = 0x40000000;
constexpr ULONG DS_RETURN_FLAT_NAME = 0x80000000;

constexpr ULONG DS_PDC_FLAG = 0x00000001;
constexpr ULONG DS_DS_FLAG = 0x00000010;
constexpr ULONG DS_KDC_FLAG = 0x00000020;
constexpr ULONG DS_TIMESERV_FLAG = 0x00000040;
constexpr ULONG DS_WRITABLE_FLAG = 0x00000100;
constexpr ULONG DS_DNS_CONTROLLER_FLAG = 0x20000000;
constexpr ULONG DS_DNS_DOMAIN_FLAG = 0x40000000;
constexpr ULONG DS_DNS_FOREST_FLAG = 0x80000000;

// The domain controller of the joined domain, in one buffer to release with NetApiBufferFree.
// A computer that is not a domain member, or whose DomainController is empty, gets
// ERROR_NO_SUCH_DOMAIN; so does a `domainName` that is neither the domain's flat nor its DNS name.
// DomainName is the flat name with DS_RETURN_FLAT_NAME, else the DNS name (the flat name when it
// is not known). DS_RETURN_FLAT_NAME with DS_RETURN_DNS_NAME: ERROR_INVALID_FLAGS. `computerName`
// must be null, empty or this computer (else ERROR_BAD_NETPATH); the GUID and site name are not
// used. A null `info`: ERROR_INVALID_PARAMETER.
DWORD DsGetDcNameA(LPCSTR computerName, LPCSTR domainName, const GUID* domainGuid, LPCSTR siteName, ULONG flags,
                   PDOMAIN_CONTROLLER_INFOA* info);
