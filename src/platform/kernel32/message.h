// FormatMessage over the system's message texts, and the local heap its buffers come from.
#pragma once

#include <cstdarg>

#include "types.h"

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

constexpr DWORD LANG_NEUTRAL = 0x00;
constexpr DWORD SUBLANG_DEFAULT = 0x01;
constexpr DWORD SUBLANG_SYS_DEFAULT = 0x02;
constexpr DWORD MAKELANGID(DWORD primary, DWORD sub) { return (sub << 10) | primary; }

constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
// Returns NULL on success, the handle (with ERROR_INVALID_HANDLE) on failure, like Windows.
HLOCAL LocalFree(HLOCAL memory);

// Supported: FORMAT_MESSAGE_FROM_SYSTEM with FORMAT_MESSAGE_IGNORE_INSERTS, with or without
// FORMAT_MESSAGE_ALLOCATE_BUFFER (then `buffer` receives a LocalAlloc'd text, passed as the address
// of a pointer), and any maximum line width (0: the text keeps its "\r\n"; 0xFF: line breaks become
// one blank). Returns the number of characters stored without the terminator; 0 with
// ERROR_MR_MID_NOT_FOUND (317) when the system has no text for the code, ERROR_INSUFFICIENT_BUFFER
// when a caller's buffer is too small, ERROR_INVALID_PARAMETER for unsupported sources.
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                     va_list* arguments);
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, va_list* arguments);

namespace qvplatform {
// The system's message text for a code ("...\r\n" as stored), or null when it has none.
const char* SystemMessageText(DWORD code);
}  // namespace qvplatform
