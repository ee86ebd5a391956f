#include "kernel32/environment.h"

#include <cstdlib>
#include <cstring>

#include "kernel32/errors.h"

DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
  if (name == nullptr || *name == '\0' || std::strchr(name, '=') != nullptr) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  const char* value = std::getenv(name);
  if (value == nullptr) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  const size_t length = std::strlen(value);
  if (length >= 0xFFFFFFFFu) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (buffer == nullptr || size <= length) return static_cast<DWORD>(length + 1);
  std::memcpy(buffer, value, length + 1);
  if (length == 0) SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(length);
}
