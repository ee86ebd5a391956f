// Loopback sockets for the test servers: a listener on a free port of 127.0.0.1, and connected
// streams, plain or TLS, that can be shut down from another thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "support/test_ca.h"

typedef struct ssl_ctx_st SSL_CTX;

namespace qvtest {

class Listener {
 public:
  Listener();  // binds 127.0.0.1 on a free port and listens
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  uint16_t port() const { return port_; }
  // A connected socket, or -1 once Close() was called.
  int Accept();
  void Close();

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

class Stream {
 public:
  virtual ~Stream();
  // Bytes read (0 at the end of the stream, -1 on failure).
  virtual long Read(void* data, size_t size) = 0;
  virtual bool WriteAll(const void* data, size_t size) = 0;
  bool WriteAll(const std::string& text) { return WriteAll(text.data(), text.size()); }
  // Wakes a blocked Read or WriteAll in another thread; the stream reports end/failure afterwards.
  void Shutdown();
  int fd() const { return fd_; }

 protected:
  explicit Stream(int fd) : fd_(fd) {}
  int fd_;
};

std::unique_ptr<Stream> PlainStream(int fd);
// Completes a TLS server handshake on `fd`; null when it fails.
std::unique_ptr<Stream> TlsServerStream(int fd, SSL_CTX* ctx);
// An SSL_CTX serving `identity`; maxVersion 0 allows every version OpenSSL allows.
std::shared_ptr<SSL_CTX> MakeServerContext(const PemIdentity& identity, int minVersion = 0, int maxVersion = 0);

// A TCP connection to host:port, or -1.
int ConnectTcp(const std::string& host, uint16_t port);

// Reads from `stream` until `buffered` holds a complete head (ending with an empty line); the head
// is moved out of `buffered`, which keeps what followed it. False at the end of the stream.
bool ReadHead(Stream& stream, std::string& buffered, std::string* head);
// Reads exactly `size` bytes (first from `buffered`).
bool ReadExactly(Stream& stream, std::string& buffered, size_t size, std::string* out);

}  // namespace qvtest
