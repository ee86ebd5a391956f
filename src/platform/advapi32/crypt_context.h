// CryptoAPI provider contexts. HCRYPTPROV, HCRYPTHASH and HCRYPTKEY are keys of the typed handle
// table (kernel32/handles.h) behind ULONG_PTR values; a context is a qvplatform::CryptProvider.
#pragma once

#include <memory>
#include <string>

#include "kernel32/handles.h"
#include "types.h"

using HCRYPTPROV = ULONG_PTR;
using HCRYPTHASH = ULONG_PTR;
using HCRYPTKEY = ULONG_PTR;
using ALG_ID = unsigned int;

constexpr DWORD PROV_RSA_FULL = 1;

constexpr DWORD CRYPT_VERIFYCONTEXT = 0xF0000000;
constexpr DWORD CRYPT_NEWKEYSET = 0x00000008;
constexpr DWORD CRYPT_DELETEKEYSET = 0x00000010;
constexpr DWORD CRYPT_MACHINE_KEYSET = 0x00000020;
constexpr DWORD CRYPT_SILENT = 0x00000040;

// CryptoAPI failures are reported through the last error as these HRESULT-style codes.
constexpr DWORD NTE_BAD_UID = 0x80090001;
constexpr DWORD NTE_BAD_HASH = 0x80090002;
constexpr DWORD NTE_BAD_KEY = 0x80090003;
constexpr DWORD NTE_BAD_DATA = 0x80090005;
constexpr DWORD NTE_BAD_ALGID = 0x80090008;
constexpr DWORD NTE_BAD_FLAGS = 0x80090009;
constexpr DWORD NTE_BAD_TYPE = 0x8009000A;
constexpr DWORD NTE_BAD_HASH_STATE = 0x8009000C;
constexpr DWORD NTE_EXISTS = 0x8009000F;
constexpr DWORD NTE_BAD_PROV_TYPE = 0x80090014;
constexpr DWORD NTE_BAD_KEYSET = 0x80090016;
constexpr DWORD NTE_KEYSET_NOT_DEF = 0x80090019;
constexpr DWORD NTE_BAD_KEYSET_PARAM = 0x8009001F;
constexpr DWORD NTE_FAIL = 0x80090020;

// Opens a provider context of type PROV_RSA_FULL (any provider name; the default when null).
// With CRYPT_VERIFYCONTEXT the context has no key container and `container` must be null.
// Without it the named (or default: the user's login name) key container kept in the hive is opened
// (NTE_BAD_KEYSET when missing), created with CRYPT_NEWKEYSET (NTE_EXISTS when present) or deleted
// with CRYPT_DELETEKEYSET (advapi32/crypt_keys.h). Other failures: NTE_BAD_PROV_TYPE, NTE_BAD_FLAGS,
// ERROR_INVALID_PARAMETER for a null out-pointer.
BOOL CryptAcquireContextA(HCRYPTPROV* provider, LPCSTR container, LPCSTR providerName, DWORD providerType,
                          DWORD flags);
// Releases the context (flags must be 0: NTE_BAD_FLAGS); NTE_BAD_UID for an unknown handle.
// Hashes made from the context stay usable until they are destroyed.
BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags);

namespace qvplatform {

// A provider context, the object behind an HCRYPTPROV.
class CryptProvider : public KernelObject {
 public:
  CryptProvider(DWORD type, DWORD flags, std::string container)
      : type_(type), flags_(flags), container_(std::move(container)) {}
  DWORD type() const { return type_; }
  DWORD flags() const { return flags_; }
  bool verifyContext() const { return (flags_ & CRYPT_VERIFYCONTEXT) == CRYPT_VERIFYCONTEXT; }
  // The key container's name; empty for a verification context.
  const std::string& container() const { return container_; }

 private:
  DWORD type_;
  DWORD flags_;
  std::string container_;
};

// The context behind `provider`, or null with the last error NTE_BAD_UID.
std::shared_ptr<CryptProvider> LookupProvider(HCRYPTPROV provider);
// Puts an object into the handle table and returns its key as a CryptoAPI handle.
ULONG_PTR InsertCryptHandle(std::shared_ptr<KernelObject> object);

}  // namespace qvplatform
