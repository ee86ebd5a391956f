// Deciphering of agent secrets: hexadecimal AES-256-CBC ciphertexts with a key and IV derived from a
// passphrase (MD5-based key derivation, no salt, 2000 iterations).
#pragma once

#include <string>

// The agent's built-in passphrase.
extern const char* const kDefaultDecryptionPassphrase;

// The plaintext of `hexCipherText` under `passphrase`; the empty text when deciphering fails (a
// character that is not a hex digit, a wrong length, padding that does not check out).
std::string DecryptString(const std::string& hexCipherText, const std::string& passphrase);
// DecryptString with the built-in passphrase.
std::string DecryptStringDefaultKey(const std::string& hexCipherText);
// Deciphers `encipheredPassphrase` with the built-in passphrase, then `hexCipherText` with the result.
std::string DecryptStringWithKey(const std::string& hexCipherText, const std::string& encipheredPassphrase);
