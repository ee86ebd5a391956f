#include "advapi32/crypt_keys.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "advapi32/registry.h"
#include "kernel32/errors.h"

namespace {

class CryptKey : public qvplatform::KernelObject {
 public:
  explicit CryptKey(DWORD spec) : spec(spec) {}
  DWORD spec;
};

const char* KeyValueName(DWORD spec) { return spec == AT_SIGNATURE ? "Signature" : "Exchange"; }

// The provider behind the handle when it has a key container; else the last error is set.
std::shared_ptr<qvplatform::CryptProvider> ContainerProvider(HCRYPTPROV provider) {
  auto context = qvplatform::LookupProvider(provider);
  if (!context) return nullptr;
  if (context->verifyContext()) {
    SetLastError(NTE_BAD_KEYSET);  // a verification context has no key container
    return nullptr;
  }
  return context;
}

std::string ContainerKey(const qvplatform::CryptProvider& context) {
  return qvplatform::KeyContainerPath(context.container(), (context.flags() & CRYPT_MACHINE_KEYSET) != 0);
}

// A fresh RSA key pair, DER-encoded; empty on failure.
std::vector<BYTE> GenerateKeyPair() {
  std::vector<BYTE> der;
  EVP_PKEY* key = EVP_RSA_gen(1024);
  if (!key) return der;
  int size = i2d_PrivateKey(key, nullptr);
  if (size > 0) {
    der.resize(static_cast<size_t>(size));
    unsigned char* out = der.data();
    if (i2d_PrivateKey(key, &out) != size) der.clear();
  }
  EVP_PKEY_free(key);
  return der;
}

}  // namespace

namespace qvplatform {

std::string KeyContainerPath(const std::string& container, bool machine) {
  return std::string("SOFTWARE\\Microsoft\\Cryptography\\KeyContainers\\") + (machine ? "Machine\\" : "User\\") +
         container;
}

std::string DefaultKeyContainerName() {
  if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name && *entry->pw_name) return entry->pw_name;
  return "default";
}

}  // namespace qvplatform

BOOL CryptGetUserKey(HCRYPTPROV provider, DWORD keySpec, HCRYPTKEY* key) {
  if (!key) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *key = 0;
  auto context = ContainerProvider(provider);
  if (!context) return FALSE;
  if (keySpec != AT_SIGNATURE && keySpec != AT_KEYEXCHANGE) {
    SetLastError(NTE_BAD_KEY);
    return FALSE;
  }
  HKEY container = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ContainerKey(*context).c_str(), 0, KEY_QUERY_VALUE, &container) !=
      ERROR_SUCCESS) {
    SetLastError(NTE_BAD_KEYSET);
    return FALSE;
  }
  DWORD size = 0;
  LSTATUS status = RegQueryValueExA(container, KeyValueName(keySpec), nullptr, nullptr, nullptr, &size);
  RegCloseKey(container);
  if (status != ERROR_SUCCESS || size == 0) {
    SetLastError(NTE_NO_KEY);
    return FALSE;
  }
  *key = qvplatform::InsertCryptHandle(std::make_shared<CryptKey>(keySpec));
  return TRUE;
}

BOOL CryptGenKey(HCRYPTPROV provider, ALG_ID algorithm, DWORD flags, HCRYPTKEY* key) {
  if (!key) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *key = 0;
  auto context = ContainerProvider(provider);
  if (!context) return FALSE;
  if (algorithm != AT_SIGNATURE && algorithm != AT_KEYEXCHANGE) {
    SetLastError(NTE_BAD_ALGID);
    return FALSE;
  }
  if ((flags & 0xFFFF) & ~CRYPT_EXPORTABLE) {  // the upper word is the key length, which is accepted
    SetLastError(NTE_BAD_FLAGS);
    return FALSE;
  }
  std::vector<BYTE> pair = GenerateKeyPair();
  if (pair.empty()) {
    SetLastError(NTE_FAIL);
    return FALSE;
  }
  HKEY container = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ContainerKey(*context).c_str(), 0, KEY_SET_VALUE, &container) != ERROR_SUCCESS) {
    SetLastError(NTE_BAD_KEYSET);
    return FALSE;
  }
  LSTATUS status = RegSetValueExA(container, KeyValueName(algorithm), 0, REG_BINARY, pair.data(),
                                  static_cast<DWORD>(pair.size()));
  RegCloseKey(container);
  if (status != ERROR_SUCCESS) {
    SetLastError(NTE_FAIL);
    return FALSE;
  }
  *key = qvplatform::InsertCryptHandle(std::make_shared<CryptKey>(algorithm));
  return TRUE;
}

BOOL CryptDestroyKey(HCRYPTKEY key) {
  auto object = qvplatform::LookupHandle<CryptKey>(reinterpret_cast<HANDLE>(key));
  if (!object) {
    SetLastError(NTE_BAD_KEY);
    return FALSE;
  }
  qvplatform::RemoveHandle(reinterpret_cast<HANDLE>(key));
  return TRUE;
}
