#include "kernel32/handles.h"

#include <mutex>
#include <unordered_map>

#include "kernel32/errors.h"

namespace qvplatform {

namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = 4;
};

HandleTable& Table() {
  static auto* table = new HandleTable;  // never destroyed: handles may be closed during exit
  return *table;
}

}  // namespace

KernelObject::~KernelObject() = default;

DWORD KernelObject::Wait(DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

void SetInvalidHandleError() { SetLastError(ERROR_INVALID_HANDLE); }

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
  if (!object) return nullptr;
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  uintptr_t key = table.next;
  while (table.objects.count(key) || key == 0 || key == static_cast<uintptr_t>(-1)) key += 4;
  table.next = key + 4;
  table.objects.emplace(key, std::move(object));
  return reinterpret_cast<HANDLE>(key);
}

std::shared_ptr<KernelObject> LookupObject(HANDLE handle) {
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == table.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> object;
  {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it != table.objects.end()) {
      object = std::move(it->second);
      table.objects.erase(it);
    }
  }
  if (!object) SetInvalidHandleError();
  return object;
}

}  // namespace qvplatform

BOOL CloseHandle(HANDLE handle) {
  auto object = qvplatform::RemoveHandle(handle);
  if (!object) return FALSE;
  object->OnClose();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto object = qvplatform::LookupObject(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return object->Wait(milliseconds);
}
