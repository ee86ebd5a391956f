#include "advapi32/crypt_context.h"

#include "advapi32/crypt_keys.h"
#include "advapi32/registry.h"

#include "kernel32/errors.h"

namespace qvplatform {

std::shared_ptr<CryptProvider> LookupProvider(HCRYPTPROV provider) {
  auto object = std::dynamic_pointer_cast<CryptProvider>(LookupObject(reinterpret_cast<HANDLE>(provider)));
  if (!object) SetLastError(NTE_BAD_UID);
  return object;
}

ULONG_PTR InsertCryptHandle(std::shared_ptr<KernelObject> object) {
  return reinterpret_cast<ULONG_PTR>(InsertHandle(std::move(object)));
}

}  // namespace qvplatform

namespace {

// Opens, creates or deletes the named (or default) key container kept in the hive.
BOOL OpenKeyContainer(HCRYPTPROV* provider, LPCSTR container, DWORD providerType, DWORD flags) {
  if ((flags & CRYPT_NEWKEYSET) && (flags & CRYPT_DELETEKEYSET)) {
    SetLastError(NTE_BAD_FLAGS);
    return FALSE;
  }
  std::string name = container && *container ? container : qvplatform::DefaultKeyContainerName();
  if (name.find('\\') != std::string::npos) {
    SetLastError(NTE_BAD_KEYSET_PARAM);
    return FALSE;
  }
  const std::string path = qvplatform::KeyContainerPath(name, (flags & CRYPT_MACHINE_KEYSET) != 0);
  HKEY key = nullptr;
  const bool exists = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (key) RegCloseKey(key);
  if (flags & CRYPT_DELETEKEYSET) {
    if (exists) {
      RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());  // in case the tree call kept the key itself
    }
    key = nullptr;
    const bool stillThere = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    if (!exists || stillThere) {
      SetLastError(NTE_BAD_KEYSET);
      return FALSE;
    }
    return TRUE;
  }
  if (flags & CRYPT_NEWKEYSET) {
    if (exists) {
      SetLastError(NTE_EXISTS);
      return FALSE;
    }
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
      SetLastError(NTE_FAIL);
      return FALSE;
    }
    RegCloseKey(key);
  } else if (!exists) {
    SetLastError(NTE_BAD_KEYSET);
    return FALSE;
  }
  *provider = qvplatform::InsertCryptHandle(
      std::make_shared<qvplatform::CryptProvider>(providerType, flags & ~CRYPT_NEWKEYSET, name));
  return TRUE;
}

}  // namespace

BOOL CryptAcquireContextA(HCRYPTPROV* provider, LPCSTR container, LPCSTR, DWORD providerType, DWORD flags) {
  if (provider == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *provider = 0;
  if (providerType != PROV_RSA_FULL) {
    SetLastError(NTE_BAD_PROV_TYPE);
    return FALSE;
  }
  constexpr DWORD kKnownFlags =
      CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET | CRYPT_MACHINE_KEYSET | CRYPT_SILENT;
  if ((flags & ~kKnownFlags) != 0) {
    SetLastError(NTE_BAD_FLAGS);
    return FALSE;
  }
  if ((flags & CRYPT_VERIFYCONTEXT) != CRYPT_VERIFYCONTEXT) return OpenKeyContainer(provider, container, providerType, flags);
  if (container != nullptr || (flags & (CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET)) != 0) {
    SetLastError(NTE_BAD_FLAGS);
    return FALSE;
  }
  *provider =
      qvplatform::InsertCryptHandle(std::make_shared<qvplatform::CryptProvider>(providerType, flags, ""));
  return TRUE;
}

BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags) {
  if (!qvplatform::LookupProvider(provider)) return FALSE;
  if (flags != 0) {
    SetLastError(NTE_BAD_FLAGS);
    return FALSE;
  }
  qvplatform::RemoveHandle(reinterpret_cast<HANDLE>(provider));
  return TRUE;
}
