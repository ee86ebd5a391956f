// Deciphering of agent secrets. Ciphertexts are made here with OpenSSL's own EVP interface (key and
// IV from EVP_BytesToKey with MD5, no salt, 2000 rounds), independently of the code under test.
#include "config/string_decryption.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

std::string Hex(const std::vector<unsigned char>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 0xf]);
  }
  return out;
}

std::string Encrypt(const std::string& plaintext, const std::string& passphrase) {
  unsigned char key[EVP_MAX_KEY_LENGTH];
  unsigned char iv[EVP_MAX_IV_LENGTH];
  const EVP_CIPHER* cipher = EVP_aes_256_cbc();
  EXPECT_EQ(EVP_BytesToKey(cipher, EVP_md5(), nullptr, reinterpret_cast<const unsigned char*>(passphrase.data()),
                           static_cast<int>(passphrase.size()), 2000, key, iv),
            32);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  std::vector<unsigned char> out(plaintext.size() + 32);
  int n1 = 0;
  int n2 = 0;
  EVP_EncryptInit_ex(ctx, cipher, nullptr, key, iv);
  EVP_EncryptUpdate(ctx, out.data(), &n1, reinterpret_cast<const unsigned char*>(plaintext.data()),
                    static_cast<int>(plaintext.size()));
  EVP_EncryptFinal_ex(ctx, out.data() + n1, &n2);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(static_cast<size_t>(n1 + n2));
  return Hex(out);
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TEST(StringDecryptionTest, FixedVectorsOfTheBuiltInPassphrase) {
  // Made with a separate implementation of the key derivation and `openssl enc -aes-256-cbc -K -iv`.
  EXPECT_EQ(DecryptStringDefaultKey("130810357b397429e91f187517895382"), "agent-token-42");
  EXPECT_EQ(DecryptStringWithKey("e03504efffb5d8f2ea58f58fac421c23ca853178702df5acbdb1178465a02f54"
                                 "db09c12115d0292b1067b816fe9a1296",
                                 "5ca71558825dc377db4062cfe7d231ddbcbe178cf00a135ac3632a703a9f94bf"),
            "Authorization: Bearer 0123456789abcdef");
}

TEST(StringDecryptionTest, RoundTripsWithAnyPassphrase) {
  struct Case {
    const char* label;
    std::string passphrase;
    std::string plaintext;
  };
  const std::vector<Case> cases = {
      {"short text", "passphrase", "token"},
      {"exactly one block", "k", "0123456789abcdef"},
      {"empty plaintext", "k", ""},
      {"empty passphrase", "", "data under no passphrase"},
      {"UTF-8 text", "Schl\xc3\xbcssel", "Gr\xc3\xbc\xc3\x9f" "e"},
      {"built-in passphrase", kDefaultDecryptionPassphrase, "a longer secret that spans several AES blocks"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string hex = Encrypt(c.plaintext, c.passphrase);
    EXPECT_EQ(DecryptString(hex, c.passphrase), c.plaintext);
    EXPECT_EQ(DecryptString(Upper(hex), c.passphrase), c.plaintext) << "upper-case digits";
  }
}

TEST(StringDecryptionTest, FailuresGiveTheEmptyText) {
  const std::string good = Encrypt("payload", "right");
  ASSERT_EQ(DecryptString(good, "right"), "payload");
  // A wrong passphrase whose padding does not check out for this ciphertext.
  ASSERT_NE(good.size(), 0u);
  struct Case {
    const char* label;
    std::string input;
    std::string passphrase;
  };
  const std::vector<Case> cases = {
      {"character that is not a hex digit", "zz" + good.substr(2), "right"},
      {"odd number of digits", good.substr(1), "right"},
      {"not a whole block", good.substr(0, 30), "right"},
      {"empty input", "", "right"},
      {"wrong passphrase", Encrypt("0123456789abcdef", "other") , "right"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(DecryptString(c.input, c.passphrase), "");
  }
}

TEST(StringDecryptionTest, WithKeyDeciphersThePassphraseFirst) {
  const std::string passphrase = "dynamic-key-7";
  const std::string encipheredKey = Encrypt(passphrase, kDefaultDecryptionPassphrase);
  EXPECT_EQ(DecryptStringWithKey(Encrypt("auth token", passphrase), encipheredKey), "auth token");
  // A key that does not decipher is the empty passphrase.
  EXPECT_EQ(DecryptStringWithKey(Encrypt("under empty key", ""), "not hex"), "under empty key");
  EXPECT_EQ(DecryptStringWithKey(Encrypt("auth token", passphrase), "not hex"), "");
}

}  // namespace
