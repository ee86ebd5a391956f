// The named-proxy rules of a session: which proxy, if any, serves a given URL.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvplatform::winhttp {

class ProxyRules {
 public:
  ProxyRules() = default;  // direct connections
  // proxyList: "host:port", "http://host:port", or "scheme=host:port" entries separated by ';' or
  // blanks. bypassList: host patterns separated by ';' or blanks, with '*' and '?' wildcards, an
  // optional "scheme://" prefix and ":port" suffix; "<local>" matches every host name without a dot.
  ProxyRules(std::string_view proxyList, std::string_view bypassList);

  // The proxy URL ("http://host:port") for a request to scheme://host:port, or nullopt to connect
  // directly.
  std::optional<std::string> ProxyFor(std::string_view scheme, std::string_view host,
                                      unsigned port) const;
  bool Bypassed(std::string_view scheme, std::string_view host, unsigned port) const;

 private:
  struct Entry {
    std::string scheme;  // empty: every scheme
    std::string address;
  };
  struct Bypass {
    std::string scheme;  // empty: every scheme
    std::string host_pattern;
    std::optional<unsigned> port;
    bool local = false;
  };
  std::vector<Entry> proxies_;
  std::vector<Bypass> bypass_;
};

// Case-insensitive match with '*' (any run) and '?' (any one character).
bool WildcardMatch(std::string_view pattern, std::string_view text);

}  // namespace qvplatform::winhttp
