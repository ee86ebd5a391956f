#include "support/http_proxy.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qvtest {

namespace {

bool SplitAuthority(const std::string& authority, std::string* host, uint16_t* port) {
  size_t colon = authority.rfind(':');
  if (colon == std::string::npos) {
    *host = authority;
    *port = 80;
    return !host->empty();
  }
  *host = authority.substr(0, colon);
  if (host->size() > 2 && host->front() == '[') *host = host->substr(1, host->size() - 2);
  *port = static_cast<uint16_t>(std::stoi(authority.substr(colon + 1)));
  return !host->empty();
}

// Copies bytes both ways until either side closes.
void Relay(Stream& client, const std::string& clientBuffered, int origin) {
  if (!clientBuffered.empty() && send(origin, clientBuffered.data(), clientBuffered.size(), MSG_NOSIGNAL) < 0)
    return;
  pollfd fds[2] = {{client.fd(), POLLIN, 0}, {origin, POLLIN, 0}};
  char buffer[65536];
  for (;;) {
    if (poll(fds, 2, -1) < 0) return;
    if (fds[0].revents) {
      long n = client.Read(buffer, sizeof buffer);
      if (n <= 0 || send(origin, buffer, static_cast<size_t>(n), MSG_NOSIGNAL) < 0) return;
    }
    if (fds[1].revents) {
      ssize_t n = recv(origin, buffer, sizeof buffer, 0);
      if (n <= 0 || !client.WriteAll(buffer, static_cast<size_t>(n))) return;
    }
  }
}

}  // namespace

std::string Base64(std::string_view data) {
  static const char kTable[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    uint32_t v = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8) | uint8_t(data[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out.push_back(kTable[(v >> s) & 63]);
  }
  if (i + 1 == data.size()) {
    uint32_t v = uint8_t(data[i]) << 16;
    out += {kTable[(v >> 18) & 63], kTable[(v >> 12) & 63], '=', '='};
  } else if (i + 2 == data.size()) {
    uint32_t v = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8);
    out += {kTable[(v >> 18) & 63], kTable[(v >> 12) & 63], kTable[(v >> 6) & 63], '='};
  }
  return out;
}

HttpProxy::HttpProxy(std::optional<std::pair<std::string, std::string>> credentials) {
  if (credentials) expected_ = "Basic " + Base64(credentials->first + ":" + credentials->second);
  pool_.AcceptConnections(listener_, [this](int fd) { Serve(fd); });
}

HttpProxy::~HttpProxy() {
  listener_.Close();
  pool_.Stop();
}

std::vector<HttpProxy::Seen> HttpProxy::requests() const {
  std::lock_guard lock(mutex_);
  return seen_;
}

void HttpProxy::Serve(int fd) {
  std::shared_ptr<Stream> client(PlainStream(fd));
  pool_.Register(client);
  std::string buffered, head;
  if (!ReadHead(*client, buffered, &head)) return;
  auto request = ReceivedRequest::ParseHead(head);
  if (!request) return;
  if (auto cl = request->Header("Content-Length")) {
    if (!ReadExactly(*client, buffered, std::stoull(*cl), &request->body)) return;
  }
  {
    std::lock_guard lock(mutex_);
    seen_.push_back(Seen{request->method, request->target, request->Header("Proxy-Authorization")});
  }
  if (expected_ && request->Header("Proxy-Authorization") != expected_) {
    client->WriteAll(
        "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"qvtest\"\r\n"
        "Content-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  if (request->method == "CONNECT") {
    Tunnel(*client, buffered, request->target);
  } else {
    Forward(*client, *request);
  }
}

std::shared_ptr<Stream> HttpProxy::ConnectOrigin(Stream& client, const std::string& authority) {
  std::string host;
  uint16_t port = 0;
  int origin = SplitAuthority(authority, &host, &port) ? ConnectTcp(host, port) : -1;
  if (origin < 0) {
    client.WriteAll("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return nullptr;
  }
  std::shared_ptr<Stream> stream(PlainStream(origin));
  pool_.Register(stream);
  return stream;
}

void HttpProxy::Tunnel(Stream& client, std::string& buffered, const std::string& authority) {
  auto origin = ConnectOrigin(client, authority);
  if (origin && client.WriteAll("HTTP/1.1 200 Connection established\r\n\r\n")) Relay(client, buffered, origin->fd());
}

void HttpProxy::Forward(Stream& client, const ReceivedRequest& request) {
  // Absolute form: http://host:port/path
  const std::string& target = request.target;
  size_t scheme = target.find("://");
  if (scheme == std::string::npos) {
    client.WriteAll("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  size_t pathStart = target.find('/', scheme + 3);
  std::string authority = target.substr(scheme + 3, pathStart == std::string::npos ? std::string::npos
                                                                                    : pathStart - scheme - 3);
  std::string path = pathStart == std::string::npos ? "/" : target.substr(pathStart);
  auto originStream = ConnectOrigin(client, authority);
  if (!originStream) return;
  std::string out = request.method + " " + path + " " + request.version + "\r\n";
  for (const auto& [n, v] : request.headers) {
    std::string lower = n;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "proxy-authorization" || lower == "proxy-connection" || lower == "connection") continue;
    out += n + ": " + v + "\r\n";
  }
  out += "Connection: close\r\n\r\n" + request.body;
  if (!originStream->WriteAll(out)) return;
  char buffer[65536];
  for (;;) {
    long n = originStream->Read(buffer, sizeof buffer);
    if (n <= 0 || !client.WriteAll(buffer, static_cast<size_t>(n))) return;
  }
}

}  // namespace qvtest
