#include "winhttp/tls_policy.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <memory>
#include <mutex>

#include "winhttp/trusted_roots.h"
#include "winhttp/winhttp.h"

namespace qvplatform {

namespace {
std::mutex& ProviderMutex() {
  static std::mutex mutex;
  return mutex;
}
TrustedRootsProvider& Provider() {
  static TrustedRootsProvider provider;
  return provider;
}
}  // namespace

void SetExtraTrustedRootsProvider(TrustedRootsProvider provider) {
  std::lock_guard lock(ProviderMutex());
  Provider() = std::move(provider);
}

std::vector<std::string> ExtraTrustedRoots() {
  TrustedRootsProvider provider;
  {
    std::lock_guard lock(ProviderMutex());
    provider = Provider();
  }
  if (!provider) return {};
  try {
    return provider();
  } catch (...) {
    return {};
  }
}

}  // namespace qvplatform

namespace qvplatform::winhttp {

namespace {

// Which security flag lets a verification error pass; 0 when no flag does.
DWORD IgnoreFlagFor(int error) {
  switch (error) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
      return SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    case X509_V_ERR_INVALID_PURPOSE:
    case X509_V_ERR_CERT_REJECTED:
      return SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
      return SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    default:
      return 0;
  }
}

int PolicyIndex() {
  static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

int VerifyCallback(int ok, X509_STORE_CTX* store) {
  if (ok) return 1;
  auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  if (!ssl) return 0;
  auto* policy = static_cast<const TlsPolicy*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), PolicyIndex()));
  if (!policy) return 0;
  DWORD flag = IgnoreFlagFor(X509_STORE_CTX_get_error(store));
  if (flag != 0 && (policy->security_flags & flag) != 0) {
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
  }
  return 0;
}

void AddCertificates(X509_STORE* store, const std::string& encoded) {
  if (encoded.find("-----BEGIN") != std::string::npos) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(encoded.data(), static_cast<int>(encoded.size())),
                                                  &BIO_free);
    if (!bio) return;
    while (X509* cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
      X509_STORE_add_cert(store, cert);  // a certificate already present is not an error here
      X509_free(cert);
    }
  } else {
    const auto* p = reinterpret_cast<const unsigned char*>(encoded.data());
    if (X509* cert = d2i_X509(nullptr, &p, static_cast<long>(encoded.size()))) {
      X509_STORE_add_cert(store, cert);
      X509_free(cert);
    }
  }
  ERR_clear_error();
}

int ProtocolVersion(DWORD bit) {
  switch (bit) {
    case WINHTTP_FLAG_SECURE_PROTOCOL_TLS1: return TLS1_VERSION;
    case WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1: return TLS1_1_VERSION;
    case WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2: return TLS1_2_VERSION;
    case WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3: return TLS1_3_VERSION;
    default: return 0;
  }
}

void ApplyProtocols(SSL_CTX* ctx, DWORD protocols) {
  static constexpr DWORD kOrder[] = {WINHTTP_FLAG_SECURE_PROTOCOL_TLS1, WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1,
                                     WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2, WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3};
  static constexpr unsigned long kNoOption[] = {SSL_OP_NO_TLSv1, SSL_OP_NO_TLSv1_1, SSL_OP_NO_TLSv1_2,
                                                SSL_OP_NO_TLSv1_3};
  int lowest = 0, highest = 0;
  for (DWORD bit : kOrder) {
    if ((protocols & bit) == 0) continue;
    if (!lowest) lowest = ProtocolVersion(bit);
    highest = ProtocolVersion(bit);
  }
  if (!lowest) {
    // Only SSL 2/3 or nothing: no protocol this build can speak, so every handshake fails.
    SSL_CTX_set_min_proto_version(ctx, TLS1_3_VERSION);
    SSL_CTX_set_max_proto_version(ctx, TLS1_2_VERSION);
    return;
  }
  SSL_CTX_set_min_proto_version(ctx, lowest);
  SSL_CTX_set_max_proto_version(ctx, highest);
  for (size_t i = 0; i < 4; ++i) {
    int version = ProtocolVersion(kOrder[i]);
    if (version > lowest && version < highest && (protocols & kOrder[i]) == 0)
      SSL_CTX_set_options(ctx, kNoOption[i]);
  }
  // TLS 1.0 and 1.1 need the legacy signature algorithms that the default security level refuses.
  if (lowest < TLS1_2_VERSION) SSL_CTX_set_security_level(ctx, 0);
}

CURLcode SslContextCallback(CURL*, void* sslContext, void* userData) {
  auto* ctx = static_cast<SSL_CTX*>(sslContext);
  const auto* policy = static_cast<const TlsPolicy*>(userData);
  X509_STORE* store = SSL_CTX_get_cert_store(ctx);
  if (store) {
    for (const std::string& cert : ExtraTrustedRoots()) AddCertificates(store, cert);
  }
  SSL_CTX_set_ex_data(ctx, PolicyIndex(), const_cast<TlsPolicy*>(policy));
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, VerifyCallback);
  ApplyProtocols(ctx, policy->secure_protocols);
  return CURLE_OK;
}

}  // namespace

DWORD DefaultSecureProtocols() {
  return WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
}

void ApplyTlsPolicy(CURL* easy, const TlsPolicy* policy) {
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST,
                   (policy->security_flags & SECURITY_FLAG_IGNORE_CERT_CN_INVALID) ? 0L : 2L);
  curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
  curl_easy_setopt(easy, CURLOPT_CA_CACHE_TIMEOUT, 0L);
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &SslContextCallback);
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, const_cast<TlsPolicy*>(policy));
  if (policy->security_flags != 0) {
    // A connection made with relaxed checks is never handed to a later, stricter transfer.
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  }
}

}  // namespace qvplatform::winhttp
