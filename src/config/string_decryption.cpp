#include "config/string_decryption.h"

#include <Poco/Crypto/Cipher.h>
#include <Poco/Crypto/CipherFactory.h>
#include <Poco/Crypto/CipherKey.h>

#include <exception>

const char* const kDefaultDecryptionPassphrase = "Tn4RxWp8LdKq2ZsHv6MjYc3Fa";

namespace {
constexpr const char* kCipherName = "aes-256-cbc";
constexpr int kIterationCount = 2000;
}  // namespace

std::string DecryptString(const std::string& hexCipherText, const std::string& passphrase) {
  try {
    // An empty salt keeps the salt out of the derivation altogether.
    Poco::Crypto::CipherKey key(kCipherName, passphrase, "", kIterationCount, "md5");
    Poco::Crypto::Cipher::Ptr cipher = Poco::Crypto::CipherFactory::defaultFactory().createCipher(key);
    return cipher->decryptString(hexCipherText, Poco::Crypto::Cipher::ENC_BINHEX);
  } catch (...) {
    return std::string();
  }
}

std::string DecryptStringDefaultKey(const std::string& hexCipherText) {
  return DecryptString(hexCipherText, kDefaultDecryptionPassphrase);
}

std::string DecryptStringWithKey(const std::string& hexCipherText, const std::string& encipheredPassphrase) {
  return DecryptString(hexCipherText, DecryptStringDefaultKey(encipheredPassphrase));
}
