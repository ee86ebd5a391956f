#include "support/http_server.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace qvtest {

namespace {

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return std::string(s);
}

bool HasHeader(const HeaderList& headers, std::string_view name) {
  return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return SameNoCase(h.first, name); });
}

// Reads a chunked request body into `out`.
bool ReadChunked(Stream& stream, std::string& buffered, std::string* out) {
  for (;;) {
    size_t eol;
    while ((eol = buffered.find("\r\n")) == std::string::npos) {
      char chunk[4096];
      long n = stream.Read(chunk, sizeof chunk);
      if (n <= 0) return false;
      buffered.append(chunk, static_cast<size_t>(n));
    }
    size_t size = std::stoul(buffered.substr(0, eol), nullptr, 16);
    buffered.erase(0, eol + 2);
    std::string data;
    if (!ReadExactly(stream, buffered, size + 2, &data)) return false;
    if (size == 0) return true;  // (no trailers are sent by the clients under test)
    out->append(data, 0, size);
  }
}

}  // namespace

std::optional<std::string> ReceivedRequest::Header(std::string_view name) const {
  for (const auto& [n, v] : headers) {
    if (SameNoCase(n, name)) return v;
  }
  return std::nullopt;
}

std::optional<ReceivedRequest> ReceivedRequest::ParseHead(const std::string& head) {
  ReceivedRequest r;
  r.head = head;
  size_t eol = head.find("\r\n");
  std::string line = head.substr(0, eol);
  size_t a = line.find(' '), b = line.rfind(' ');
  if (a == std::string::npos || b == a) return std::nullopt;
  r.method = line.substr(0, a);
  r.target = line.substr(a + 1, b - a - 1);
  r.version = line.substr(b + 1);
  size_t pos = eol + 2;
  while (pos < head.size()) {
    size_t end = head.find("\r\n", pos);
    if (end == std::string::npos || end == pos) break;
    std::string h = head.substr(pos, end - pos);
    size_t colon = h.find(':');
    if (colon != std::string::npos) r.headers.emplace_back(Trim(h.substr(0, colon)), Trim(h.substr(colon + 1)));
    pos = end + 2;
  }
  return r;
}

namespace {

// Generated bodies repeat a table whose length is not a power of two, so that a piece delivered at the
// wrong offset never matches by accident.
constexpr size_t kPatternPeriod = 1048573;

const std::string& PatternTable() {
  static const std::string table = [] {
    std::string t(kPatternPeriod, '\0');
    uint32_t x = 2463534242u;
    for (char& c : t) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      c = static_cast<char>(x & 0xFF);
    }
    return t;
  }();
  return table;
}

}  // namespace

std::string PatternBytes(uint64_t offset, size_t size) {
  const std::string& table = PatternTable();
  std::string out;
  out.reserve(size);
  size_t pos = static_cast<size_t>(offset % kPatternPeriod);
  while (out.size() < size) {
    size_t n = std::min(size - out.size(), kPatternPeriod - pos);
    out.append(table, pos, n);
    pos = 0;
  }
  return out;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 407: return "Proxy Authentication Required";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

HttpServer::HttpServer(Handler handler, std::optional<TlsOptions> tls) : handler_(std::move(handler)) {
  if (tls) ctx_ = MakeServerContext(tls->identity, tls->min_version, tls->max_version);
  pool_.AcceptConnections(listener_, [this](int fd) {
    {
      std::lock_guard lock(mutex_);
      ++connections_;
    }
    Serve(fd);
  });
}

HttpServer::~HttpServer() {
  listener_.Close();
  pool_.Stop();
}

std::string HttpServer::BaseUrl() const {
  return std::string(tls() ? "https" : "http") + "://127.0.0.1:" + std::to_string(port());
}

std::vector<ReceivedRequest> HttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

size_t HttpServer::connections() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

void HttpServer::Serve(int fd) {
  std::shared_ptr<Stream> stream = ctx_ ? std::shared_ptr<Stream>(TlsServerStream(fd, ctx_.get()))
                                        : std::shared_ptr<Stream>(PlainStream(fd));
  if (!stream) return;
  pool_.Register(stream);
  std::string buffered;
  for (;;) {
    std::string head;
    if (!ReadHead(*stream, buffered, &head)) return;
    auto request = ReceivedRequest::ParseHead(head);
    if (!request) return;
    if (auto te = request->Header("Transfer-Encoding"); te && SameNoCase(*te, "chunked")) {
      if (!ReadChunked(*stream, buffered, &request->body)) return;
    } else if (auto cl = request->Header("Content-Length")) {
      if (!ReadExactly(*stream, buffered, std::stoull(*cl), &request->body)) return;
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(*request);
    }
    Response response = handler_(*request);
    if (!Answer(*stream, *request, response)) return;
    auto connection = request->Header("Connection");
    if (response.close || (connection && SameNoCase(*connection, "close")) || request->version == "HTTP/1.0")
      return;
  }
}

bool HttpServer::Answer(Stream& stream, const ReceivedRequest& request, const Response& r) {
  if (r.delay_head.count() > 0 && !pool_.Sleep(r.delay_head)) return false;
  if (r.raw) {
    stream.WriteAll(*r.raw);
    return false;
  }
  uint64_t size = r.generated_size ? r.generated_size : r.body.size();
  std::string head = "HTTP/1.1 " + std::to_string(r.status) + " " +
                     (r.reason.empty() ? ReasonPhrase(r.status) : r.reason) + "\r\n";
  for (const auto& [n, v] : r.headers) head += n + ": " + v + "\r\n";
  bool noBody = request.method == "HEAD" || r.status == 204 || r.status == 304 || r.status < 200;
  switch (r.framing) {
    case Response::Framing::kContentLength:
      if (!r.content_length) head += "Content-Length: " + std::to_string(size) + "\r\n";
      else if (!r.content_length->empty()) head += "Content-Length: " + *r.content_length + "\r\n";
      break;
    case Response::Framing::kChunked:
      head += "Transfer-Encoding: chunked\r\n";
      break;
    case Response::Framing::kUntilClose:
      break;
  }
  if ((r.close || r.framing == Response::Framing::kUntilClose) && !HasHeader(r.headers, "Connection"))
    head += "Connection: close\r\n";
  head += "\r\n";
  if (!stream.WriteAll(head)) return false;
  if (noBody) return !(r.framing == Response::Framing::kUntilClose);

  bool chunked = r.framing == Response::Framing::kChunked;
  size_t piece = chunked && r.chunk_size ? r.chunk_size : 64 * 1024;
  uint64_t sent = 0;
  bool stalled = false;
  while (sent < size) {
    uint64_t limit = size;
    if (!stalled && r.stall_at != Response::kNever) limit = std::min<uint64_t>(limit, r.stall_at);
    if (r.drop_after != Response::kNever) limit = std::min<uint64_t>(limit, r.drop_after);
    if (sent == limit) {
      if (r.drop_after != Response::kNever && sent >= r.drop_after) return false;  // drop the connection
      stalled = true;
      if (!pool_.Sleep(r.stall_for)) return false;
      continue;
    }
    size_t n = static_cast<size_t>(std::min<uint64_t>(piece, limit - sent));
    std::string data = r.generated_size ? PatternBytes(sent, n) : r.body.substr(static_cast<size_t>(sent), n);
    if (chunked) {
      char size_line[32];
      snprintf(size_line, sizeof size_line, "%zx\r\n", n);
      data = size_line + data + "\r\n";
    }
    if (!stream.WriteAll(data)) return false;
    sent += n;
  }
  if (r.drop_after != Response::kNever && sent >= r.drop_after) return false;
  if (chunked && !stream.WriteAll("0\r\n\r\n")) return false;
  return r.framing != Response::Framing::kUntilClose;
}

Handler Always(Response response) {
  return [response](const ReceivedRequest&) { return response; };
}

std::string GzipBytes(std::string_view data) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::string out(deflateBound(&z, data.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

Handler ServeResource(Resource resource) {
  return [resource](const ReceivedRequest& request) {
    Response r;
    if (!resource.last_modified.empty()) {
      r.headers.emplace_back("Last-Modified", resource.last_modified);
      auto since = request.Header("If-Modified-Since");
      if (since && *since == resource.last_modified) {
        r.status = 304;
        return r;
      }
    }
    std::string body = resource.body;
    auto accept = request.Header("Accept-Encoding");
    if (resource.gzip && accept && accept->find("gzip") != std::string::npos) {
      body = GzipBytes(body);
      r.headers.emplace_back("Content-Encoding", "gzip");
    }
    r.headers.emplace_back("Accept-Ranges", "bytes");
    auto range = request.Header("Range");
    if (range && range->rfind("bytes=", 0) == 0) {
      std::string spec = range->substr(6);
      size_t dash = spec.find('-');
      uint64_t first = std::stoull(spec.substr(0, dash));
      uint64_t last = body.empty() ? 0 : body.size() - 1;
      if (dash + 1 < spec.size()) last = std::min<uint64_t>(last, std::stoull(spec.substr(dash + 1)));
      if (first >= body.size()) {
        r.status = 416;
        r.headers.emplace_back("Content-Range", "bytes */" + std::to_string(body.size()));
        return r;
      }
      r.status = 206;
      r.headers.emplace_back("Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                                                  std::to_string(body.size()));
      r.body = body.substr(first, last - first + 1);
      return r;
    }
    r.body = std::move(body);
    return r;
  };
}

}  // namespace qvtest
