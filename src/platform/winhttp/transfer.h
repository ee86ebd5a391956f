// One HTTP exchange driven by libcurl on the caller's thread.
//
// The transfer owns a private multi handle (and so its connections) and one easy handle, reused for
// every exchange of the request handle that owns it. Nothing runs between calls: each call drives
// libcurl only until what it waits for is there (the request sent, a body block taken, the response
// head, some body bytes), the configured inactivity limit passes, or Cancel() is called from another
// thread. Received body bytes wait in a window of bounded size; when it is full, libcurl is paused
// until the caller has read from it.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "types.h"
#include "winhttp/response_head.h"
#include "winhttp/tls_policy.h"
#include "winhttp/winhttp.h"

namespace qvplatform::winhttp {

struct TransferSpec {
  std::string url;
  std::string method = "GET";
  bool http10 = false;
  std::vector<std::string> headers;  // complete "Name: value" lines
  std::optional<std::string> user_agent;
  std::optional<std::string> proxy;  // "http://host:port", or direct
  // The name the connection goes to (the proxy's when there is one); resolved on the caller's thread
  // before libcurl starts, so that no resolver thread is ever involved.
  std::string connect_host;
  unsigned connect_port = 0;
  bool tunnel = false;               // https through the proxy (CONNECT)
  std::optional<std::string> proxy_user, proxy_password;
  std::optional<std::string> server_user, server_password;
  bool send_body = false;  // the request carries a body of total_length bytes
  uint64_t total_length = 0;
  DWORD connect_timeout_ms = 60000;
  DWORD send_timeout_ms = 30000;
  DWORD receive_timeout_ms = 30000;
  TlsPolicy tls;
};

class Transfer {
 public:
  // Bytes of body the window holds before libcurl is paused.
  static constexpr size_t kWindowBytes = 512 * 1024;

  Transfer();
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Starts a new exchange (ending any earlier one) and drives it until the request head and the
  // first `firstBody` bytes of its body have been handed to the connection. 0 or an error code.
  DWORD Start(const TransferSpec& spec, const void* firstBody, size_t firstBodySize);
  // Sends further body bytes; 0 or an error code.
  DWORD Write(const void* data, size_t size);
  uint64_t BodyBytesOutstanding() const { return spec_.send_body ? spec_.total_length - body_sent_ : 0; }
  // Waits for the final response head (1xx answers and the proxy's tunnel answer are skipped).
  DWORD AwaitHead();
  const ResponseHead& head() const { return head_; }
  // Waits until body bytes are in the window or the body has ended; `available` is 0 at the end.
  DWORD WaitForBody(size_t* available);
  // Takes up to `size` bytes from the window.
  size_t Read(void* out, size_t size);
  // Ends the exchange and drops its connection if it was still in use.
  void Abort() { Abort(ERROR_WINHTTP_OPERATION_CANCELLED); }
  // Ends the exchange and closes every connection; the transfer is unusable afterwards.
  void Shutdown();
  // Makes a call blocked in this transfer return ERROR_WINHTTP_OPERATION_CANCELLED. Thread-safe.
  void Cancel();

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static size_t OnRead(char* data, size_t size, size_t count, void* self);
  static int OnPrereq(void* self, char*, char*, int, int);

  template <class Ready>
  DWORD Drive(Ready ready, DWORD inactivityMs, bool afterPrereqOnly);
  void CollectDone();
  void Resume(bool send, bool recv);
  void Abort(DWORD failure);
  void Configure();
  DWORD Resolve();
  size_t Buffered() const { return window_.size() - window_pos_; }
  void Touch() { last_activity_ = std::chrono::steady_clock::now(); }

  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  bool attached_ = false;
  std::atomic<bool> cancelled_{false};
  curl_slist* header_list_ = nullptr;
  curl_slist* resolve_list_ = nullptr;
  TransferSpec spec_;

  bool prereq_done_ = false;
  bool finished_ = false;
  DWORD failure_ = 0;  // why the exchange was ended early (sticky)
  CURLcode result_ = CURLE_OK;
  bool recv_paused_ = false;
  bool send_paused_ = false;
  std::chrono::steady_clock::time_point last_activity_;

  // Request body: the caller's bytes being handed over, and the count sent so far.
  const char* out_data_ = nullptr;
  size_t out_size_ = 0;
  size_t out_pos_ = 0;
  uint64_t body_sent_ = 0;

  // Response head.
  std::vector<std::string> block_;
  bool tunnel_established_ = false;
  bool head_done_ = false;
  bool head_from_proxy_ = false;
  ResponseHead head_;

  // Response body window.
  std::vector<char> window_;
  size_t window_pos_ = 0;
};

}  // namespace qvplatform::winhttp
