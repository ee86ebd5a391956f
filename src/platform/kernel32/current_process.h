// The calling process's pseudo handle, as Windows hands it out: it needs no closing and stands for
// the calling process wherever a process handle is taken (IsWow64Process, ...).
#pragma once

#include "types.h"

inline HANDLE GetCurrentProcess() { return INVALID_HANDLE_VALUE; }
