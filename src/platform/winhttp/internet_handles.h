// The objects behind HINTERNET handles: session, connection and request.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kernel32/handles.h"
#include "types.h"
#include "winhttp/proxy_rules.h"
#include "winhttp/transfer.h"

namespace qvplatform::winhttp {

struct Timeouts {
  DWORD resolve_ms = 0;  // not applied: name resolution is part of the connect time-out
  DWORD connect_ms = 60000;
  DWORD send_ms = 30000;
  DWORD receive_ms = 30000;
};

class InternetObject : public KernelObject {
 public:
  virtual DWORD HandleType() const = 0;
  // Options every handle kind accepts; settings for requests opened later are inherited downwards.
  Timeouts timeouts;
  DWORD redirect_policy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
  DWORD max_redirects = 10;
  std::mutex option_mutex;
};

class Session : public InternetObject {
 public:
  DWORD HandleType() const override { return WINHTTP_HANDLE_TYPE_SESSION; }
  std::optional<std::string> user_agent;
  ProxyRules proxy;
  DWORD secure_protocols = 0;  // 0: the defaults
};

class Connection : public InternetObject {
 public:
  DWORD HandleType() const override { return WINHTTP_HANDLE_TYPE_CONNECT; }
  std::shared_ptr<Session> session;
  std::string host;  // UTF-8
  INTERNET_PORT port = 0;
};

class Request : public InternetObject {
 public:
  enum class State { kOpen, kSent, kResponse };

  DWORD HandleType() const override { return WINHTTP_HANDLE_TYPE_REQUEST; }
  void OnClose() override;

  // Each returns 0 or a WinHTTP error code; the caller holds `mutex`.
  DWORD AddHeaders(std::string_view text, DWORD modifiers);
  DWORD Send(std::string_view extraHeaders, const void* optional, DWORD optionalLength, DWORD totalLength);
  DWORD Write(const void* data, DWORD size);
  DWORD Receive();
  DWORD Available(size_t* available);

  std::shared_ptr<Connection> connection;
  std::string verb;
  std::string path;  // escaped object name
  bool secure = false;
  bool http10 = false;
  std::vector<std::string> headers;  // "Name: value"
  DWORD security_flags = 0;
  std::optional<std::string> proxy_user, proxy_password, server_user, server_password;
  State state = State::kOpen;
  Transfer transfer;
  std::mutex mutex;  // one operation at a time; WinHttpCloseHandle waits for it

 private:
  TransferSpec MakeSpec(const std::string& url, const std::string& method, bool sendBody,
                        uint64_t totalLength, std::string_view extraHeaders) const;
  DWORD Redirect(const std::string& location);

  std::string url_;
  std::string method_;
  std::string extra_headers_;
  std::string replay_body_;  // the optional data, sent again on a redirect that keeps the method
  bool replayable_ = false;
  uint64_t total_length_ = 0;
  bool send_body_ = false;
};

}  // namespace qvplatform::winhttp
