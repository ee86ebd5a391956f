#include "util/md5.h"

#include <cstring>
#include <vector>

#include "logging/log_core.h"

DWORD GetMD5HashFromString(const char* text, std::string& digest) {
  static const char kFunction[] = "GetMD5HashFromString";
  static const char kHexDigits[] = "0123456789abcdef";
  digest.clear();
  std::vector<BYTE> bytes;
  if (text) bytes.assign(text, text + std::strlen(text));

  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    DWORD code = GetLastError();
    LogError("%s : CryptAcquireContext failed : %d\n", kFunction, code);
    return code;
  }
  HCRYPTHASH hash = 0;
  if (!CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
    DWORD code = GetLastError();
    LogError("%s : CryptCreateHash failed : %d\n", kFunction, code);
    CryptReleaseContext(provider, 0);
    return code;
  }
  if (!CryptHashData(hash, bytes.data(), static_cast<DWORD>(bytes.size()), 0)) {
    DWORD code = GetLastError();
    LogError("%s : CryptHashData failed : %d\n", kFunction, code);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
    return code;
  }
  DWORD result = 0;
  BYTE value[33] = {};
  DWORD size = sizeof value;
  if (!CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0)) {
    result = GetLastError();
    LogError("%s : CryptGetHashParam failed : %d\n", kFunction, result);
  } else {
    for (DWORD i = 0; i < size; ++i) {
      digest += kHexDigits[value[i] >> 4];
      digest += kHexDigits[value[i] & 0xF];
    }
    LogDebug("%s : MD5 hash of string %s is : %s\n", kFunction, text, digest.c_str());
  }
  CryptDestroyHash(hash);
  CryptReleaseContext(provider, 0);
  return result;
}
