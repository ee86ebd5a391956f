// Requests, response heads and bodies through the WinHTTP layer against the loopback server.
#include <gtest/gtest.h>

#include <functional>

#include "platform/winhttp_test_client.h"
#include "support/http_proxy.h"
#include "support/http_server.h"

using qvtest::HttpServer;
using qvtest::ReceivedRequest;
using qvtest::Response;
using winhttp_test::Client;
using winhttp_test::Fetch;
using winhttp_test::Options;

namespace {

Options To(const HttpServer& server, std::u16string path = u"/") {
  Options o;
  o.port = server.port();
  o.secure = server.tls();
  o.path = std::move(path);
  return o;
}

std::u16string Wide(const std::string& s) { return qvplatform::Utf8ToUtf16Lossy(s); }

TEST(WinHttpRequest, BodiesArriveWholeAndUndecoded) {
  struct Case {
    const char* name;
    Response response;
    std::string expected;
  };
  std::string big = qvtest::PatternBytes(0, 3 * 1024 * 1024 + 17);
  std::string gz = qvtest::GzipBytes("hello, gzip");
  auto chunked = [](std::string body, size_t piece) {
    Response r = Response::Text(200, std::move(body));
    r.framing = Response::Framing::kChunked;
    r.chunk_size = piece;
    return r;
  };
  auto untilClose = Response::Text(200, "delimited by the close");
  untilClose.framing = Response::Framing::kUntilClose;
  Response gzipped = Response::Text(200, gz);
  gzipped.headers.emplace_back("Content-Encoding", "gzip");
  Response generated;
  generated.generated_size = 2 * 1024 * 1024 + 3;
  std::vector<Case> cases = {
      {"content-length", Response::Text(200, "hello"), "hello"},
      {"empty", Response::Text(200, ""), ""},
      {"chunked", chunked("abcdefghijklmnopqrstuvwxyz", 7), "abcdefghijklmnopqrstuvwxyz"},
      {"until close", untilClose, "delimited by the close"},
      {"gzip stays encoded", gzipped, gz},
      {"3 MiB", Response::Text(200, big), big},
      {"3 MiB chunked", chunked(big, 100000), big},
      {"generated", generated, qvtest::PatternBytes(0, 2 * 1024 * 1024 + 3)},
      {"404 body", Response::Text(404, "missing"), "missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpServer server(qvtest::Always(c.response));
    auto out = Fetch(To(server));
    EXPECT_EQ(out.send_error, 0u);
    EXPECT_EQ(out.receive_error, 0u);
    EXPECT_EQ(out.read_error, 0u);
    EXPECT_EQ(out.status, static_cast<DWORD>(c.response.status));
    EXPECT_EQ(out.body.size(), c.expected.size());
    EXPECT_TRUE(out.body == c.expected);
  }
}

TEST(WinHttpRequest, HeadQueriesFollowTheSizeProtocol) {
  Response r = Response::Text(200, "body");
  r.reason = "Fine";
  r.headers = {{"Last-Modified", "Wed, 21 Oct 2015 07:28:00 GMT"},
               {"Location", "/elsewhere"},
               {"Content-Encoding", "identity"},
               {"X-Twice", "one"},
               {"X-Twice", "two"}};
  HttpServer server(qvtest::Always(r));
  Client client(To(server));
  winhttp_test::Outcome ignored;
  ASSERT_TRUE(client.Send(&ignored));
  ASSERT_TRUE(WinHttpReceiveResponse(client.request(), nullptr));
  HINTERNET h = client.request();

  struct Case {
    const char* name;
    DWORD level;
    const char16_t* header;
    std::string expected;
  };
  std::vector<Case> cases = {
      {"status text", WINHTTP_QUERY_STATUS_CODE, nullptr, "200"},
      {"reason", WINHTTP_QUERY_STATUS_TEXT, nullptr, "Fine"},
      {"version", WINHTTP_QUERY_VERSION, nullptr, "HTTP/1.1"},
      {"last modified", WINHTTP_QUERY_LAST_MODIFIED, nullptr, "Wed, 21 Oct 2015 07:28:00 GMT"},
      {"location", WINHTTP_QUERY_LOCATION, nullptr, "/elsewhere"},
      {"content length text", WINHTTP_QUERY_CONTENT_LENGTH, nullptr, "4"},
      {"custom", WINHTTP_QUERY_CUSTOM, u"content-encoding", "identity"},
      {"custom first of two", WINHTTP_QUERY_CUSTOM, u"X-Twice", "one"},
      {"raw", WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr,
       "HTTP/1.1 200 Fine\r\nLast-Modified: Wed, 21 Oct 2015 07:28:00 GMT\r\nLocation: /elsewhere\r\n"
       "Content-Encoding: identity\r\nX-Twice: one\r\nX-Twice: two\r\nContent-Length: 4\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string expected = Wide(c.expected);
    DWORD needed = (static_cast<DWORD>(expected.size()) + 1) * 2;
    // Without a buffer: 122 and the size in bytes, terminator included.
    DWORD size = 0;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(WinHttpQueryHeaders(h, c.level, c.header, nullptr, &size, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, needed);
    // One byte short: the same answer.
    std::u16string buffer(expected.size() + 1, u'#');
    size = needed - 1;
    EXPECT_FALSE(WinHttpQueryHeaders(h, c.level, c.header, buffer.data(), &size, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, needed);
    // Exactly enough: the text, terminated, and its length without the terminator.
    size = needed;
    SetLastError(0xdeadbeef);
    ASSERT_TRUE(WinHttpQueryHeaders(h, c.level, c.header, buffer.data(), &size, nullptr));
    EXPECT_EQ(size, needed - 2);
    EXPECT_EQ(buffer, expected + u'\0');
  }

  // The second header of a name through the index.
  DWORD index = 1;
  char16_t text[16];
  DWORD size = sizeof text;
  ASSERT_TRUE(WinHttpQueryHeaders(h, WINHTTP_QUERY_CUSTOM, u"X-Twice", text, &size, &index));
  EXPECT_EQ(std::u16string(text), u"two");
  EXPECT_EQ(index, 2u);
  size = sizeof text;
  EXPECT_FALSE(WinHttpQueryHeaders(h, WINHTTP_QUERY_CUSTOM, u"X-Twice", text, &size, &index));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINHTTP_HEADER_NOT_FOUND));
}

TEST(WinHttpRequest, NumericAndMissingHeaders) {
  struct Case {
    const char* name;
    const char* content_length;  // sent on a HEAD answer
    DWORD level;
    const char16_t* header;
    DWORD buffer_size;
    DWORD error;  // 0: success with `value`
    uint64_t value;
  };
  constexpr DWORD kNum = WINHTTP_QUERY_FLAG_NUMBER;
  std::vector<Case> cases = {
      {"status", "4", WINHTTP_QUERY_STATUS_CODE | kNum, nullptr, 4, 0, 200},
      {"length", "4294967295", WINHTTP_QUERY_CONTENT_LENGTH | kNum, nullptr, 4, 0, 4294967295u},
      {"length beyond 32 bits", "4294967296", WINHTTP_QUERY_CONTENT_LENGTH | kNum, nullptr, 4,
       ERROR_ARITHMETIC_OVERFLOW, 0},
      {"64-bit length", "5000000000", WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER64, nullptr, 8, 0,
       5000000000u},
      {"number buffer too small", "4", WINHTTP_QUERY_CONTENT_LENGTH | kNum, nullptr, 2, ERROR_INSUFFICIENT_BUFFER,
       0},
      {"not a number", "4", WINHTTP_QUERY_CUSTOM | kNum, u"X-Text", 4, ERROR_INVALID_DATA, 0},
      {"missing custom", "4", WINHTTP_QUERY_CUSTOM, u"X-Absent", 64, ERROR_WINHTTP_HEADER_NOT_FOUND, 0},
      {"missing number", "4", WINHTTP_QUERY_CUSTOM | kNum, u"X-Absent", 4, ERROR_WINHTTP_HEADER_NOT_FOUND, 0},
      {"missing last modified", "4", WINHTTP_QUERY_LAST_MODIFIED, nullptr, 64, ERROR_WINHTTP_HEADER_NOT_FOUND, 0},
      {"missing location", "4", WINHTTP_QUERY_LOCATION, nullptr, 0, ERROR_WINHTTP_HEADER_NOT_FOUND, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Response r;
    r.content_length = c.content_length;
    r.headers.emplace_back("X-Text", "12abc");
    HttpServer server(qvtest::Always(r));
    Options o = To(server);
    o.verb = u"HEAD";
    Client client(o);
    auto out = client.Run();
    ASSERT_EQ(out.receive_error, 0u);
    EXPECT_EQ(out.body, "");  // HEAD: no body, whatever the length says
    uint64_t value = 0;
    DWORD size = c.buffer_size;
    SetLastError(0xdeadbeef);
    BOOL ok = WinHttpQueryHeaders(client.request(), c.level, c.header, c.buffer_size ? &value : nullptr, &size,
                                  nullptr);
    if (c.error == 0) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(value, c.value);
      EXPECT_EQ(size, c.buffer_size);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(GetLastError(), c.error);
      if (c.error == ERROR_INSUFFICIENT_BUFFER) {
        EXPECT_EQ(size, 4u);
      }
    }
  }
}

TEST(WinHttpRequest, ServerSeesTheRequestAsComposed) {
  HttpServer server(qvtest::Always(Response::Text(200, "ok")));
  struct Case {
    const char* name;
    Options options;
    std::string method, target, body;
    std::vector<std::pair<std::string, std::optional<std::string>>> headers;  // nullopt: must be absent
  };
  Options get = To(server, u"/client-data/12/x.xml?a=1");
  get.headers = {u"Connection: Keep-Alive", u"If-Modified-Since: Wed, 21 Oct 2015 07:28:00 GMT"};
  get.send_headers = u"Accept-Encoding: gzip";
  get.server_basic = std::make_pair(u"1", u"s3cret");
  Options spaced = To(server, u"/a b/\u00e9t\u00e9");
  spaced.accept_any = false;
  Options post = To(server, u"/post");
  post.verb = u"POST";
  post.accept_any = false;
  post.user_agent = u"QuarvelAgent";
  post.body = "name=value&x=1";
  Options upload = To(server, u"/upload");
  upload.verb = u"POST";
  upload.send_headers = u"Content-type: multipart/form-data; filesize=\"11\"";
  upload.blocks = {"hello", " ", "world"};
  Options headOnly = To(server, u"/file.msi");
  headOnly.verb = u"HEAD";
  headOnly.headers = {u"Range: bytes=10-20", u"Connection: close"};
  Options emptyPost = To(server, u"/empty");
  emptyPost.verb = u"POST";

  std::vector<Case> cases = {
      {"get",
       get,
       "GET",
       "/client-data/12/x.xml?a=1",
       "",
       {{"Host", "127.0.0.1:" + std::to_string(server.port())},
        {"User-Agent", "Quarvel Agent"},
        {"Accept", "*/*"},
        {"Connection", "Keep-Alive"},
        {"If-Modified-Since", "Wed, 21 Oct 2015 07:28:00 GMT"},
        {"Accept-Encoding", "gzip"},
        {"Authorization", "Basic " + qvtest::Base64("1:s3cret")},
        {"Content-Length", std::nullopt}}},
      {"escaped path", spaced, "GET", "/a%20b/%C3%A9t%C3%A9", "", {{"Accept", std::nullopt}}},
      {"post",
       post,
       "POST",
       "/post",
       "name=value&x=1",
       {{"Content-Length", "14"},
        {"User-Agent", "QuarvelAgent"},
        {"Content-Type", std::nullopt},
        {"Expect", std::nullopt},
        {"Accept", std::nullopt},
        {"Authorization", std::nullopt}}},
      {"upload in blocks",
       upload,
       "POST",
       "/upload",
       "hello world",
       {{"Content-Length", "11"}, {"Content-type", "multipart/form-data; filesize=\"11\""}}},
      {"head", headOnly, "HEAD", "/file.msi", "", {{"Range", "bytes=10-20"}, {"Connection", "close"}}},
      {"empty post", emptyPost, "POST", "/empty", "", {{"Content-Length", "0"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    size_t before = server.requests().size();
    auto out = Fetch(c.options);
    ASSERT_EQ(out.send_error, 0u);
    ASSERT_EQ(out.receive_error, 0u);
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), before + 1);
    const ReceivedRequest& seen = requests.back();
    EXPECT_EQ(seen.method, c.method);
    EXPECT_EQ(seen.target, c.target);
    EXPECT_EQ(seen.version, "HTTP/1.1");
    EXPECT_TRUE(seen.body == c.body);
    for (const auto& [name, value] : c.headers) EXPECT_EQ(seen.Header(name), value) << name << "\n" << seen.head;
  }
}

TEST(WinHttpRequest, ResendOnTheSameHandleReusesAKeptConnection) {
  struct Case {
    const char* name;
    std::u16string connection_header;
    size_t connections;
  };
  std::vector<Case> cases = {{"keep-alive", u"Connection: Keep-Alive", 1}, {"close", u"Connection: close", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpServer server(qvtest::Always(Response::Text(200, "again")));
    Options o = To(server);
    o.headers = {c.connection_header};
    Client client(o);
    for (int i = 0; i < 3; ++i) {
      auto out = client.Run();
      EXPECT_EQ(out.read_error, 0u);
      EXPECT_EQ(out.body, "again");
    }
    EXPECT_EQ(server.connections(), c.connections);
  }
}

TEST(WinHttpRequest, RedirectsFollowWinHttpPolicy) {
  HttpServer target(qvtest::ServeResource({"final body", "", false}));
  auto redirect = [&](int status, std::string location) {
    Response r = Response::Text(status, "moved");
    r.headers.emplace_back("Location", std::move(location));
    return r;
  };
  HttpServer origin([&](const ReceivedRequest& req) {
    if (req.target == "/301") return redirect(301, "/final");
    if (req.target == "/302-absolute") return redirect(302, target.BaseUrl() + "/x");
    if (req.target == "/303") return redirect(303, "/final");
    if (req.target == "/307") return redirect(307, "/final");
    if (req.target == "/loop") return redirect(302, "/loop");
    if (req.target == "/ftp") return redirect(302, "ftp://127.0.0.1/file");
    return Response::Text(200, req.method + " " + req.target + " " + req.body);
  });
  struct Case {
    const char* name;
    std::u16string verb, path;
    std::optional<DWORD> policy;
    DWORD receive_error;
    DWORD status;
    std::string body;
  };
  std::vector<Case> cases = {
      {"301 relative", u"GET", u"/301", std::nullopt, 0, 200, "GET /final "},
      {"302 to another server", u"GET", u"/302-absolute", std::nullopt, 0, 200, "final body"},
      {"303 turns POST into GET", u"POST", u"/303", std::nullopt, 0, 200, "GET /final "},
      {"307 keeps POST and body", u"POST", u"/307", std::nullopt, 0, 200, "POST /final data"},
      {"policy never", u"GET", u"/301", WINHTTP_OPTION_REDIRECT_POLICY_NEVER, 0, 301, "moved"},
      {"endless", u"GET", u"/loop", std::nullopt, ERROR_WINHTTP_REDIRECT_FAILED, 0, ""},
      {"other scheme", u"GET", u"/ftp", std::nullopt, ERROR_WINHTTP_REDIRECT_FAILED, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options o = To(origin, c.path);
    o.verb = c.verb;
    if (c.verb == u"POST") o.body = "data";
    o.redirect_policy = c.policy;
    auto out = Fetch(o);
    EXPECT_EQ(out.receive_error, c.receive_error);
    EXPECT_EQ(out.status, c.status);
    EXPECT_EQ(out.body, c.body);
  }
}

TEST(WinHttpRequest, CallsOutOfOrderFailWithIncorrectState) {
  HttpServer server(qvtest::Always(Response::Text(200, "x")));
  Options o = To(server);
  o.verb = u"POST";
  Client client(o);
  HINTERNET h = client.request();
  DWORD n = 0, size = 0;
  char buffer[8];
  auto expectState = [&](const char* what, BOOL ok) {
    EXPECT_FALSE(ok) << what;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINHTTP_INCORRECT_HANDLE_STATE)) << what;
  };
  expectState("receive before send", WinHttpReceiveResponse(h, nullptr));
  expectState("headers before send", WinHttpQueryHeaders(h, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr, &size,
                                                         nullptr));
  expectState("available before send", WinHttpQueryDataAvailable(h, &n));
  expectState("write before send", WinHttpWriteData(h, "ab", 2, &n));
  ASSERT_TRUE(WinHttpSendRequest(h, nullptr, 0, nullptr, 0, 4, 0));
  expectState("receive with body outstanding", WinHttpReceiveResponse(h, nullptr));
  expectState("read before receive", WinHttpReadData(h, buffer, sizeof buffer, &n));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(WinHttpWriteData(h, "abcde", 5, &n));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ASSERT_TRUE(WinHttpWriteData(h, "abcd", 4, &n));
  EXPECT_EQ(n, 4u);
  expectState("write beyond the total", WinHttpWriteData(h, "x", 1, &n));
  ASSERT_TRUE(WinHttpReceiveResponse(h, nullptr));
  expectState("receive twice", WinHttpReceiveResponse(h, nullptr));
  EXPECT_EQ(server.requests().back().body, "abcd");
}

TEST(WinHttpRequest, BadHandlesAndArguments) {
  winhttp_test::Handle session(WinHttpOpen(u"agent", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0));
  ASSERT_NE(session.get(), nullptr);
  winhttp_test::Handle connect(WinHttpConnect(session.get(), u"127.0.0.1", 1, 0));
  ASSERT_NE(connect.get(), nullptr);
  winhttp_test::Handle request(WinHttpOpenRequest(connect.get(), u"GET", u"/", nullptr, nullptr, nullptr, 0));
  ASSERT_NE(request.get(), nullptr);
  HINTERNET closed = WinHttpOpen(u"agent", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
  ASSERT_TRUE(WinHttpCloseHandle(closed));
  DWORD flags = 0x3300, size = sizeof flags, n = 0;

  struct Case {
    const char* name;
    std::function<BOOL()> call;
    DWORD error;
  };
  std::vector<Case> cases = {
      {"close null", [] { return WinHttpCloseHandle(nullptr); }, ERROR_INVALID_HANDLE},
      {"close twice", [&] { return WinHttpCloseHandle(closed); }, ERROR_INVALID_HANDLE},
      {"close a kernel-less value", [] { return WinHttpCloseHandle(reinterpret_cast<HINTERNET>(0x7ff0)); },
       ERROR_INVALID_HANDLE},
      {"connect on a request", [&] { return WinHttpConnect(request.get(), u"x", 80, 0) != nullptr; },
       ERROR_WINHTTP_INCORRECT_HANDLE_TYPE},
      {"open request on a session",
       [&] { return WinHttpOpenRequest(session.get(), u"GET", u"/", nullptr, nullptr, nullptr, 0) != nullptr; },
       ERROR_WINHTTP_INCORRECT_HANDLE_TYPE},
      {"send on a connection", [&] { return WinHttpSendRequest(connect.get(), nullptr, 0, nullptr, 0, 0, 0); },
       ERROR_WINHTTP_INCORRECT_HANDLE_TYPE},
      {"read on a closed handle", [&] { return WinHttpReadData(closed, &n, 4, &n); }, ERROR_INVALID_HANDLE},
      {"total shorter than optional",
       [&] { return WinHttpSendRequest(request.get(), nullptr, 0, const_cast<char*>("abc"), 3, 2, 0); },
       ERROR_INVALID_PARAMETER},
      {"named proxy without name",
       [] { return WinHttpOpen(u"a", WINHTTP_ACCESS_TYPE_NAMED_PROXY, nullptr, nullptr, 0) != nullptr; },
       ERROR_INVALID_PARAMETER},
      {"unknown access type", [] { return WinHttpOpen(u"a", 2, nullptr, nullptr, 0) != nullptr; },
       ERROR_INVALID_PARAMETER},
      {"connect without host", [&] { return WinHttpConnect(session.get(), u"", 80, 0) != nullptr; },
       ERROR_INVALID_PARAMETER},
      {"security flags on a session",
       [&] { return WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags); },
       ERROR_WINHTTP_INCORRECT_HANDLE_TYPE},
      {"protocols on a request",
       [&] { return WinHttpSetOption(request.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &flags, sizeof flags); },
       ERROR_WINHTTP_INCORRECT_HANDLE_TYPE},
      {"unknown protocol bits",
       [&] {
         DWORD bits = 0x40000;
         return WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &bits, sizeof bits);
       },
       ERROR_INVALID_PARAMETER},
      {"unknown option", [&] { return WinHttpSetOption(request.get(), 9999, &flags, sizeof flags); },
       ERROR_WINHTTP_INVALID_OPTION},
      {"option too short", [&] { return WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &flags, 2); },
       ERROR_INSUFFICIENT_BUFFER},
      {"query flags without buffer",
       [&] { return WinHttpQueryOption(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, nullptr, &size); },
       ERROR_INSUFFICIENT_BUFFER},
      {"digest credentials",
       [&] {
         return WinHttpSetCredentials(request.get(), WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_DIGEST, u"u",
                                      u"p", nullptr);
       },
       ERROR_INVALID_PARAMETER},
      {"header without colon",
       [&] { return WinHttpAddRequestHeaders(request.get(), u"NoColon", static_cast<DWORD>(-1), 0x20000000); },
       ERROR_WINHTTP_INVALID_HEADER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(c.call());
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(size, 4u);  // the size query above answered the size needed

  ASSERT_TRUE(WinHttpSetOption(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags));
  DWORD read = 0;
  size = sizeof read;
  ASSERT_TRUE(WinHttpQueryOption(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, &read, &size));
  EXPECT_EQ(read, 0x3300u);
}

}  // namespace
