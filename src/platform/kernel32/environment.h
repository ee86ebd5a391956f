// The process environment.
#pragma once

#include "types.h"

// Copies the value of `name` into `buffer` (`size` bytes). Returns the value's length without the
// terminator on success; when the buffer is too small (or null), the size needed including the
// terminator, and the buffer is left untouched; 0 with ERROR_ENVVAR_NOT_FOUND when the variable is
// not set. An empty value returns 0 with the last error ERROR_SUCCESS.
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
