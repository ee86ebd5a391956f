// WinHttpQueryHeaders on a received response head.
#pragma once

#include "types.h"
#include "winhttp/response_head.h"

namespace qvplatform::winhttp {

// 0 or an error code; follows WinHTTP's size protocol (ERROR_INSUFFICIENT_BUFFER with the size in
// bytes needed, terminator included; on success the length without the terminator).
DWORD QueryHeader(const ResponseHead& head, DWORD infoLevel, LPCWSTR name, LPVOID buffer,
                  LPDWORD bufferLength, LPDWORD index);

}  // namespace qvplatform::winhttp
