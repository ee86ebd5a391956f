// HTTPS through the WinHTTP layer: certificate checks, the security flags that relax them one class
// at a time, the trusted-roots hook, and the protocol choice.
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include "platform/winhttp_test_client.h"
#include "support/http_server.h"
#include "support/test_ca.h"

using qvtest::HttpServer;
using qvtest::Response;
using qvtest::TestCa;
using winhttp_test::Client;
using winhttp_test::Options;

namespace {

// Trusts `ca` (in the encoding given) for the lifetime of the object.
class TrustedRoots {
 public:
  explicit TrustedRoots(std::vector<std::string> certs) {
    qvplatform::SetExtraTrustedRootsProvider([certs] { return certs; });
  }
  ~TrustedRoots() { qvplatform::SetExtraTrustedRootsProvider(nullptr); }
};

class WinHttpTls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ca_ = new TestCa("Quarvel Test Root CA");
    stranger_ = new TestCa("Unknown Test CA");
  }
  static void TearDownTestSuite() {
    delete ca_;
    delete stranger_;
  }
  static HttpServer Serve(const qvtest::PemIdentity& identity, int minVersion = 0, int maxVersion = 0) {
    return HttpServer(qvtest::Always(Response::Text(200, "secret")),
                      qvtest::TlsOptions{identity, minVersion, maxVersion});
  }
  static Options To(const HttpServer& server) {
    Options o;
    o.port = server.port();
    o.secure = true;
    return o;
  }
  static TestCa* ca_;
  static TestCa* stranger_;
};
TestCa* WinHttpTls::ca_ = nullptr;
TestCa* WinHttpTls::stranger_ = nullptr;

TEST_F(WinHttpTls, EachIgnoreFlagPassesOnlyItsOwnFailure) {
  TrustedRoots trust({ca_->cert_pem()});
  constexpr DWORD kCa = SECURITY_FLAG_IGNORE_UNKNOWN_CA, kUsage = SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE,
                  kName = SECURITY_FLAG_IGNORE_CERT_CN_INVALID, kDate = SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
  struct Case {
    const char* name;
    qvtest::PemIdentity identity;
    DWORD passing_flag;  // 0: valid, passes without flags
  };
  std::vector<Case> cases = {
      {"valid", ca_->IssueServer(TestCa::Leaf::kValid), 0},
      {"expired", ca_->IssueServer(TestCa::Leaf::kExpired), kDate},
      {"not yet valid", ca_->IssueServer(TestCa::Leaf::kNotYetValid), kDate},
      {"wrong name", ca_->IssueServer(TestCa::Leaf::kWrongName), kName},
      {"wrong usage", ca_->IssueServer(TestCa::Leaf::kWrongUsage), kUsage},
      {"unknown authority", stranger_->IssueServer(TestCa::Leaf::kValid), kCa},
  };
  for (const Case& c : cases) {
    HttpServer server = Serve(c.identity);
    for (DWORD flags : {0u, kCa, kUsage, kName, kDate, kCa | kUsage | kName | kDate}) {
      SCOPED_TRACE(std::string(c.name) + " with flags " + std::to_string(flags));
      Options o = To(server);
      o.security_flags = flags;
      auto out = winhttp_test::Fetch(o);
      bool passes = c.passing_flag == 0 || (flags & c.passing_flag) != 0;
      if (passes) {
        EXPECT_EQ(out.send_error, 0u);
        EXPECT_EQ(out.status, 200u);
        EXPECT_EQ(out.body, "secret");
      } else {
        EXPECT_EQ(out.send_error, static_cast<DWORD>(ERROR_WINHTTP_SECURE_FAILURE));
      }
    }
  }
}

TEST_F(WinHttpTls, SendRepeatedOnTheSameHandleAfterChangingTheFlags) {
  HttpServer server = Serve(stranger_->IssueServer(TestCa::Leaf::kExpired));
  Client client(To(server));
  DWORD flags = 0xdeadbeef, size = sizeof flags;
  ASSERT_TRUE(WinHttpQueryOption(client.request(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, &size));
  EXPECT_EQ(flags, 0u);
  winhttp_test::Outcome out;
  EXPECT_FALSE(client.Send(&out));
  EXPECT_EQ(out.send_error, static_cast<DWORD>(ERROR_WINHTTP_SECURE_FAILURE));
  client.SetFlags(flags | SECURITY_FLAG_IGNORE_UNKNOWN_CA);  // the date failure remains
  out = {};
  EXPECT_FALSE(client.Send(&out));
  EXPECT_EQ(out.send_error, static_cast<DWORD>(ERROR_WINHTTP_SECURE_FAILURE));
  client.SetFlags(SECURITY_FLAG_IGNORE_ALL_CERT_ERRORS);
  out = client.Run();
  EXPECT_EQ(out.send_error, 0u);
  EXPECT_EQ(out.body, "secret");
}

TEST_F(WinHttpTls, TrustedRootsComeFromTheHook) {
  HttpServer server = Serve(ca_->IssueServer(TestCa::Leaf::kValid));
  struct Case {
    const char* name;
    std::optional<std::vector<std::string>> roots;
    DWORD send_error;
  };
  std::vector<Case> cases = {
      {"system bundle only", std::nullopt, ERROR_WINHTTP_SECURE_FAILURE},
      {"PEM from the hook", std::vector<std::string>{ca_->cert_pem()}, 0},
      {"DER from the hook", std::vector<std::string>{ca_->cert_der()}, 0},
      {"another root only", std::vector<std::string>{stranger_->cert_pem()}, ERROR_WINHTTP_SECURE_FAILURE},
      {"among others", std::vector<std::string>{stranger_->cert_pem(), "not a certificate", ca_->cert_der()}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<TrustedRoots> trust;
    if (c.roots) trust.emplace(*c.roots);
    auto out = winhttp_test::Fetch(To(server));
    EXPECT_EQ(out.send_error, c.send_error);
  }
}

TEST_F(WinHttpTls, ProtocolBitsChooseTheVersions) {
  TrustedRoots trust({ca_->cert_pem()});
  auto identity = ca_->IssueServer(TestCa::Leaf::kValid);
  struct Case {
    const char* name;
    int server_min, server_max;
    std::optional<DWORD> protocols;
    DWORD send_error;
  };
  constexpr DWORD kOld = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                         WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;  // 0xA80
  std::vector<Case> cases = {
      {"defaults against 1.3", TLS1_3_VERSION, 0, std::nullopt, 0},
      {"0xA80 against 1.2", TLS1_2_VERSION, TLS1_2_VERSION, kOld, 0},
      {"0xA80 against 1.3 only", TLS1_3_VERSION, 0, kOld, ERROR_WINHTTP_SECURE_FAILURE},
      {"1.3 against 1.3", TLS1_3_VERSION, 0, WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3, 0},
      {"1.3 against 1.2 only", TLS1_2_VERSION, TLS1_2_VERSION, WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3,
       ERROR_WINHTTP_SECURE_FAILURE},
      {"only SSL 3", 0, 0, WINHTTP_FLAG_SECURE_PROTOCOL_SSL3, ERROR_WINHTTP_SECURE_FAILURE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpServer server = Serve(identity, c.server_min, c.server_max);
    Options o = To(server);
    o.protocols = c.protocols;
    auto out = winhttp_test::Fetch(o);
    EXPECT_EQ(out.send_error, c.send_error);
    if (c.send_error == 0) {
      EXPECT_EQ(out.body, "secret");
    }
  }
}

}  // namespace
