#include "winhttp/transfer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

#include "kernel32/errors.h"
#include "winhttp/curl_errors.h"
#include "winhttp/winhttp.h"

namespace qvplatform::winhttp {

namespace {

constexpr DWORD kInfinite = 0xFFFFFFFF;
constexpr long kReadBufferBytes = 128 * 1024;

bool HasHeader(const std::vector<std::string>& headers, std::string_view name) {
  for (const std::string& line : headers) {
    size_t colon = line.find(':');
    if (colon != std::string::npos && EqualsNoCase(TrimBlanks(std::string_view(line).substr(0, colon)), name))
      return true;
  }
  return false;
}

long TimeoutForCurl(DWORD ms) { return ms == kInfinite || ms == 0 ? LONG_MAX / 2 : static_cast<long>(ms); }

}  // namespace

Transfer::Transfer() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  multi_ = curl_multi_init();
  easy_ = curl_easy_init();
  window_.reserve(kWindowBytes + kReadBufferBytes);
}

Transfer::~Transfer() {
  if (attached_) curl_multi_remove_handle(multi_, easy_);
  if (easy_) curl_easy_cleanup(easy_);
  if (header_list_) curl_slist_free_all(header_list_);
  if (resolve_list_) curl_slist_free_all(resolve_list_);
  if (multi_) curl_multi_cleanup(multi_);  // closes every connection this transfer opened
}

void Transfer::Configure() {
  curl_easy_reset(easy_);
  if (header_list_) {
    curl_slist_free_all(header_list_);
    header_list_ = nullptr;
  }
  CURL* e = easy_;
  curl_easy_setopt(e, CURLOPT_URL, spec_.url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION, spec_.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(e, CURLOPT_HTTP_CONTENT_DECODING, 0L);  // bodies are handed over as sent
  curl_easy_setopt(e, CURLOPT_HTTP_TRANSFER_DECODING, 1L);
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReadBufferBytes);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, TimeoutForCurl(spec_.connect_timeout_ms));

  if (spec_.method == "HEAD") {
    curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
  } else if (spec_.send_body) {
    curl_easy_setopt(e, CURLOPT_POST, 1L);
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(spec_.total_length));
    curl_easy_setopt(e, CURLOPT_READFUNCTION, &Transfer::OnRead);
    curl_easy_setopt(e, CURLOPT_READDATA, this);
    if (spec_.method != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, spec_.method.c_str());
  } else {
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    if (spec_.method != "GET") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, spec_.method.c_str());
  }

  for (const std::string& line : spec_.headers) header_list_ = curl_slist_append(header_list_, line.c_str());
  // libcurl's own defaults that the request would not carry otherwise.
  if (!HasHeader(spec_.headers, "Accept")) header_list_ = curl_slist_append(header_list_, "Accept:");
  if (!HasHeader(spec_.headers, "Expect")) header_list_ = curl_slist_append(header_list_, "Expect:");
  if (spec_.proxy && !spec_.tunnel && !HasHeader(spec_.headers, "Proxy-Connection"))
    header_list_ = curl_slist_append(header_list_, "Proxy-Connection:");
  if (spec_.send_body && !HasHeader(spec_.headers, "Content-Type"))
    header_list_ = curl_slist_append(header_list_, "Content-Type:");
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, header_list_);
  if (spec_.user_agent) curl_easy_setopt(e, CURLOPT_USERAGENT, spec_.user_agent->c_str());

  if (spec_.proxy) {
    curl_easy_setopt(e, CURLOPT_PROXY, spec_.proxy->c_str());
    curl_easy_setopt(e, CURLOPT_NOPROXY, "");
    curl_easy_setopt(e, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    curl_easy_setopt(e, CURLOPT_HTTPPROXYTUNNEL, spec_.tunnel ? 1L : 0L);
    if (spec_.proxy_user) {
      curl_easy_setopt(e, CURLOPT_PROXYUSERNAME, spec_.proxy_user->c_str());
      curl_easy_setopt(e, CURLOPT_PROXYPASSWORD, spec_.proxy_password ? spec_.proxy_password->c_str() : "");
      curl_easy_setopt(e, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    }
  } else {
    curl_easy_setopt(e, CURLOPT_PROXY, "");  // no proxy from the environment either
  }
  if (spec_.server_user) {
    curl_easy_setopt(e, CURLOPT_USERNAME, spec_.server_user->c_str());
    curl_easy_setopt(e, CURLOPT_PASSWORD, spec_.server_password ? spec_.server_password->c_str() : "");
    curl_easy_setopt(e, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
  }
  if (spec_.url.rfind("https:", 0) == 0) ApplyTlsPolicy(e, &spec_.tls);

  if (resolve_list_) curl_easy_setopt(e, CURLOPT_RESOLVE, resolve_list_);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &Transfer::OnPrereq);
  curl_easy_setopt(e, CURLOPT_PREREQDATA, this);
}

DWORD Transfer::Start(const TransferSpec& spec, const void* firstBody, size_t firstBodySize) {
  if (!multi_ || !easy_) return ERROR_NOT_ENOUGH_MEMORY;
  Abort(0);
  spec_ = spec;
  prereq_done_ = finished_ = recv_paused_ = send_paused_ = false;
  result_ = CURLE_OK;
  failure_ = 0;
  out_data_ = static_cast<const char*>(firstBody);
  out_size_ = firstBody ? firstBodySize : 0;
  out_pos_ = 0;
  body_sent_ = 0;
  block_.clear();
  tunnel_established_ = head_done_ = head_from_proxy_ = false;
  head_ = ResponseHead();
  window_.clear();
  window_pos_ = 0;

  if (DWORD error = Resolve()) {
    finished_ = true;
    failure_ = error;
    return error;
  }
  Configure();
  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return ERROR_WINHTTP_INTERNAL_ERROR;
  attached_ = true;
  DWORD error = Drive([this] { return prereq_done_ && (!spec_.send_body || out_pos_ == out_size_); },
                      spec_.send_timeout_ms, true);
  out_data_ = nullptr;
  out_size_ = out_pos_ = 0;
  if (error == 0 && finished_ && !head_done_ && result_ != CURLE_OK) error = CurlCodeToWinHttp(result_);
  if (error != 0) Abort(error);
  return error;
}

DWORD Transfer::Resolve() {
  if (resolve_list_) {
    curl_slist_free_all(resolve_list_);
    resolve_list_ = nullptr;
  }
  const std::string& host = spec_.connect_host;
  if (host.empty()) return 0;
  unsigned char probe[sizeof(in6_addr)];
  if (inet_pton(AF_INET, host.c_str(), probe) == 1 || inet_pton(AF_INET6, host.c_str(), probe) == 1) return 0;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return ERROR_WINHTTP_NAME_NOT_RESOLVED;
  std::string addresses;
  for (addrinfo* a = list; a; a = a->ai_next) {
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw = a->ai_family == AF_INET ? static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr)
                                              : static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(a->ai_addr)->sin6_addr);
    if (!inet_ntop(a->ai_family, raw, text, sizeof text)) continue;
    std::string entry = a->ai_family == AF_INET6 ? "[" + std::string(text) + "]" : std::string(text);
    if (addresses.find(entry) != std::string::npos) continue;
    if (!addresses.empty()) addresses += ',';
    addresses += entry;
  }
  freeaddrinfo(list);
  if (addresses.empty()) return ERROR_WINHTTP_NAME_NOT_RESOLVED;
  std::string line = host + ":" + std::to_string(spec_.connect_port) + ":" + addresses;
  resolve_list_ = curl_slist_append(nullptr, line.c_str());
  return 0;
}

DWORD Transfer::Write(const void* data, size_t size) {
  if (failure_) return failure_;
  if (!multi_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  if (finished_ && result_ != CURLE_OK) return CurlCodeToWinHttp(result_);
  if (!attached_ || finished_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  out_data_ = static_cast<const char*>(data);
  out_size_ = size;
  out_pos_ = 0;
  Resume(true, false);
  DWORD error = Drive([this] { return out_pos_ == out_size_; }, spec_.send_timeout_ms, false);
  bool sent = out_pos_ == out_size_;
  out_data_ = nullptr;
  out_size_ = out_pos_ = 0;
  if (error == 0 && !sent) error = result_ != CURLE_OK ? CurlCodeToWinHttp(result_) : ERROR_WINHTTP_CONNECTION_ERROR;
  if (error != 0) Abort(error);
  return error;
}

DWORD Transfer::AwaitHead() {
  if (head_done_) return 0;
  if (failure_) return failure_;
  if (!attached_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
  if (recv_paused_) Resume(false, true);
  DWORD error = Drive([this] { return head_done_; }, spec_.receive_timeout_ms, false);
  if (error == 0 && !head_done_)
    error = result_ != CURLE_OK ? CurlCodeToWinHttp(result_) : ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
  if (error != 0) Abort(error);
  return error;
}

DWORD Transfer::WaitForBody(size_t* available) {
  *available = Buffered();
  if (*available > 0) return 0;
  if (failure_) return failure_;
  if (!finished_) {
    if (!attached_) return ERROR_WINHTTP_INCORRECT_HANDLE_STATE;
    if (recv_paused_) Resume(false, true);
    DWORD error = Drive([this] { return Buffered() > 0; }, spec_.receive_timeout_ms, false);
    if (error != 0) {
      Abort(error);
      return error;
    }
    *available = Buffered();
    if (*available > 0) return 0;
  }
  // The body has ended; a proxy's refusal of the tunnel carries no body of its own.
  if (result_ == CURLE_OK || head_from_proxy_) return 0;
  failure_ = CurlCodeToWinHttp(result_);
  return failure_;
}

size_t Transfer::Read(void* out, size_t size) {
  size_t n = std::min(size, Buffered());
  if (n == 0) return 0;
  std::memcpy(out, window_.data() + window_pos_, n);
  window_pos_ += n;
  if (window_pos_ == window_.size()) {
    window_.clear();
    window_pos_ = 0;
  }
  return n;
}

void Transfer::Abort(DWORD failure) {
  if (attached_) {
    curl_multi_remove_handle(multi_, easy_);  // drops the connection when the exchange was unfinished
    attached_ = false;
  }
  if (!finished_ && failure != 0) failure_ = failure;
  finished_ = true;
}

void Transfer::Shutdown() {
  Abort(ERROR_WINHTTP_OPERATION_CANCELLED);
  if (easy_) curl_easy_cleanup(easy_);
  if (multi_) curl_multi_cleanup(multi_);
  easy_ = nullptr;
  multi_ = nullptr;
}

void Transfer::Cancel() {
  cancelled_ = true;
  if (multi_) curl_multi_wakeup(multi_);
}

void Transfer::Resume(bool send, bool recv) {
  if (!attached_ || finished_) return;
  if (send) send_paused_ = false;
  if (recv) recv_paused_ = false;
  int mask = (recv_paused_ ? CURLPAUSE_RECV : 0) | (send_paused_ ? CURLPAUSE_SEND : 0);
  curl_easy_pause(easy_, mask);
}

void Transfer::CollectDone() {
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy_) {
      finished_ = true;
      result_ = msg->data.result;
    }
  }
}

template <class Ready>
DWORD Transfer::Drive(Ready ready, DWORD inactivityMs, bool afterPrereqOnly) {
  using std::chrono::milliseconds;
  Touch();
  for (;;) {
    if (cancelled_) return ERROR_WINHTTP_OPERATION_CANCELLED;
    if (ready() || finished_) return 0;
    int running = 0;
    if (curl_multi_perform(multi_, &running) != CURLM_OK) return ERROR_WINHTTP_INTERNAL_ERROR;
    CollectDone();
    if (ready() || finished_) return 0;
    if (cancelled_) return ERROR_WINHTTP_OPERATION_CANCELLED;
    long long waitMs = 1000;
    if (inactivityMs != kInfinite && inactivityMs != 0 && (!afterPrereqOnly || prereq_done_)) {
      auto idle = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - last_activity_);
      if (idle.count() >= static_cast<long long>(inactivityMs)) return ERROR_WINHTTP_TIMEOUT;
      waitMs = std::min<long long>(waitMs, inactivityMs - idle.count());
    }
    if (curl_multi_poll(multi_, nullptr, 0, static_cast<int>(waitMs), nullptr) != CURLM_OK)
      return ERROR_WINHTTP_INTERNAL_ERROR;
  }
}

size_t Transfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<Transfer*>(self);
  size_t n = size * count;
  std::string_view line(data, n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  t->Touch();
  if (line.substr(0, 5) == "HTTP/") {
    t->block_.assign(1, std::string(line));
    return n;
  }
  if (!line.empty()) {
    if (!t->block_.empty()) t->block_.emplace_back(line);
    return n;
  }
  if (t->block_.empty()) return n;
  auto parsed = ResponseHead::Parse(t->block_);
  t->block_.clear();
  if (!parsed) return n;
  int status = parsed->status();
  if (t->spec_.tunnel && !t->tunnel_established_) {
    if (status >= 200 && status < 300) {
      t->tunnel_established_ = true;  // the proxy's answer to CONNECT, not the server's
      return n;
    }
    if (status < 200) return n;
    t->head_ = std::move(*parsed);
    t->head_done_ = true;
    t->head_from_proxy_ = true;
    return n;
  }
  if (status < 200) return n;  // interim answers
  t->head_ = std::move(*parsed);
  t->head_done_ = true;
  return n;
}

size_t Transfer::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<Transfer*>(self);
  size_t n = size * count;
  if (t->Buffered() >= kWindowBytes) {
    t->recv_paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (t->window_pos_ > 0 && t->window_pos_ >= t->window_.size() / 2) {
    t->window_.erase(t->window_.begin(), t->window_.begin() + static_cast<std::ptrdiff_t>(t->window_pos_));
    t->window_pos_ = 0;
  }
  t->window_.insert(t->window_.end(), data, data + n);
  t->Touch();
  return n;
}

size_t Transfer::OnRead(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<Transfer*>(self);
  size_t room = size * count;
  if (t->out_data_ && t->out_pos_ < t->out_size_) {
    size_t n = std::min(room, t->out_size_ - t->out_pos_);
    std::memcpy(data, t->out_data_ + t->out_pos_, n);
    t->out_pos_ += n;
    t->body_sent_ += n;
    t->Touch();
    return n;
  }
  if (t->body_sent_ >= t->spec_.total_length) return 0;
  t->send_paused_ = true;
  return CURL_READFUNC_PAUSE;
}

int Transfer::OnPrereq(void* self, char*, char*, int, int) {
  static_cast<Transfer*>(self)->prereq_done_ = true;
  return CURL_PREREQFUNC_OK;
}

}  // namespace qvplatform::winhttp
