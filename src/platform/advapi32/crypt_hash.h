// CryptoAPI hashing: MD5 on OpenSSL.
#pragma once

#include "advapi32/crypt_context.h"
#include "types.h"

constexpr ALG_ID CALG_MD5 = 0x00008003;

constexpr DWORD HP_ALGID = 0x0001;
constexpr DWORD HP_HASHVAL = 0x0002;
constexpr DWORD HP_HASHSIZE = 0x0004;

// Creates a hash object of `algorithm` (CALG_MD5; others fail with NTE_BAD_ALGID) on a context.
// `key` must be 0 and `flags` 0 (NTE_BAD_KEY, NTE_BAD_FLAGS); NTE_BAD_UID for an unknown context.
BOOL CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags, HCRYPTHASH* hash);
// Adds bytes to the hash; NTE_BAD_HASH_STATE once its value has been read.
BOOL CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD dataLength, DWORD flags);
// HP_HASHVAL: the digest (the hash is finished; later reads give the same value). HP_HASHSIZE: the
// digest size as a DWORD. HP_ALGID: the algorithm. A null `data` asks for the size in *dataLength;
// a buffer too small fails with ERROR_MORE_DATA and the size needed in *dataLength.
BOOL CryptGetHashParam(HCRYPTHASH hash, DWORD param, BYTE* data, DWORD* dataLength, DWORD flags);
BOOL CryptDestroyHash(HCRYPTHASH hash);
