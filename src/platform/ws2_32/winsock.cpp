#include "ws2_32/winsock.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "kernel32/errors.h"

namespace {

std::atomic<int> startCount{0};

constexpr WORD kHighestVersion = MAKEWORD(2, 2);

// Versions compare by major (low byte), then minor (high byte).
int VersionKey(WORD version) { return LOBYTE(version) * 256 + HIBYTE(version); }

}  // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
  if (VersionKey(versionRequested) < VersionKey(MAKEWORD(1, 0))) return WSAVERNOTSUPPORTED;
  if (data == nullptr) return WSAEFAULT;
  *data = {};
  data->wVersion = VersionKey(versionRequested) < VersionKey(kHighestVersion) ? versionRequested : kHighestVersion;
  data->wHighVersion = kHighestVersion;
  std::strcpy(data->szDescription, "WinSock 2.0");
  std::strcpy(data->szSystemStatus, "Running");
  startCount.fetch_add(1);
  return 0;
}

int WSACleanup() {
  int count = startCount.load();
  while (count > 0 && !startCount.compare_exchange_weak(count, count - 1)) {
  }
  if (count <= 0) {
    SetLastError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  return 0;
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }

void WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }
