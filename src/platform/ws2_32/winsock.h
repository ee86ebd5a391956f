// Winsock start-up and tear-down. Sockets themselves are the system's; these calls only keep the
// per-process start count that Windows programs expect.
#pragma once

#include "types.h"

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
};
using LPWSADATA = WSADATA*;

constexpr int SOCKET_ERROR = -1;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEPROCLIM = 10067;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;

constexpr WORD MAKEWORD(BYTE low, BYTE high) { return static_cast<WORD>(low | (high << 8)); }

// Versions 1.0 to 2.2 are supported: *data receives the lower of the requested version and 2.2 in
// wVersion and 2.2 in wHighVersion. Returns 0, WSAVERNOTSUPPORTED for a request below 1.0, or
// WSAEFAULT for a null `data` (the result is the error; the last error is not set).
int WSAStartup(WORD versionRequested, LPWSADATA data);
// Undoes one successful WSAStartup: 0, or SOCKET_ERROR with WSANOTINITIALISED when none is left.
int WSACleanup();
// The calling thread's last error (shared with GetLastError).
int WSAGetLastError();
void WSASetLastError(int error);
