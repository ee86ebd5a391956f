// The proxy settings of the agent key and the decoding of the stored proxy password.
#pragma once

#include <optional>
#include <string>

// Reads ProxyServerName, ProxyUserName, ProxyPassword and ProxyByPass into the agent parameters of
// the same names (a missing value is absent) and decodes the password into gv_proxyPassword (empty
// when absent or not valid Base64). Makes sure the account's default key container exists first.
// Always 0. The stored password never reaches the log.
int InitializeProxyDetails();

// 1 when the current account's default key container and both its key pairs exist afterwards, else 0.
int EnsureKeyContainer();

// The bytes of a standard Base64 text (RFC 4648 alphabet, "=" padding), white space at both ends
// ignored; decoding ends with the first padded group. nullopt when the trimmed length is not a
// multiple of four or a character outside the alphabet comes before the end.
std::optional<std::string> DecodeBase64(const char* text);
