// Network failures through the WinHTTP layer and the error codes they give.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/winhttp_test_client.h"
#include "support/http_server.h"
#include "support/loopback_stream.h"

using qvtest::HttpServer;
using qvtest::Response;
using winhttp_test::Client;
using winhttp_test::Options;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// Established TCP connections of this process whose remote end is 127.0.0.1:port.
int EstablishedTo(uint16_t port) {
  std::ifstream in("/proc/net/tcp");
  std::string line;
  std::getline(in, line);
  int count = 0;
  char hexPort[8];
  snprintf(hexPort, sizeof hexPort, "%04X", port);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (state == "01" && remote == std::string("0100007F:") + hexPort) ++count;
  }
  return count;
}

int ThreadCount() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  }
  return -1;
}

TEST(WinHttpFailure, ConnectAndNameFailures) {
  uint16_t closedPort;
  {
    qvtest::Listener gone;
    closedPort = gone.port();
  }
  struct Case {
    const char* name;
    std::u16string host;
    INTERNET_PORT port;
    DWORD send_error;
  };
  std::vector<Case> cases = {
      {"refused", u"127.0.0.1", closedPort, ERROR_WINHTTP_CANNOT_CONNECT},
      {"unresolvable", u"no-such-host.invalid", 80, ERROR_WINHTTP_NAME_NOT_RESOLVED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options o;
    o.host = c.host;
    o.port = c.port;
    Client client(o);
    winhttp_test::Outcome out;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(client.Send(&out));
    EXPECT_EQ(out.send_error, c.send_error);
    // The failed request can be sent again on the same handle, and fails the same way.
    out = {};
    EXPECT_FALSE(client.Send(&out));
    EXPECT_EQ(out.send_error, c.send_error);
  }
}

TEST(WinHttpFailure, ServerMisbehaviour) {
  // Margins are wide so a loaded machine neither times out the steady case nor overshoots the others.
  constexpr DWORD kReceiveTimeout = 1000;
  struct Case {
    const char* name;
    Response response;
    DWORD receive_error;
    DWORD read_error;
    size_t body_bytes;         // read before the failure
    long long min_ms, max_ms;  // how long the failing call took (when it is a time-out)
  };
  auto body = [](size_t n) { return qvtest::PatternBytes(0, n); };
  Response slowHead = Response::Text(200, "late");
  slowHead.delay_head = milliseconds(5000);
  Response stall = Response::Text(200, body(100000));
  stall.stall_at = 70000;
  stall.stall_for = milliseconds(5000);
  Response stallChunked = stall;
  stallChunked.framing = Response::Framing::kChunked;
  Response shortBody = Response::Text(200, body(5000));
  shortBody.drop_after = 1200;
  Response shortChunked = shortBody;
  shortChunked.framing = Response::Framing::kChunked;
  Response longerThanSent = Response::Text(200, body(100));
  longerThanSent.content_length = "1000";
  longerThanSent.close = true;
  Response garbage;
  garbage.raw = "this is not http\r\n\r\n";
  Response nothing;
  nothing.raw = "";
  Response slowButSteady = Response::Text(200, body(3000));
  slowButSteady.stall_at = 1000;
  slowButSteady.stall_for = milliseconds(kReceiveTimeout / 5);

  std::vector<Case> cases = {
      {"no head within the time-out", slowHead, ERROR_WINHTTP_TIMEOUT, 0, 0, kReceiveTimeout - 50,
       kReceiveTimeout + 2500},
      {"stall inside the body", stall, 0, ERROR_WINHTTP_TIMEOUT, 70000, kReceiveTimeout - 50,
       kReceiveTimeout + 2500},
      {"stall inside a chunked body", stallChunked, 0, ERROR_WINHTTP_TIMEOUT, 70000, kReceiveTimeout - 50,
       kReceiveTimeout + 2500},
      {"pause shorter than the time-out", slowButSteady, 0, 0, 3000, 0, 0},
      {"dropped after 1200 bytes", shortBody, 0, ERROR_WINHTTP_CONNECTION_ERROR, 1200, 0, 0},
      {"chunked body dropped", shortChunked, 0, ERROR_WINHTTP_CONNECTION_ERROR, 1200, 0, 0},
      {"closed before Content-Length", longerThanSent, 0, ERROR_WINHTTP_CONNECTION_ERROR, 100, 0, 0},
      {"not http", garbage, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 0, 0, 0, 0},
      {"closed without answer", nothing, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpServer server(qvtest::Always(c.response));
    Options o;
    o.port = server.port();
    o.receive_timeout = kReceiveTimeout;
    Client client(o);
    winhttp_test::Outcome out;
    ASSERT_TRUE(client.Send(&out));
    auto start = Clock::now();
    SetLastError(0xdeadbeef);
    BOOL received = WinHttpReceiveResponse(client.request(), nullptr);
    if (c.receive_error) {
      EXPECT_FALSE(received);
      EXPECT_EQ(GetLastError(), c.receive_error);
    } else {
      ASSERT_TRUE(received);
      // Read piece by piece and time the call that fails.
      std::string got;
      DWORD error = 0;
      for (;;) {
        start = Clock::now();
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(client.request(), &available)) {
          error = GetLastError();
          break;
        }
        if (available == 0) break;
        std::string piece(available, '\0');
        DWORD read = 0;
        ASSERT_TRUE(WinHttpReadData(client.request(), piece.data(), available, &read));
        got.append(piece, 0, read);
      }
      EXPECT_EQ(error, c.read_error);
      EXPECT_EQ(got.size(), c.body_bytes);
      EXPECT_TRUE(got == c.response.body.substr(0, got.size()));
    }
    if (c.max_ms) {
      long long took = MsSince(start);
      EXPECT_GE(took, c.min_ms);
      EXPECT_LE(took, c.max_ms);
    }
  }
}

TEST(WinHttpFailure, CloseEndsTheExchangeItsConnectionAndThreads) {
  int threadsBefore = ThreadCount();
  {
    Response stall = Response::Text(200, qvtest::PatternBytes(0, 10000));
    stall.stall_at = 10;
    stall.stall_for = milliseconds(20000);
    HttpServer server(qvtest::Always(stall));
    Options o;
    o.port = server.port();
    auto* client = new Client(o);
    winhttp_test::Outcome out;
    ASSERT_TRUE(client->Send(&out));
    ASSERT_TRUE(WinHttpReceiveResponse(client->request(), nullptr));
    EXPECT_EQ(EstablishedTo(server.port()), 1);

    // A read blocked in the stall returns 12017 as soon as the handle is closed by another thread.
    std::string body;
    DWORD readError = 0;
    std::thread reader([&] { readError = client->ReadAll(&body); });
    std::this_thread::sleep_for(milliseconds(300));
    auto start = Clock::now();
    HINTERNET request = client->request();
    ASSERT_TRUE(WinHttpCloseHandle(request));
    reader.join();
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_EQ(readError, static_cast<DWORD>(ERROR_WINHTTP_OPERATION_CANCELLED));
    EXPECT_EQ(body.size(), 10u);
    EXPECT_EQ(EstablishedTo(server.port()), 0);
    SetLastError(0xdeadbeef);
    DWORD n = 0;
    EXPECT_FALSE(WinHttpQueryDataAvailable(request, &n));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    delete client;  // closes the connection and session handles; the request handle is gone already
  }
  EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST(WinHttpFailure, ConnectionsEndWithTheirRequestHandle) {
  HttpServer server(qvtest::Always(Response::Text(200, "kept alive")));
  Options o;
  o.port = server.port();
  o.headers = {u"Connection: Keep-Alive"};
  {
    Client client(o);
    auto out = client.Run();
    ASSERT_EQ(out.body, "kept alive");
    EXPECT_EQ(EstablishedTo(server.port()), 1);  // kept for a resend on this handle
  }
  EXPECT_EQ(EstablishedTo(server.port()), 0);
}

}  // namespace
