#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32.h"

namespace {

class CryptHash : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CryptAcquireContextA(&provider_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
  }
  void TearDown() override { EXPECT_TRUE(CryptReleaseContext(provider_, 0)); }

  std::string Md5Hex(const std::vector<std::string>& pieces) {
    HCRYPTHASH hash = 0;
    EXPECT_TRUE(CryptCreateHash(provider_, CALG_MD5, 0, 0, &hash));
    for (const auto& piece : pieces) {
      EXPECT_TRUE(CryptHashData(hash, reinterpret_cast<const BYTE*>(piece.data()),
                                static_cast<DWORD>(piece.size()), 0));
    }
    BYTE value[33] = {};
    DWORD length = sizeof value;
    EXPECT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, value, &length, 0));
    EXPECT_TRUE(CryptDestroyHash(hash));
    std::string hex;
    for (DWORD i = 0; i < length; ++i) {
      static const char kDigits[] = "0123456789abcdef";
      hex += kDigits[value[i] >> 4];
      hex += kDigits[value[i] & 15];
    }
    return hex;
  }

  HCRYPTPROV provider_ = 0;
};

TEST_F(CryptHash, Md5MatchesTheReferenceDigests) {
  struct Case {
    std::vector<std::string> pieces;
    const char* digest;
  };
  const Case cases[] = {
      {{}, "d41d8cd98f00b204e9800998ecf8427e"},
      {{""}, "d41d8cd98f00b204e9800998ecf8427e"},
      {{"a"}, "0cc175b9c0f1b6a831c399e269772661"},
      {{"abc"}, "900150983cd24fb0d6963f7d28e17f72"},
      {{"a", "", "bc"}, "900150983cd24fb0d6963f7d28e17f72"},
      {{"message digest"}, "f96b697d7cb7938d525a2f31aaf161d0"},
      {{"12345678901234567890123456789012345678901234567890123456789012345678901234567890"},
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const auto& p : c.pieces) joined += p + "|";
    EXPECT_EQ(Md5Hex(c.pieces), c.digest) << joined;
  }
}

TEST_F(CryptHash, ParameterSizes) {
  HCRYPTHASH hash = 0;
  ASSERT_TRUE(CryptCreateHash(provider_, CALG_MD5, 0, 0, &hash));
  struct Case {
    DWORD param;
    bool nullBuffer;
    DWORD bufferSize;
    BOOL result;
    DWORD error;
    DWORD sizeAfter;
  };
  const Case cases[] = {
      {HP_HASHVAL, true, 0, TRUE, 0xdeadbeef, 16},        {HP_HASHVAL, false, 15, FALSE, ERROR_MORE_DATA, 16},
      {HP_HASHVAL, false, 0, FALSE, ERROR_MORE_DATA, 16}, {HP_HASHSIZE, false, 4, TRUE, 0xdeadbeef, 4},
      {HP_HASHSIZE, false, 3, FALSE, ERROR_MORE_DATA, 4}, {HP_ALGID, false, 4, TRUE, 0xdeadbeef, 4},
      {0x99, false, 64, FALSE, NTE_BAD_TYPE, 64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("param " + std::to_string(c.param) + " size " + std::to_string(c.bufferSize));
    BYTE buffer[64] = {};
    DWORD size = c.bufferSize;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CryptGetHashParam(hash, c.param, c.nullBuffer ? nullptr : buffer, &size, 0), c.result);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(size, c.sizeAfter);
    if (c.param == HP_HASHSIZE && c.result) {
      EXPECT_EQ(buffer[0], 16);
    }
    if (c.param == HP_ALGID && c.result) {
      EXPECT_EQ(buffer[0] | buffer[1] << 8, 0x8003);
    }
  }
  // Reading the value finishes the hash: it can be read again but not extended.
  BYTE first[16], second[16];
  DWORD size = 16;
  ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, first, &size, 0));
  ASSERT_TRUE(CryptGetHashParam(hash, HP_HASHVAL, second, &size, 0));
  EXPECT_EQ(std::string(first, first + 16), std::string(second, second + 16));
  const BYTE more[] = {'x'};
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptHashData(hash, more, 1, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_HASH_STATE);
  EXPECT_TRUE(CryptDestroyHash(hash));
}

TEST_F(CryptHash, Failures) {
  HCRYPTHASH hash = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptCreateHash(provider_, 0x8004, 0, 0, &hash));
  EXPECT_EQ(GetLastError(), NTE_BAD_ALGID);
  EXPECT_EQ(hash, 0u);

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptCreateHash(provider_ + 4096, CALG_MD5, 0, 0, &hash));
  EXPECT_EQ(GetLastError(), NTE_BAD_UID);

  ASSERT_TRUE(CryptCreateHash(provider_, CALG_MD5, 0, 0, &hash));
  // A hash is not a context, and a context is not a hash.
  HCRYPTHASH unused = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptCreateHash(hash, CALG_MD5, 0, 0, &unused));
  EXPECT_EQ(GetLastError(), NTE_BAD_UID);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptHashData(provider_, reinterpret_cast<const BYTE*>("a"), 1, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_HASH);

  EXPECT_TRUE(CryptDestroyHash(hash));
  DWORD size = 16;
  BYTE value[16];
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_HASH);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptDestroyHash(hash));
  EXPECT_EQ(GetLastError(), NTE_BAD_HASH);
}

TEST(CryptContext, AcquireAndRelease) {
  struct Case {
    const char* name;
    const char* container;
    DWORD type;
    DWORD flags;
    DWORD error;  // 0: succeeds
  };
  const Case cases[] = {
      {"verification context", nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT, 0},
      {"silent verification context", nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT, 0},
      {"other provider type", nullptr, 24, CRYPT_VERIFYCONTEXT, NTE_BAD_PROV_TYPE},
      {"unknown flag", nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | 0x1, NTE_BAD_FLAGS},
      {"default key container", nullptr, PROV_RSA_FULL, 0, NTE_BAD_KEYSET},
      {"container with verification", "box", PROV_RSA_FULL, CRYPT_VERIFYCONTEXT, NTE_BAD_FLAGS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HCRYPTPROV provider = 77;
    SetLastError(0xdeadbeef);
    const BOOL ok = CryptAcquireContextA(&provider, c.container, nullptr, c.type, c.flags);
    if (c.error == 0) {
      ASSERT_TRUE(ok);
      EXPECT_NE(provider, 0u);
      SetLastError(0xdeadbeef);
      EXPECT_FALSE(CryptReleaseContext(provider, 1));
      EXPECT_EQ(GetLastError(), NTE_BAD_FLAGS);
      EXPECT_TRUE(CryptReleaseContext(provider, 0));
      SetLastError(0xdeadbeef);
      EXPECT_FALSE(CryptReleaseContext(provider, 0));
      EXPECT_EQ(GetLastError(), NTE_BAD_UID);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(GetLastError(), c.error);
      EXPECT_EQ(provider, 0u);
    }
  }
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptAcquireContextA(nullptr, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
