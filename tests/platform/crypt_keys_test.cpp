#include <gtest/gtest.h>

#include "support/temp_hive.h"
#include "win32.h"

namespace {

TEST(KeyContainers, CreateOpenDeleteAndKeys) {
  qvtest::TempHive hive;
  HCRYPTPROV provider = 0;
  struct Step {
    const char* name;
    DWORD flags;
    BOOL ok;
    DWORD error;
  };
  const Step steps[] = {
      {"open a missing container", 0, FALSE, NTE_BAD_KEYSET},
      {"create it", CRYPT_NEWKEYSET, TRUE, 0},
      {"create it again", CRYPT_NEWKEYSET, FALSE, NTE_EXISTS},
      {"open it", 0, TRUE, 0},
      {"the machine keyset is another container", CRYPT_MACHINE_KEYSET, FALSE, NTE_BAD_KEYSET},
      {"new and delete together", CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET, FALSE, NTE_BAD_FLAGS},
  };
  for (const auto& step : steps) {
    SetLastError(0xdeadbeef);
    BOOL ok = CryptAcquireContextA(&provider, "agent", nullptr, PROV_RSA_FULL, step.flags);
    EXPECT_EQ(ok, step.ok) << step.name;
    if (!step.ok) {
      EXPECT_EQ(GetLastError(), step.error) << step.name;
    }
    if (ok) {
      EXPECT_TRUE(CryptReleaseContext(provider, 0)) << step.name;
    }
  }

  ASSERT_TRUE(CryptAcquireContextA(&provider, "agent", nullptr, PROV_RSA_FULL, 0));
  HCRYPTKEY key = 0;
  for (DWORD spec : {AT_SIGNATURE, AT_KEYEXCHANGE}) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CryptGetUserKey(provider, spec, &key));
    EXPECT_EQ(GetLastError(), NTE_NO_KEY);
    ASSERT_TRUE(CryptGenKey(provider, spec, 0, &key));
    EXPECT_TRUE(CryptDestroyKey(key));
    ASSERT_TRUE(CryptGetUserKey(provider, spec, &key));
    EXPECT_TRUE(CryptDestroyKey(key));
  }
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptDestroyKey(key));
  EXPECT_EQ(GetLastError(), NTE_BAD_KEY);
  EXPECT_TRUE(CryptReleaseContext(provider, 0));

  // The keys persist in the hive: a new context sees them.
  ASSERT_TRUE(CryptAcquireContextA(&provider, "agent", nullptr, PROV_RSA_FULL, 0));
  EXPECT_TRUE(CryptGetUserKey(provider, AT_SIGNATURE, &key));
  CryptDestroyKey(key);
  CryptReleaseContext(provider, 0);

  EXPECT_TRUE(CryptAcquireContextA(&provider, "agent", nullptr, PROV_RSA_FULL, CRYPT_DELETEKEYSET));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptAcquireContextA(&provider, "agent", nullptr, PROV_RSA_FULL, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_KEYSET);
}

TEST(KeyContainers, DefaultContainerAndVerificationContexts) {
  qvtest::TempHive hive;
  HCRYPTPROV provider = 0;
  ASSERT_TRUE(CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_NEWKEYSET));
  CryptReleaseContext(provider, 0);
  EXPECT_TRUE(CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, 0));
  CryptReleaseContext(provider, 0);

  ASSERT_TRUE(CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
  HCRYPTKEY key = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(CryptGetUserKey(provider, AT_SIGNATURE, &key));
  EXPECT_EQ(GetLastError(), NTE_BAD_KEYSET);
  EXPECT_FALSE(CryptGenKey(provider, AT_SIGNATURE, 0, &key));
  CryptReleaseContext(provider, 0);
}

}  // namespace
