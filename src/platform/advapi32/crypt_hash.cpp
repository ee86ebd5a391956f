#include "advapi32/crypt_hash.h"

#include <openssl/evp.h>

#include <cstring>
#include <vector>

#include "kernel32/errors.h"

namespace {

const EVP_MD* DigestFor(ALG_ID algorithm) {
  switch (algorithm) {
    case CALG_MD5:
      return EVP_md5();
    default:
      return nullptr;
  }
}

class HashObject : public qvplatform::KernelObject {
 public:
  HashObject(ALG_ID algorithm, const EVP_MD* digest) : algorithm_(algorithm), context_(EVP_MD_CTX_new()) {
    if (context_ != nullptr && EVP_DigestInit_ex(context_, digest, nullptr) != 1) {
      EVP_MD_CTX_free(context_);
      context_ = nullptr;
    }
  }
  ~HashObject() override { EVP_MD_CTX_free(context_); }
  HashObject(const HashObject&) = delete;
  HashObject& operator=(const HashObject&) = delete;

  bool ok() const { return context_ != nullptr; }
  ALG_ID algorithm() const { return algorithm_; }
  bool finished() const { return finished_; }
  DWORD size() const { return static_cast<DWORD>(EVP_MD_CTX_size(context_)); }

  bool Update(const BYTE* data, DWORD length) { return EVP_DigestUpdate(context_, data, length) == 1; }

  const std::vector<BYTE>* Value() {
    if (!finished_) {
      value_.resize(EVP_MAX_MD_SIZE);
      unsigned int length = 0;
      if (EVP_DigestFinal_ex(context_, value_.data(), &length) != 1) return nullptr;
      value_.resize(length);
      finished_ = true;
    }
    return &value_;
  }

 private:
  ALG_ID algorithm_;
  EVP_MD_CTX* context_;
  bool finished_ = false;
  std::vector<BYTE> value_;
};

std::shared_ptr<HashObject> LookupHash(HCRYPTHASH hash) {
  auto object =
      std::dynamic_pointer_cast<HashObject>(qvplatform::LookupObject(reinterpret_cast<HANDLE>(hash)));
  if (!object) SetLastError(NTE_BAD_HASH);
  return object;
}

// The "buffer too small, here is the size" protocol of the parameter queries: true when `data` can
// take `size` bytes; otherwise *dataLength is set to the size and *result tells a size query (null
// `data`, TRUE) from a buffer too small (FALSE, ERROR_MORE_DATA).
bool BufferFits(DWORD size, const BYTE* data, DWORD* dataLength, BOOL* result) {
  if (data != nullptr && *dataLength >= size) return true;
  *result = data == nullptr ? TRUE : FALSE;
  if (data != nullptr) SetLastError(ERROR_MORE_DATA);
  *dataLength = size;
  return false;
}

BOOL CopyOut(const void* value, DWORD size, BYTE* data, DWORD* dataLength) {
  BOOL result = TRUE;
  if (!BufferFits(size, data, dataLength, &result)) return result;
  std::memcpy(data, value, size);
  *dataLength = size;
  return TRUE;
}

}  // namespace

BOOL CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags, HCRYPTHASH* hash) {
  if (hash == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *hash = 0;
  if (!qvplatform::LookupProvider(provider)) return FALSE;
  const EVP_MD* digest = DigestFor(algorithm);
  if (digest == nullptr) {
    SetLastError(NTE_BAD_ALGID);
    return FALSE;
  }
  if (key != 0) {
    SetLastError(NTE_BAD_KEY);
    return FALSE;
  }
  if (flags != 0) {
    SetLastError(NTE_BAD_FLAGS);
    return FALSE;
  }
  auto object = std::make_shared<HashObject>(algorithm, digest);
  if (!object->ok()) {
    SetLastError(NTE_FAIL);
    return FALSE;
  }
  *hash = qvplatform::InsertCryptHandle(std::move(object));
  return TRUE;
}

BOOL CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD dataLength, DWORD flags) {
  auto object = LookupHash(hash);
  if (!object) return FALSE;
  if (flags != 0) {
    SetLastError(NTE_BAD_FLAGS);
    return FALSE;
  }
  if (object->finished()) {
    SetLastError(NTE_BAD_HASH_STATE);
    return FALSE;
  }
  if (dataLength == 0) return TRUE;
  if (data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!object->Update(data, dataLength)) {
    SetLastError(NTE_FAIL);
    return FALSE;
  }
  return TRUE;
}

BOOL CryptGetHashParam(HCRYPTHASH hash, DWORD param, BYTE* data, DWORD* dataLength, DWORD flags) {
  auto object = LookupHash(hash);
  if (!object) return FALSE;
  if (dataLength == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (flags != 0) {
    SetLastError(NTE_BAD_FLAGS);
    return FALSE;
  }
  switch (param) {
    case HP_ALGID: {
      const ALG_ID algorithm = object->algorithm();
      return CopyOut(&algorithm, sizeof algorithm, data, dataLength);
    }
    case HP_HASHSIZE: {
      const DWORD size = object->size();
      return CopyOut(&size, sizeof size, data, dataLength);
    }
    case HP_HASHVAL: {
      BOOL result = TRUE;
      if (!BufferFits(object->size(), data, dataLength, &result)) return result;
      const auto* value = object->Value();
      if (value == nullptr) {
        SetLastError(NTE_FAIL);
        return FALSE;
      }
      return CopyOut(value->data(), static_cast<DWORD>(value->size()), data, dataLength);
    }
    default:
      SetLastError(NTE_BAD_TYPE);
      return FALSE;
  }
}

BOOL CryptDestroyHash(HCRYPTHASH hash) {
  if (!LookupHash(hash)) return FALSE;
  qvplatform::RemoveHandle(reinterpret_cast<HANDLE>(hash));
  return TRUE;
}
