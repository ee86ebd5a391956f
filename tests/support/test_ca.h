// A certificate authority made at test time with OpenSSL, and the server certificates it issues:
// valid, expired, not yet valid, for another name, or for another usage. A second TestCa that the
// client does not trust stands in for an unknown authority.
#pragma once

#include <memory>
#include <string>

namespace qvtest {

// A server identity in PEM: the certificate (followed by nothing else) and its private key.
struct PemIdentity {
  std::string cert_pem;
  std::string key_pem;
};

class TestCa {
 public:
  enum class Leaf { kValid, kExpired, kNotYetValid, kWrongName, kWrongUsage };

  explicit TestCa(const std::string& commonName = "Quarvel Test Root CA");
  ~TestCa();
  TestCa(const TestCa&) = delete;
  TestCa& operator=(const TestCa&) = delete;

  const std::string& cert_pem() const { return cert_pem_; }
  std::string cert_der() const;

  // A server certificate for `host` (an IPv4 address becomes an IP subject name, anything else a
  // DNS name; "localhost" and 127.0.0.1 are always both named, except for kWrongName, which names
  // only "wrong-name.invalid").
  PemIdentity IssueServer(Leaf kind = Leaf::kValid, const std::string& host = "127.0.0.1") const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string cert_pem_;
};

}  // namespace qvtest
