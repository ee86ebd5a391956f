// A loopback HTTP/HTTPS server for tests, answering each request through a handler and able to
// misbehave on request: stall before the head or inside the body, drop the connection after N body
// bytes, announce a wrong Content-Length or none, send chunked, send raw bytes, keep or close the
// connection. It records every request it received, byte for byte.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/connection_pool.h"
#include "support/loopback_stream.h"
#include "support/test_ca.h"

namespace qvtest {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct ReceivedRequest {
  std::string method;
  std::string target;  // as on the request line (origin form, absolute form or authority)
  std::string version;
  HeaderList headers;
  std::string body;  // decoded when it came chunked
  std::string head;  // the request line and headers exactly as received

  // The first header of that name (case-insensitive), or nullopt.
  std::optional<std::string> Header(std::string_view name) const;
  // Parses a head ("GET / HTTP/1.1\r\nName: value\r\n...\r\n\r\n"); nullopt when malformed.
  static std::optional<ReceivedRequest> ParseHead(const std::string& head);
};

struct Response {
  enum class Framing { kContentLength, kChunked, kUntilClose };
  static constexpr size_t kNever = std::numeric_limits<size_t>::max();

  int status = 200;
  std::string reason;  // empty: the usual phrase for the status
  HeaderList headers;
  std::string body;
  uint64_t generated_size = 0;  // when non-zero, the body is this many PatternBytes instead
  Framing framing = Framing::kContentLength;
  std::optional<std::string> content_length;  // sent instead of the true length ("" omits it)
  size_t chunk_size = 0;                      // chunked: bytes per chunk (0: one chunk)
  bool close = false;                         // close the connection after this answer

  std::chrono::milliseconds delay_head{0};  // wait before sending anything
  size_t stall_at = kNever;                  // after this many body bytes ...
  std::chrono::milliseconds stall_for{0};    // ... wait this long
  size_t drop_after = kNever;                // close the connection after this many body bytes
  std::optional<std::string> raw;            // send exactly these bytes, then close

  static Response Text(int status, std::string body) {
    Response r;
    r.status = status;
    r.body = std::move(body);
    return r;
  }
};

using Handler = std::function<Response(const ReceivedRequest&)>;

// Deterministic body bytes: the byte at offset i of every generated body.
std::string PatternBytes(uint64_t offset, size_t size);
const char* ReasonPhrase(int status);

struct TlsOptions {
  PemIdentity identity;
  int min_version = 0;  // TLS1_2_VERSION etc.; 0: OpenSSL's defaults
  int max_version = 0;
};

class HttpServer {
 public:
  explicit HttpServer(Handler handler, std::optional<TlsOptions> tls = std::nullopt);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  uint16_t port() const { return listener_.port(); }
  bool tls() const { return ctx_ != nullptr; }
  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
  std::string BaseUrl() const;
  std::vector<ReceivedRequest> requests() const;
  size_t connections() const;

 private:
  void Serve(int fd);
  bool Answer(Stream& stream, const ReceivedRequest& request, const Response& response);

  Handler handler_;
  std::shared_ptr<SSL_CTX> ctx_;
  Listener listener_;
  ConnectionPool pool_;
  mutable std::mutex mutex_;
  std::vector<ReceivedRequest> requests_;
  size_t connections_ = 0;
};

// A file served the way download servers do: Range (206, 416 beyond the end), Last-Modified with
// If-Modified-Since (304 when the date is the same), and gzip content coding when the request
// accepts it and gzip is on.
struct Resource {
  std::string body;
  std::string last_modified;  // empty: no Last-Modified header
  bool gzip = false;
};
Handler ServeResource(Resource resource);
// Always answers the same response.
Handler Always(Response response);
std::string GzipBytes(std::string_view data);

}  // namespace qvtest
