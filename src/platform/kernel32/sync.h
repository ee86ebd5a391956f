// Mutexes, sleeping, and thread and process identifiers.
#pragma once

#include "types.h"

// An unnamed mutex, owned by the calling thread at once when `initialOwner` is TRUE. Ownership is
// recursive: the owning thread may wait on it again and must release it as many times. Waiting goes
// through WaitForSingleObject (WAIT_OBJECT_0 or WAIT_TIMEOUT). Named mutexes are not provided: a
// name fails with ERROR_NOT_SUPPORTED.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
// Gives up one level of ownership; FALSE with ERROR_NOT_OWNER when the caller does not own it.
BOOL ReleaseMutex(HANDLE mutex);

// Suspends the calling thread; 0 only yields the processor, INFINITE never returns.
void Sleep(DWORD milliseconds);

// The kernel's id of the calling thread (as in /proc/<pid>/task), and the process id.
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
