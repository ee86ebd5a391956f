// The typed handle table behind every kernel HANDLE, with CloseHandle and WaitForSingleObject.
//
// A HANDLE is a small key (a multiple of 4, never 0 and never INVALID_HANDLE_VALUE) into one
// process-wide table; the table owns a shared reference to the object. Lookups are typed, so a file
// handle passed where a process is expected fails with ERROR_INVALID_HANDLE instead of being misread.
#pragma once

#include <memory>

#include "types.h"

BOOL CloseHandle(HANDLE handle);
// Waits for a waitable object (process, mutex). WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED with the
// last error set (ERROR_INVALID_HANDLE for a handle that is not waitable).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

namespace qvplatform {

class KernelObject {
 public:
  virtual ~KernelObject();
  // Waitable objects override this; the default fails with ERROR_INVALID_HANDLE.
  virtual DWORD Wait(DWORD milliseconds);
  // Called when a handle to the object is closed (the object may outlive it through other references).
  virtual void OnClose() {}
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupObject(HANDLE handle);
// Removes the handle; returns the object it held, or null (last error ERROR_INVALID_HANDLE).
std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle);

// The object behind `handle` when it is a T, else null with the last error set to
// ERROR_INVALID_HANDLE.
template <class T>
std::shared_ptr<T> LookupHandle(HANDLE handle);

void SetInvalidHandleError();

template <class T>
std::shared_ptr<T> LookupHandle(HANDLE handle) {
  auto typed = std::dynamic_pointer_cast<T>(LookupObject(handle));
  if (!typed) SetInvalidHandleError();
  return typed;
}

}  // namespace qvplatform
