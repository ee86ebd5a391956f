// CryptoAPI key containers: named (or per-user default) containers kept in the hive, each holding at
// most one signature and one key-exchange key pair.
#pragma once

#include "advapi32/crypt_context.h"

constexpr DWORD AT_KEYEXCHANGE = 1;
constexpr DWORD AT_SIGNATURE = 2;
constexpr DWORD NTE_NO_KEY = 0x8009000D;
constexpr DWORD CRYPT_EXPORTABLE = 0x00000001;

// The container's key pair of the given kind; NTE_NO_KEY when the container has none.
BOOL CryptGetUserKey(HCRYPTPROV provider, DWORD keySpec, HCRYPTKEY* key);
// Generates an RSA key pair of the given kind into the container (replacing an earlier one).
BOOL CryptGenKey(HCRYPTPROV provider, ALG_ID algorithm, DWORD flags, HCRYPTKEY* key);
BOOL CryptDestroyKey(HCRYPTKEY key);

namespace qvplatform {
// The hive key that holds a container ("SOFTWARE\Microsoft\Cryptography\KeyContainers\<Machine|User>\<name>").
std::string KeyContainerPath(const std::string& container, bool machine);
// The container name used when none is given: the user's login name.
std::string DefaultKeyContainerName();
}  // namespace qvplatform
