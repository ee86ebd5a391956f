// A loopback forward proxy for tests: plain requests in absolute form are forwarded to the origin,
// CONNECT opens a tunnel, and with credentials set every request must carry them as Basic
// Proxy-Authorization or gets 407 with a Basic challenge. It records what it was asked.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/connection_pool.h"
#include "support/http_server.h"
#include "support/loopback_stream.h"

namespace qvtest {

class HttpProxy {
 public:
  struct Seen {
    std::string method;
    std::string target;
    std::optional<std::string> proxy_authorization;
  };

  // With credentials, requests without "Basic base64(user:password)" are refused with 407.
  explicit HttpProxy(std::optional<std::pair<std::string, std::string>> credentials = std::nullopt);
  ~HttpProxy();
  HttpProxy(const HttpProxy&) = delete;
  HttpProxy& operator=(const HttpProxy&) = delete;

  uint16_t port() const { return listener_.port(); }
  // "127.0.0.1:PORT", as a proxy name is given to WinHttpOpen.
  std::string Address() const { return "127.0.0.1:" + std::to_string(port()); }
  std::vector<Seen> requests() const;

 private:
  void Serve(int fd);
  std::shared_ptr<Stream> ConnectOrigin(Stream& client, const std::string& authority);
  void Tunnel(Stream& client, std::string& buffered, const std::string& authority);
  void Forward(Stream& client, const ReceivedRequest& request);

  std::optional<std::string> expected_;  // the expected Proxy-Authorization value
  Listener listener_;
  ConnectionPool pool_;
  mutable std::mutex mutex_;
  std::vector<Seen> seen_;
};

std::string Base64(std::string_view data);

}  // namespace qvtest
