#include "support/test_ca.h"

#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <stdexcept>

namespace qvtest {

namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;

KeyPtr NewKey() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  if (!key) throw std::runtime_error("key generation failed");
  return KeyPtr(key, &EVP_PKEY_free);
}

long NextSerial() {
  static std::atomic<long> serial{1000};
  return ++serial;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (!ext) throw std::runtime_error("bad certificate extension " + value);
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

CertPtr NewCert(const std::string& commonName, EVP_PKEY* key, long fromDays, long toDays) {
  CertPtr cert(X509_new(), &X509_free);
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), NextSerial());
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), fromDays * 86400L);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), toDays * 86400L);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Quarvel Tests"), -1,
                             -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                             -1, -1, 0);
  return cert;
}

std::string CertToPem(X509* cert) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
  PEM_write_bio_X509(bio.get(), cert);
  char* data = nullptr;
  long n = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(n));
}

std::string KeyToPem(EVP_PKEY* key) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
  PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  long n = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<size_t>(n));
}

bool IsIpv4(const std::string& host) {
  return !host.empty() && host.find_first_not_of("0123456789.") == std::string::npos;
}

}  // namespace

struct TestCa::Impl {
  KeyPtr key{nullptr, &EVP_PKEY_free};
  CertPtr cert{nullptr, &X509_free};
};

TestCa::TestCa(const std::string& commonName) : impl_(std::make_unique<Impl>()) {
  impl_->key = NewKey();
  impl_->cert = NewCert(commonName, impl_->key.get(), -1, 3650);
  X509* cert = impl_->cert.get();
  X509_set_issuer_name(cert, X509_get_subject_name(cert));
  AddExtension(cert, cert, NID_basic_constraints, "critical,CA:TRUE");
  AddExtension(cert, cert, NID_key_usage, "critical,keyCertSign,cRLSign");
  AddExtension(cert, cert, NID_subject_key_identifier, "hash");
  if (!X509_sign(cert, impl_->key.get(), EVP_sha256())) throw std::runtime_error("CA signing failed");
  cert_pem_ = CertToPem(cert);
}

TestCa::~TestCa() = default;

std::string TestCa::cert_der() const {
  int n = i2d_X509(impl_->cert.get(), nullptr);
  std::string der(static_cast<size_t>(n), '\0');
  auto* p = reinterpret_cast<unsigned char*>(der.data());
  i2d_X509(impl_->cert.get(), &p);
  return der;
}

PemIdentity TestCa::IssueServer(Leaf kind, const std::string& host) const {
  KeyPtr key = NewKey();
  long from = -1, to = 365;
  if (kind == Leaf::kExpired) from = -60, to = -30;
  if (kind == Leaf::kNotYetValid) from = 30, to = 60;
  std::string name = kind == Leaf::kWrongName ? "wrong-name.invalid" : host;
  CertPtr cert = NewCert(name, key.get(), from, to);
  X509_set_issuer_name(cert.get(), X509_get_subject_name(impl_->cert.get()));
  std::string san;
  if (kind == Leaf::kWrongName) {
    san = "DNS:wrong-name.invalid";
  } else {
    san = IsIpv4(host) ? "IP:" + host : "DNS:" + host;
    if (host != "localhost") san += ",DNS:localhost";
    if (host != "127.0.0.1") san += ",IP:127.0.0.1";
  }
  AddExtension(cert.get(), impl_->cert.get(), NID_subject_alt_name, san);
  AddExtension(cert.get(), impl_->cert.get(), NID_basic_constraints, "CA:FALSE");
  AddExtension(cert.get(), impl_->cert.get(), NID_ext_key_usage,
               kind == Leaf::kWrongUsage ? "clientAuth" : "serverAuth");
  AddExtension(cert.get(), impl_->cert.get(), NID_authority_key_identifier, "keyid");
  if (!X509_sign(cert.get(), impl_->key.get(), EVP_sha256())) throw std::runtime_error("signing failed");
  return PemIdentity{CertToPem(cert.get()), KeyToPem(key.get())};
}

}  // namespace qvtest
