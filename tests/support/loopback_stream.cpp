#include "support/loopback_stream.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace qvtest {

Listener::Listener() {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::runtime_error("socket failed");
  int one = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd_, 64) != 0)
    throw std::runtime_error("bind/listen failed");
  socklen_t len = sizeof addr;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
}

Listener::~Listener() {
  Close();
  if (fd_ >= 0) close(fd_);
}

int Listener::Accept() {
  for (;;) {
    int fd = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      return fd;
    }
    if (errno == EINTR) continue;
    return -1;
  }
}

void Listener::Close() {
  if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);  // wakes a blocked accept
}

Stream::~Stream() = default;

void Stream::Shutdown() { shutdown(fd_, SHUT_RDWR); }

namespace {

class Plain : public Stream {
 public:
  explicit Plain(int fd) : Stream(fd) {}
  ~Plain() override { close(fd_); }
  long Read(void* data, size_t size) override {
    for (;;) {
      ssize_t n = recv(fd_, data, size, 0);
      if (n < 0 && errno == EINTR) continue;
      return static_cast<long>(n);
    }
  }
  bool WriteAll(const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = send(fd_, p, size, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
};

class Tls : public Stream {
 public:
  Tls(int fd, SSL* ssl) : Stream(fd), ssl_(ssl) {}
  ~Tls() override {
    SSL_free(ssl_);
    close(fd_);
  }
  long Read(void* data, size_t size) override {
    int n = SSL_read(ssl_, data, static_cast<int>(size));
    if (n > 0) return n;
    int err = SSL_get_error(ssl_, n);
    ERR_clear_error();
    return err == SSL_ERROR_ZERO_RETURN ? 0 : -1;
  }
  bool WriteAll(const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      int n = SSL_write(ssl_, p, static_cast<int>(size));
      if (n <= 0) {
        ERR_clear_error();
        return false;
      }
      p += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

 private:
  SSL* ssl_;
};

}  // namespace

std::unique_ptr<Stream> PlainStream(int fd) { return std::make_unique<Plain>(fd); }

std::unique_ptr<Stream> TlsServerStream(int fd, SSL_CTX* ctx) {
  SSL* ssl = SSL_new(ctx);
  if (!ssl) {
    close(fd);
    return nullptr;
  }
  SSL_set_fd(ssl, fd);
  if (SSL_accept(ssl) != 1) {
    ERR_clear_error();
    SSL_free(ssl);
    close(fd);
    return nullptr;
  }
  return std::make_unique<Tls>(fd, ssl);
}

std::shared_ptr<SSL_CTX> MakeServerContext(const PemIdentity& identity, int minVersion, int maxVersion) {
  // OpenSSL writes to the socket without MSG_NOSIGNAL; a client that hangs up (as clients refusing
  // a certificate do) must not kill the test program.
  signal(SIGPIPE, SIG_IGN);
  std::shared_ptr<SSL_CTX> ctx(SSL_CTX_new(TLS_server_method()), &SSL_CTX_free);
  if (!ctx) throw std::runtime_error("SSL_CTX_new failed");
  if (minVersion) SSL_CTX_set_min_proto_version(ctx.get(), minVersion);
  if (maxVersion) SSL_CTX_set_max_proto_version(ctx.get(), maxVersion);
  if (minVersion && minVersion < TLS1_2_VERSION) SSL_CTX_set_security_level(ctx.get(), 0);
  std::unique_ptr<BIO, decltype(&BIO_free)> certBio(
      BIO_new_mem_buf(identity.cert_pem.data(), static_cast<int>(identity.cert_pem.size())), &BIO_free);
  std::unique_ptr<BIO, decltype(&BIO_free)> keyBio(
      BIO_new_mem_buf(identity.key_pem.data(), static_cast<int>(identity.key_pem.size())), &BIO_free);
  X509* cert = PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr);
  bool ok = cert && key && SSL_CTX_use_certificate(ctx.get(), cert) == 1 &&
            SSL_CTX_use_PrivateKey(ctx.get(), key) == 1;
  X509_free(cert);
  EVP_PKEY_free(key);
  if (!ok) throw std::runtime_error("server identity not usable");
  return ctx;
}

int ConnectTcp(const std::string& host, uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return -1;
  int fd = -1;
  for (addrinfo* a = list; a; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) break;
    close(fd);
    fd = -1;
  }
  freeaddrinfo(list);
  return fd;
}

bool ReadHead(Stream& stream, std::string& buffered, std::string* head) {
  for (;;) {
    size_t end = buffered.find("\r\n\r\n");
    if (end != std::string::npos) {
      *head = buffered.substr(0, end + 4);
      buffered.erase(0, end + 4);
      return true;
    }
    char chunk[16384];
    long n = stream.Read(chunk, sizeof chunk);
    if (n <= 0) return false;
    buffered.append(chunk, static_cast<size_t>(n));
  }
}

bool ReadExactly(Stream& stream, std::string& buffered, size_t size, std::string* out) {
  while (buffered.size() < size) {
    char chunk[65536];
    long n = stream.Read(chunk, sizeof chunk);
    if (n <= 0) return false;
    buffered.append(chunk, static_cast<size_t>(n));
  }
  *out = buffered.substr(0, size);
  buffered.erase(0, size);
  return true;
}

}  // namespace qvtest
