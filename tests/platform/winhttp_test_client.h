// A small client over the WinHTTP layer for the tests: opens session, connection and request with
// the options of a case, sends, receives and reads the whole body, recording each step's result.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win32.h"

namespace winhttp_test {

struct HandleCloser {
  void operator()(void* h) const {
    if (h) WinHttpCloseHandle(h);
  }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct Options {
  std::u16string host = u"127.0.0.1";
  INTERNET_PORT port = 0;
  bool secure = false;
  std::u16string verb = u"GET";
  std::u16string path = u"/";
  bool accept_any = true;  // accept types "*/*"
  DWORD access = WINHTTP_ACCESS_TYPE_NO_PROXY;
  std::u16string proxy, bypass;
  std::optional<std::u16string> proxy_user, proxy_password;
  std::optional<std::pair<std::u16string, std::u16string>> server_basic;
  std::vector<std::u16string> headers;  // each added with WINHTTP_ADDREQ_FLAG_ADD
  std::u16string send_headers;          // additional headers of WinHttpSendRequest
  std::string body;                     // optional data of WinHttpSendRequest
  std::vector<std::string> blocks;      // then written with WinHttpWriteData
  DWORD security_flags = 0;
  std::optional<DWORD> protocols;
  std::optional<DWORD> connect_timeout, receive_timeout;
  std::optional<DWORD> redirect_policy;
  std::u16string user_agent = u"Quarvel Agent";
};

struct Outcome {
  DWORD send_error = 0;     // 0: sent
  DWORD receive_error = 0;  // 0: head received
  DWORD read_error = 0;     // 0: body read to its end
  DWORD status = 0;
  std::string body;
  std::u16string raw_headers;
};

inline std::string Narrow(const std::u16string& text) { return qvplatform::Utf16ToUtf8Lossy(text); }

class Client {
 public:
  explicit Client(const Options& o) : options_(o) {
    session_.reset(WinHttpOpen(o.user_agent.c_str(), o.access,
                               o.access == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? o.proxy.c_str() : nullptr,
                               o.access == WINHTTP_ACCESS_TYPE_NAMED_PROXY && !o.bypass.empty() ? o.bypass.c_str()
                                                                                                : nullptr,
                               0));
    if (o.protocols) {
      DWORD p = *o.protocols;
      WinHttpSetOption(session_.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &p, sizeof p);
    }
    connect_.reset(WinHttpConnect(session_.get(), o.host.c_str(), o.port, 0));
    LPCWSTR accept[] = {u"*/*", nullptr};
    request_.reset(WinHttpOpenRequest(connect_.get(), o.verb.c_str(), o.path.c_str(), nullptr, nullptr,
                                      o.accept_any ? accept : nullptr,
                                      WINHTTP_FLAG_BYPASS_PROXY_CACHE | (o.secure ? WINHTTP_FLAG_SECURE : 0)));
    for (const auto& h : o.headers)
      WinHttpAddRequestHeaders(request_.get(), h.c_str(), static_cast<DWORD>(-1), WINHTTP_ADDREQ_FLAG_ADD);
    if (o.security_flags) SetFlags(o.security_flags);
    auto set = [&](DWORD option, std::optional<DWORD> value) {
      if (value) WinHttpSetOption(request_.get(), option, &*value, sizeof(DWORD));
    };
    set(WINHTTP_OPTION_CONNECT_TIMEOUT, o.connect_timeout);
    set(WINHTTP_OPTION_RECEIVE_TIMEOUT, o.receive_timeout);
    set(WINHTTP_OPTION_REDIRECT_POLICY, o.redirect_policy);
    if (o.proxy_user)
      WinHttpSetOption(request_.get(), WINHTTP_OPTION_PROXY_USERNAME, const_cast<char16_t*>(o.proxy_user->c_str()),
                       static_cast<DWORD>(o.proxy_user->size()));
    if (o.proxy_password)
      WinHttpSetOption(request_.get(), WINHTTP_OPTION_PROXY_PASSWORD,
                       const_cast<char16_t*>(o.proxy_password->c_str()),
                       static_cast<DWORD>(o.proxy_password->size()));
    if (o.server_basic)
      WinHttpSetCredentials(request_.get(), WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                            o.server_basic->first.c_str(), o.server_basic->second.c_str(), nullptr);
  }

  HINTERNET request() const { return request_.get(); }
  HINTERNET session() const { return session_.get(); }
  void SetFlags(DWORD flags) {
    WinHttpSetOption(request_.get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
  }

  // Sends (with the blocks), receives the head and reads the whole body.
  Outcome Run() {
    Outcome out;
    if (!Send(&out)) return out;
    if (!WinHttpReceiveResponse(request_.get(), nullptr)) {
      out.receive_error = GetLastError();
      return out;
    }
    DWORD size = sizeof out.status;
    WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &out.status,
                        &size, nullptr);
    DWORD bytes = 0;
    WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr, &bytes, nullptr);
    out.raw_headers.resize(bytes / 2);
    if (WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, out.raw_headers.data(), &bytes,
                            nullptr))
      out.raw_headers.resize(bytes / 2);
    out.read_error = ReadAll(&out.body);
    return out;
  }

  bool Send(Outcome* out) {
    const Options& o = options_;
    DWORD total = static_cast<DWORD>(o.body.size());
    for (const auto& b : o.blocks) total += static_cast<DWORD>(b.size());
    if (!WinHttpSendRequest(request_.get(), o.send_headers.empty() ? nullptr : o.send_headers.c_str(),
                            o.send_headers.empty() ? 0 : static_cast<DWORD>(-1),
                            o.body.empty() ? nullptr : const_cast<char*>(o.body.data()),
                            static_cast<DWORD>(o.body.size()), total, 0)) {
      out->send_error = GetLastError();
      return false;
    }
    for (const auto& b : o.blocks) {
      DWORD written = 0;
      if (!WinHttpWriteData(request_.get(), b.data(), static_cast<DWORD>(b.size()), &written)) {
        out->send_error = GetLastError();
        return false;
      }
    }
    return true;
  }

  // Reads the body the way the download engines do; 0 or the failing call's error.
  DWORD ReadAll(std::string* body) {
    for (;;) {
      DWORD available = 0;
      if (!WinHttpQueryDataAvailable(request_.get(), &available)) return GetLastError();
      if (available == 0) return 0;
      std::string piece(available, '\0');
      DWORD read = 0;
      if (!WinHttpReadData(request_.get(), piece.data(), available, &read)) return GetLastError();
      body->append(piece, 0, read);
      if (read == 0) return 0;
    }
  }

 private:
  Options options_;
  Handle session_, connect_, request_;
};

inline Outcome Fetch(const Options& o) { return Client(o).Run(); }

}  // namespace winhttp_test
