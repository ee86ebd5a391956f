// Named proxies through the WinHTTP layer: forwarding, CONNECT tunnels, proxy credentials and 407,
// bypass lists, against the loopback proxy and against tinyproxy.
#include <gtest/gtest.h>

#include "platform/winhttp_test_client.h"
#include "support/http_proxy.h"
#include "support/http_server.h"
#include "support/test_ca.h"
#include "support/tinyproxy.h"

using qvtest::HttpProxy;
using qvtest::HttpServer;
using qvtest::Response;
using winhttp_test::Options;

namespace {

std::u16string Wide(const std::string& s) { return qvplatform::Utf8ToUtf16Lossy(s); }

struct Servers {
  qvtest::TestCa ca;
  HttpServer http{qvtest::Always(Response::Text(200, "plain"))};
  HttpServer https{qvtest::Always(Response::Text(200, "tunnelled")),
                   qvtest::TlsOptions{ca.IssueServer(qvtest::TestCa::Leaf::kValid)}};
  Servers() {
    std::string pem = ca.cert_pem();
    qvplatform::SetExtraTrustedRootsProvider([pem] { return std::vector<std::string>{pem}; });
  }
  ~Servers() { qvplatform::SetExtraTrustedRootsProvider(nullptr); }
};

Options ViaProxy(const std::string& proxy, const HttpServer& server) {
  Options o;
  o.access = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  o.proxy = Wide(proxy);
  o.port = server.port();
  o.secure = server.tls();
  o.path = u"/via";
  return o;
}

struct CredentialCase {
  const char* name;
  bool secure;
  std::optional<std::u16string> user, password;
  DWORD status;
  std::string body;
};

std::vector<CredentialCase> CredentialCases() {
  return {
      {"http with credentials", false, u"agent", u"pa55", 200, "plain"},
      {"https with credentials", true, u"agent", u"pa55", 200, "tunnelled"},
      {"http wrong password", false, u"agent", u"wrong", 407, ""},
      {"https wrong password", true, u"agent", u"wrong", 407, ""},
      {"http no credentials", false, std::nullopt, std::nullopt, 407, ""},
      {"https no credentials", true, std::nullopt, std::nullopt, 407, ""},
  };
}

TEST(WinHttpProxy, ForwardsAndTunnelsWithBasicCredentials) {
  Servers servers;
  HttpProxy proxy(std::make_pair(std::string("agent"), std::string("pa55")));
  for (const CredentialCase& c : CredentialCases()) {
    SCOPED_TRACE(c.name);
    const HttpServer& target = c.secure ? servers.https : servers.http;
    size_t before = proxy.requests().size();
    Options o = ViaProxy(proxy.Address(), target);
    o.proxy_user = c.user;
    o.proxy_password = c.password;
    auto out = winhttp_test::Fetch(o);
    EXPECT_EQ(out.send_error, 0u);
    EXPECT_EQ(out.receive_error, 0u);
    EXPECT_EQ(out.status, c.status);  // a refusal comes back as the answer, 407
    EXPECT_EQ(out.read_error, 0u);
    EXPECT_EQ(out.body, c.body);
    auto seen = proxy.requests();
    ASSERT_EQ(seen.size(), before + 1);
    std::string port = std::to_string(target.port());
    EXPECT_EQ(seen.back().method, c.secure ? "CONNECT" : "GET");
    EXPECT_EQ(seen.back().target, c.secure ? "127.0.0.1:" + port : "http://127.0.0.1:" + port + "/via");
    if (c.user) {
      EXPECT_EQ(seen.back().proxy_authorization,
                "Basic " + qvtest::Base64(winhttp_test::Narrow(*c.user) + ":" + winhttp_test::Narrow(*c.password)));
    } else {
      EXPECT_EQ(seen.back().proxy_authorization, std::nullopt);
    }
  }
}

TEST(WinHttpProxy, BypassListDecidesPerHost) {
  Servers servers;
  HttpProxy proxy;
  struct Case {
    const char* name;
    std::u16string host;
    std::u16string bypass;
    bool proxied;
  };
  std::vector<Case> cases = {
      {"no bypass list", u"127.0.0.1", u"", true},
      {"<local> and a dotted address", u"127.0.0.1", u"<local>", true},
      {"<local> and a plain name", u"localhost", u"<local>", false},
      {"wildcard", u"127.0.0.1", u"10.*;127.0.0.*", false},
      {"wildcard with another port", u"127.0.0.1", u"127.0.0.1:1", true},
      {"exact name, other case", u"localhost", u"LOCALHOST", false},
      {"other names only", u"127.0.0.1", u"*.example.com <local>", true},
      {"scheme prefix", u"127.0.0.1", u"http://127.0.0.1", false},
      {"other scheme prefix", u"127.0.0.1", u"https://127.0.0.1", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    size_t before = proxy.requests().size();
    Options o = ViaProxy(proxy.Address(), servers.http);
    o.host = c.host;
    o.bypass = c.bypass;
    auto out = winhttp_test::Fetch(o);
    EXPECT_EQ(out.status, 200u);
    EXPECT_EQ(out.body, "plain");
    EXPECT_EQ(proxy.requests().size(), before + (c.proxied ? 1 : 0));
  }
}

TEST(WinHttpProxy, UnreachableProxy) {
  Servers servers;
  uint16_t closedPort;
  {
    qvtest::Listener gone;
    closedPort = gone.port();
  }
  struct Case {
    const char* name;
    std::string proxy;
    DWORD send_error;
  };
  std::vector<Case> cases = {
      {"refused", "127.0.0.1:" + std::to_string(closedPort), ERROR_WINHTTP_CANNOT_CONNECT},
      {"unresolvable", "no-such-proxy.invalid:8080", ERROR_WINHTTP_NAME_NOT_RESOLVED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto out = winhttp_test::Fetch(ViaProxy(c.proxy, servers.http));
    EXPECT_EQ(out.send_error, c.send_error);
  }
}

TEST(WinHttpProxy, TinyproxyAsARealPeer) {
  if (!qvtest::Tinyproxy::Installed()) GTEST_SKIP() << "tinyproxy is not installed (scripts/bootstrap)";
  Servers servers;
  qvtest::Tinyproxy open;
  qvtest::Tinyproxy guarded(std::make_pair(std::string("agent"), std::string("pa55")));
  ASSERT_TRUE(open.running());
  ASSERT_TRUE(guarded.running());
  struct Case {
    const char* name;
    const qvtest::Tinyproxy* proxy;
    CredentialCase request;
  };
  std::vector<Case> cases = {
      {"open, http", &open, {"", false, std::nullopt, std::nullopt, 200, "plain"}},
      {"open, https", &open, {"", true, std::nullopt, std::nullopt, 200, "tunnelled"}},
  };
  for (CredentialCase c : CredentialCases()) {
    // tinyproxy answers refusals with a page of its own (only the status is checked), and wrong
    // credentials with 401 rather than 407: the layer passes its status through as sent.
    if (c.status != 200) {
      c.body = "*";
      if (c.password) c.status = 401;
    }
    cases.push_back({"guarded", &guarded, c});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.request.name);
    Options o = ViaProxy(c.proxy->Address(), c.request.secure ? servers.https : servers.http);
    o.proxy_user = c.request.user;
    o.proxy_password = c.request.password;
    auto out = winhttp_test::Fetch(o);
    EXPECT_EQ(out.send_error, 0u);
    EXPECT_EQ(out.receive_error, 0u);
    EXPECT_EQ(out.status, c.request.status);
    if (c.request.body != "*") {
      EXPECT_EQ(out.body, c.request.body);
    }
  }
}

}  // namespace
