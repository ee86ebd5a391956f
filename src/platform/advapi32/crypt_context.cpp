#include "advapi32/crypt_context.h"

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
  if ((flags & CRYPT_VERIFYCONTEXT) != CRYPT_VERIFYCONTEXT) {
    SetLastError(NTE_BAD_KEYSET);
    return FALSE;
  }
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
