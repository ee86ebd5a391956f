#include "config/proxy_details.h"

#include <strings.h>

#include <cctype>
#include <cstring>

#include "config/agent_parameters.h"
#include "config/registry_access.h"
#include "logging/log_core.h"

namespace {

constexpr const char* kBaseProvider = "Microsoft Base Cryptographic Provider v1.0";
constexpr const char* kStars = "*********************************************************** \n";

// The value of a Base64 character, or -1 outside the alphabet.
int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Reads one proxy value of the agent key; any failure leaves it absent.
void ReadProxyValue(const char* valueName, AgentText& text) {
  if (ReadRegSZ(HKEY_LOCAL_MACHINE, kAgentKeyPath, valueName, text) != ERROR_SUCCESS) text.reset();
}

// What the log shows of a stored password: never the password (Base64 hides nothing), only whether
// there is one.
const char* MaskedPassword(const AgentText& stored) {
  if (!stored) return nullptr;
  return stored->empty() ? "" : "********";
}

// Gets the key pair `keySpec` of the container, creating it when the container has none.
bool EnsureKeyPair(HCRYPTPROV provider, DWORD keySpec) {
  HCRYPTKEY key = 0;
  if (CryptGetUserKey(provider, keySpec, &key)) {
    CryptDestroyKey(key);
    return true;
  }
  if (GetLastError() != static_cast<DWORD>(NTE_NO_KEY)) return false;
  if (!CryptGenKey(provider, keySpec, 0, &key)) return false;
  CryptDestroyKey(key);
  return true;
}

}  // namespace

std::optional<std::string> DecodeBase64(const char* text) {
  if (text == nullptr) return std::nullopt;
  size_t begin = 0;
  size_t end = std::strlen(text);
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  if ((end - begin) % 4 != 0) return std::nullopt;

  std::string out;
  out.reserve((end - begin) / 4 * 3);
  for (size_t i = begin; i < end; i += 4) {
    const char* group = text + i;
    const bool twoPads = group[2] == '=' && group[3] == '=';
    const bool onePad = !twoPads && group[3] == '=';
    const int count = twoPads ? 2 : onePad ? 3 : 4;
    int values[4] = {0, 0, 0, 0};
    for (int k = 0; k < count; ++k) {
      values[k] = Base64Value(group[k]);
      if (values[k] < 0) return std::nullopt;
    }
    const uint32_t bits = (static_cast<uint32_t>(values[0]) << 18) | (static_cast<uint32_t>(values[1]) << 12) |
                          (static_cast<uint32_t>(values[2]) << 6) | static_cast<uint32_t>(values[3]);
    out.push_back(static_cast<char>((bits >> 16) & 0xff));
    if (count >= 3) out.push_back(static_cast<char>((bits >> 8) & 0xff));
    if (count == 4) out.push_back(static_cast<char>(bits & 0xff));
    if (count < 4) break;  // a padded group ends the data
  }
  return out;
}

int EnsureKeyContainer() {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextA(&provider, nullptr, kBaseProvider, PROV_RSA_FULL, 0) &&
      !CryptAcquireContextA(&provider, nullptr, kBaseProvider, PROV_RSA_FULL, CRYPT_NEWKEYSET)) {
    return 0;
  }
  const bool ok = EnsureKeyPair(provider, AT_SIGNATURE) && EnsureKeyPair(provider, AT_KEYEXCHANGE);
  CryptReleaseContext(provider, 0);
  return ok ? 1 : 0;
}

int InitializeProxyDetails() {
  LogDebug(EnsureKeyContainer() == 1 ? "Cryptographic client Ok\r\n" : "Cryptographic client error\r\n");

  ReadProxyValue("ProxyUserName", ProxyUserName);
  AgentText storedPassword;
  ReadProxyValue("ProxyPassword", storedPassword);
  LogDebug("Password from registry: %s\n", MaskedPassword(storedPassword));
  ReadProxyValue("ProxyServerName", ProxyServerName);
  ReadProxyValue("ProxyByPass", ProxyByPass);
  LogDebug("Encrypted password is: %s\n", MaskedPassword(storedPassword));

  gv_proxyPassword.clear();
  if (storedPassword) {
    std::optional<std::string> decoded = DecodeBase64(storedPassword->c_str());
    if (decoded) {
      gv_proxyPassword = *decoded;
    } else {
      LogError("InitializeProxyDetails : ProxyPassword is not valid Base64; no proxy password is used \n");
    }
  }

  if (strcasecmp(ProxyEnabled.c_str(), "yes") == 0) {
    LogInfo(kStars);
    LogInfo("Proxy Server Name -> %s \n", TextOrNull(ProxyServerName));
    LogInfo("Proxy UserName    -> %s \n", TextOrNull(ProxyUserName));
    LogInfo("Proxy ByPass List -> %s \n", TextOrNull(ProxyByPass));
    LogInfo(kStars);
  }
  return 0;
}
