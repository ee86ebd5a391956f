#include <curl/curl.h>

#include <algorithm>
#include <memory>

#include "kernel32/errors.h"
#include "winhttp/internet_handles.h"
#include "winhttp/winhttp.h"

namespace qvplatform::winhttp {

namespace {

struct UrlParts {
  std::string url, scheme, host;
  unsigned port = 0;
};

std::optional<UrlParts> ParseUrl(const std::string& base, const std::string& relative = {}) {
  std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> u(curl_url(), &curl_url_cleanup);
  if (!u || curl_url_set(u.get(), CURLUPART_URL, base.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
    return std::nullopt;
  if (!relative.empty() &&
      curl_url_set(u.get(), CURLUPART_URL, relative.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
    return std::nullopt;
  auto get = [&](CURLUPart part, unsigned flags) -> std::optional<std::string> {
    char* value = nullptr;
    if (curl_url_get(u.get(), part, &value, flags) != CURLUE_OK || !value) return std::nullopt;
    std::string text(value);
    curl_free(value);
    return text;
  };
  UrlParts parts;
  auto url = get(CURLUPART_URL, 0), scheme = get(CURLUPART_SCHEME, 0), host = get(CURLUPART_HOST, 0),
       port = get(CURLUPART_PORT, CURLU_DEFAULT_PORT);
  if (!url || !scheme || !host) return std::nullopt;
  parts.url = *url;
  parts.scheme = *scheme;
  parts.host = *host;
  if (parts.host.size() > 2 && parts.host.front() == '[') parts.host = parts.host.substr(1, parts.host.size() - 2);
  parts.port = port ? static_cast<unsigned>(std::stoul(*port)) : 0;
  return parts;
}

std::vector<std::string> SplitHeaderLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!TrimBlanks(line).empty()) lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

std::string_view HeaderName(std::string_view line) {
  return TrimBlanks(line.substr(0, line.find(':')));
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Result of Redirect() that keeps the 30x answer as the response.
constexpr DWORD kKeepAnswer = 0xFFFFFFFF;

}  // namespace

void Request::OnClose() {
  transfer.Cancel();
  std::lock_guard lock(mutex);
  transfer.Shutdown();
}

DWORD Request::AddHeaders(std::string_view text, DWORD modifiers) {
  auto lines = SplitHeaderLines(text);
  if (lines.empty()) return ERROR_INVALID_PARAMETER;
  for (const std::string& line : lines) {
    size_t colon = line.find(':');
    if (colon == std::string::npos || HeaderName(line).empty()) return ERROR_WINHTTP_INVALID_HEADER;
  }
  for (const std::string& line : lines) {
    std::string_view name = HeaderName(line);
    std::string_view value = TrimBlanks(std::string_view(line).substr(line.find(':') + 1));
    auto existing = std::find_if(headers.begin(), headers.end(),
                                 [&](const std::string& h) { return EqualsNoCase(HeaderName(h), name); });
    if (modifiers & WINHTTP_ADDREQ_FLAG_REPLACE) {
      std::erase_if(headers, [&](const std::string& h) { return EqualsNoCase(HeaderName(h), name); });
      if (!value.empty()) headers.push_back(std::string(name) + ": " + std::string(value));
    } else if (modifiers & WINHTTP_ADDREQ_FLAG_ADD_IF_NEW) {
      if (existing != headers.end()) return ERROR_WINHTTP_HEADER_ALREADY_EXISTS;
      headers.push_back(std::string(name) + ": " + std::string(value));
    } else if (modifiers & (WINHTTP_ADDREQ_FLAG_COALESCE_WITH_COMMA | WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON)) {
      if (existing == headers.end()) {
        headers.push_back(std::string(name) + ": " + std::string(value));
      } else {
        *existing += (modifiers & WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON) ? "; " : ", ";
        *existing += std::string(value);
      }
    } else {
      headers.push_back(std::string(name) + ": " + std::string(value));
    }
  }
  return 0;
}

TransferSpec Request::MakeSpec(const std::string& url, const std::string& method, bool sendBody,
                               uint64_t totalLength, std::string_view extraHeaders) const {
  const Session& session = *connection->session;
  TransferSpec spec;
  spec.url = url;
  spec.method = method;
  spec.http10 = http10;
  spec.headers = headers;
  for (std::string& line : SplitHeaderLines(extraHeaders)) spec.headers.push_back(std::move(line));
  spec.user_agent = session.user_agent;
  if (auto parts = ParseUrl(url)) {
    spec.proxy = session.proxy.ProxyFor(parts->scheme, parts->host, parts->port);
    spec.tunnel = spec.proxy && parts->scheme == "https";
    spec.connect_host = parts->host;
    spec.connect_port = parts->port;
    if (spec.proxy) {
      if (auto proxy = ParseUrl(*spec.proxy)) {
        spec.connect_host = proxy->host;
        spec.connect_port = proxy->port;
      }
    }
  }
  spec.proxy_user = proxy_user;
  spec.proxy_password = proxy_password;
  spec.server_user = server_user;
  spec.server_password = server_password;
  spec.send_body = sendBody;
  spec.total_length = totalLength;
  spec.connect_timeout_ms = timeouts.connect_ms;
  spec.send_timeout_ms = timeouts.send_ms;
  spec.receive_timeout_ms = timeouts.receive_ms;
  spec.tls.security_flags = security_flags;
  spec.tls.secure_protocols = session.secure_protocols ? session.secure_protocols : DefaultSecureProtocols();
  return spec;
}

DWORD Request::Send(std::string_view extraHeaders, const void* optional, DWORD optionalLength,
                    DWORD totalLength) {
  const Connection& conn = *connection;
  unsigned port = conn.port ? conn.port : (secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
  std::string host = conn.host.find(':') != std::string::npos ? "[" + conn.host + "]" : conn.host;
  url_ = std::string(secure ? "https" : "http") + "://" + host + ":" + std::to_string(port) + path;
  method_ = verb;
  send_body_ = verb != "HEAD" && (verb == "POST" || totalLength > 0);
  total_length_ = send_body_ ? totalLength : 0;
  extra_headers_ = std::string(extraHeaders);
  replay_body_.assign(static_cast<const char*>(optional), optional ? optionalLength : 0);
  replayable_ = replay_body_.size() == total_length_;
  state = State::kOpen;
  DWORD error = transfer.Start(MakeSpec(url_, method_, send_body_, total_length_, extra_headers_), optional,
                               optional ? optionalLength : 0);
  if (error == 0) state = State::kSent;
  return error;
}

DWORD Request::Write(const void* data, DWORD size) {
  if (state != State::kSent || transfer.BodyBytesOutstanding() == 0) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  if (size > transfer.BodyBytesOutstanding()) return ERROR_INVALID_PARAMETER;
  DWORD error = transfer.Write(data, size);
  if (error != 0) state = State::kOpen;
  return error;
}

DWORD Request::Redirect(const std::string& location) {
  int status = transfer.head().status();
  auto current = ParseUrl(url_);
  auto next = ParseUrl(url_, location);
  if (!current || !next) return kKeepAnswer;
  if (next->scheme != "http" && next->scheme != "https") return ERROR_WINHTTP_REDIRECT_FAILED;
  if (redirect_policy == WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP && current->scheme == "https" &&
      next->scheme == "http")
    return kKeepAnswer;
  std::string method = method_;
  bool sendBody = send_body_;
  if ((status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST")) {
    method = "GET";
    sendBody = false;
  }
  if (sendBody && !replayable_) return kKeepAnswer;  // the body went out through WinHttpWriteData
  DWORD error = transfer.Start(MakeSpec(next->url, method, sendBody, sendBody ? total_length_ : 0, extra_headers_),
                               sendBody ? replay_body_.data() : nullptr, sendBody ? replay_body_.size() : 0);
  if (error != 0) return error;
  url_ = next->url;
  method_ = method;
  send_body_ = sendBody;
  return 0;
}

DWORD Request::Receive() {
  if (state != State::kSent || transfer.BodyBytesOutstanding() > 0) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  for (DWORD redirects = 0;; ++redirects) {
    DWORD error = transfer.AwaitHead();
    if (error != 0) {
      state = State::kOpen;
      return error;
    }
    const ResponseHead& head = transfer.head();
    if (!IsRedirect(head.status()) || redirect_policy == WINHTTP_OPTION_REDIRECT_POLICY_NEVER) break;
    auto location = head.Find("Location");
    if (!location || location->empty()) break;
    if (redirects >= max_redirects) {
      state = State::kOpen;
      return ERROR_WINHTTP_REDIRECT_FAILED;
    }
    error = Redirect(*location);
    if (error == kKeepAnswer) break;
    if (error != 0) {
      state = State::kOpen;
      return error;
    }
  }
  state = State::kResponse;
  return 0;
}

DWORD Request::Available(size_t* available) {
  if (state != State::kResponse) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  return transfer.WaitForBody(available);
}

}  // namespace qvplatform::winhttp
