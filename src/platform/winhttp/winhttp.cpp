#include "winhttp/winhttp.h"

#include <cstring>

#include "kernel32/conversions.h"
#include "kernel32/errors.h"
#include "kernel32/handles.h"
#include "winhttp/header_query.h"
#include "winhttp/internet_handles.h"

using qvplatform::winhttp::Connection;
using qvplatform::winhttp::InternetObject;
using qvplatform::winhttp::Request;
using qvplatform::winhttp::Session;

namespace {

constexpr DWORD kNulTerminated = 0xFFFFFFFF;

BOOL Fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

BOOL Succeed() {
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// The object behind a WinHTTP handle when it is a T; else null with 6 (not a WinHTTP handle) or
// 12018 (a WinHTTP handle of another kind) as the last error.
template <class T>
std::shared_ptr<T> Lookup(HINTERNET handle) {
  auto object = std::dynamic_pointer_cast<InternetObject>(qvplatform::LookupObject(handle));
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto typed = std::dynamic_pointer_cast<T>(object);
  if (!typed) SetLastError(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
  return typed;
}

// A wide text of `length` characters (kNulTerminated: up to its terminator) as UTF-8.
std::optional<std::string> Narrow(LPCWSTR text, DWORD length = kNulTerminated) {
  if (!text) return std::nullopt;
  size_t count = length == kNulTerminated ? qvplatform::WideLength(text) : length;
  return qvplatform::Utf16ToUtf8(std::u16string_view(text, count));
}

// The object name as it goes on the request line: a leading '/', blanks, controls and bytes beyond
// ASCII percent-escaped (non-ASCII characters as their UTF-8 bytes).
std::string EscapePath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  if (path.empty() || (path.front() != '/' && path != "*")) out.push_back('/');
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F) {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

bool ReadDword(LPVOID buffer, DWORD length, DWORD* value, DWORD* error) {
  if (!buffer) {
    *error = ERROR_INVALID_PARAMETER;
    return false;
  }
  if (length < sizeof(DWORD)) {
    *error = ERROR_INSUFFICIENT_BUFFER;
    return false;
  }
  std::memcpy(value, buffer, sizeof(DWORD));
  return true;
}

// A new handle starts with the options its parent has now.
void InheritOptions(InternetObject& parent, InternetObject& child) {
  std::lock_guard lock(parent.option_mutex);
  child.timeouts = parent.timeouts;
  child.redirect_policy = parent.redirect_policy;
  child.max_redirects = parent.max_redirects;
}

// Time-out values: -1 (and 0) wait without limit; other negative values are refused.
bool ValidTimeout(int value) { return value >= -1; }
DWORD TimeoutValue(int value) { return value <= 0 ? 0xFFFFFFFF : static_cast<DWORD>(value); }

constexpr DWORD kKnownProtocols = WINHTTP_FLAG_SECURE_PROTOCOL_SSL2 | WINHTTP_FLAG_SECURE_PROTOCOL_SSL3 |
                                  WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                                  WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;

}  // namespace

HINTERNET WinHttpOpen(LPCWSTR userAgent, DWORD accessType, LPCWSTR proxyName, LPCWSTR proxyBypass, DWORD) {
  auto session = std::make_shared<Session>();
  if (userAgent) {
    auto agent = Narrow(userAgent);
    if (!agent) return Fail(ERROR_INVALID_PARAMETER), nullptr;
    session->user_agent = *agent;
  }
  switch (accessType) {
    case WINHTTP_ACCESS_TYPE_DEFAULT_PROXY:
    case WINHTTP_ACCESS_TYPE_NO_PROXY:
    case WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY:
      break;  // no system proxy configuration exists here: direct connections
    case WINHTTP_ACCESS_TYPE_NAMED_PROXY: {
      auto proxy = Narrow(proxyName);
      if (!proxy || proxy->empty()) return Fail(ERROR_INVALID_PARAMETER), nullptr;
      std::string bypass;
      if (proxyBypass) {
        auto narrow = Narrow(proxyBypass);
        if (!narrow) return Fail(ERROR_INVALID_PARAMETER), nullptr;
        bypass = *narrow;
      }
      session->proxy = qvplatform::winhttp::ProxyRules(*proxy, bypass);
      break;
    }
    default:
      return Fail(ERROR_INVALID_PARAMETER), nullptr;
  }
  HINTERNET handle = qvplatform::InsertHandle(session);
  if (!handle) return Fail(ERROR_NOT_ENOUGH_MEMORY), nullptr;
  Succeed();
  return handle;
}

HINTERNET WinHttpConnect(HINTERNET sessionHandle, LPCWSTR serverName, INTERNET_PORT serverPort, DWORD) {
  auto session = Lookup<Session>(sessionHandle);
  if (!session) return nullptr;
  auto host = Narrow(serverName);
  if (!host || host->empty()) return Fail(ERROR_INVALID_PARAMETER), nullptr;
  if (host->size() > 2 && host->front() == '[' && host->back() == ']') *host = host->substr(1, host->size() - 2);
  auto connection = std::make_shared<Connection>();
  connection->session = session;
  connection->host = *host;
  connection->port = serverPort;
  InheritOptions(*session, *connection);
  HINTERNET handle = qvplatform::InsertHandle(connection);
  Succeed();
  return handle;
}

HINTERNET WinHttpOpenRequest(HINTERNET connectHandle, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                             LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags) {
  auto connection = Lookup<Connection>(connectHandle);
  if (!connection) return nullptr;
  auto request = std::make_shared<Request>();
  request->connection = connection;
  std::optional<std::string> text = verb ? Narrow(verb) : std::string("GET");
  if (!text || text->empty()) return Fail(ERROR_INVALID_PARAMETER), nullptr;
  request->verb = *text;
  text = objectName ? Narrow(objectName) : std::string("/");
  if (!text) return Fail(ERROR_INVALID_PARAMETER), nullptr;
  request->path = EscapePath(*text);
  if (version) {
    auto v = Narrow(version);
    if (!v) return Fail(ERROR_INVALID_PARAMETER), nullptr;
    request->http10 = *v == "HTTP/1.0";
  }
  if (referrer) {
    auto r = Narrow(referrer);
    if (!r) return Fail(ERROR_INVALID_PARAMETER), nullptr;
    request->headers.push_back("Referer: " + *r);
  }
  if (acceptTypes) {
    std::string accept;
    for (LPCWSTR* type = acceptTypes; *type; ++type) {
      auto t = Narrow(*type);
      if (!t) return Fail(ERROR_INVALID_PARAMETER), nullptr;
      if (!accept.empty()) accept += ", ";
      accept += *t;
    }
    if (!accept.empty()) request->headers.push_back("Accept: " + accept);
  }
  request->secure = (flags & WINHTTP_FLAG_SECURE) != 0;
  InheritOptions(*connection, *request);
  HINTERNET handle = qvplatform::InsertHandle(request);
  Succeed();
  return handle;
}

BOOL WinHttpAddRequestHeaders(HINTERNET requestHandle, LPCWSTR headers, DWORD headersLength, DWORD modifiers) {
  auto request = Lookup<Request>(requestHandle);
  if (!request) return FALSE;
  if (!headers || headersLength == 0) return Fail(ERROR_INVALID_PARAMETER);
  auto text = Narrow(headers, headersLength);
  if (!text) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard lock(request->mutex);
  DWORD error = request->AddHeaders(*text, modifiers);
  return error ? Fail(error) : Succeed();
}

BOOL WinHttpSetTimeouts(HINTERNET handle, int resolveTimeout, int connectTimeout, int sendTimeout,
                        int receiveTimeout) {
  auto object = Lookup<InternetObject>(handle);
  if (!object) return FALSE;
  if (!ValidTimeout(resolveTimeout) || !ValidTimeout(connectTimeout) || !ValidTimeout(sendTimeout) ||
      !ValidTimeout(receiveTimeout))
    return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard lock(object->option_mutex);
  object->timeouts.resolve_ms = TimeoutValue(resolveTimeout);
  object->timeouts.connect_ms = TimeoutValue(connectTimeout);
  object->timeouts.send_ms = TimeoutValue(sendTimeout);
  object->timeouts.receive_ms = TimeoutValue(receiveTimeout);
  return Succeed();
}

BOOL WinHttpSetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
  auto object = Lookup<InternetObject>(handle);
  if (!object) return FALSE;
  DWORD value = 0, error = 0;
  auto* request = dynamic_cast<Request*>(object.get());
  auto* session = dynamic_cast<Session*>(object.get());
  switch (option) {
    case WINHTTP_OPTION_RESOLVE_TIMEOUT:
    case WINHTTP_OPTION_CONNECT_TIMEOUT:
    case WINHTTP_OPTION_SEND_TIMEOUT:
    case WINHTTP_OPTION_RECEIVE_TIMEOUT:
    case WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT: {
      if (!ReadDword(buffer, bufferLength, &value, &error)) return Fail(error);
      int ms = static_cast<int>(value);
      if (!ValidTimeout(ms)) return Fail(ERROR_INVALID_PARAMETER);
      std::lock_guard lock(object->option_mutex);
      DWORD* target = option == WINHTTP_OPTION_RESOLVE_TIMEOUT   ? &object->timeouts.resolve_ms
                      : option == WINHTTP_OPTION_CONNECT_TIMEOUT ? &object->timeouts.connect_ms
                      : option == WINHTTP_OPTION_SEND_TIMEOUT    ? &object->timeouts.send_ms
                                                                 : &object->timeouts.receive_ms;
      *target = TimeoutValue(ms);
      return Succeed();
    }
    case WINHTTP_OPTION_SECURITY_FLAGS: {
      if (!request) return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
      if (!ReadDword(buffer, bufferLength, &value, &error)) return Fail(error);
      std::lock_guard lock(request->mutex);
      request->security_flags = value;
      return Succeed();
    }
    case WINHTTP_OPTION_SECURE_PROTOCOLS: {
      if (!session) return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
      if (!ReadDword(buffer, bufferLength, &value, &error)) return Fail(error);
      if ((value & ~kKnownProtocols) != 0) return Fail(ERROR_INVALID_PARAMETER);
      std::lock_guard lock(session->option_mutex);
      session->secure_protocols = value;
      return Succeed();
    }
    case WINHTTP_OPTION_REDIRECT_POLICY:
    case WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS: {
      if (!ReadDword(buffer, bufferLength, &value, &error)) return Fail(error);
      if (option == WINHTTP_OPTION_REDIRECT_POLICY && value > WINHTTP_OPTION_REDIRECT_POLICY_ALWAYS)
        return Fail(ERROR_INVALID_PARAMETER);
      std::lock_guard lock(object->option_mutex);
      (option == WINHTTP_OPTION_REDIRECT_POLICY ? object->redirect_policy : object->max_redirects) = value;
      return Succeed();
    }
    case WINHTTP_OPTION_USER_AGENT: {
      if (!session) return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
      if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
      auto text = Narrow(static_cast<LPCWSTR>(buffer), bufferLength);
      if (!text) return Fail(ERROR_INVALID_PARAMETER);
      std::lock_guard lock(session->option_mutex);
      session->user_agent = *text;
      return Succeed();
    }
    case WINHTTP_OPTION_USERNAME:
    case WINHTTP_OPTION_PASSWORD:
    case WINHTTP_OPTION_PROXY_USERNAME:
    case WINHTTP_OPTION_PROXY_PASSWORD: {
      if (!request) return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
      if (!buffer) return Fail(ERROR_INVALID_PARAMETER);
      // The length counts characters; a terminator inside it ends the text.
      auto text = Narrow(static_cast<LPCWSTR>(buffer), bufferLength);
      if (!text) return Fail(ERROR_INVALID_PARAMETER);
      text->resize(std::strlen(text->c_str()));
      std::lock_guard lock(request->mutex);
      (option == WINHTTP_OPTION_USERNAME         ? request->server_user
       : option == WINHTTP_OPTION_PASSWORD       ? request->server_password
       : option == WINHTTP_OPTION_PROXY_USERNAME ? request->proxy_user
                                                 : request->proxy_password) = *text;
      return Succeed();
    }
    case WINHTTP_OPTION_HANDLE_TYPE:
    case WINHTTP_OPTION_URL:
      return Fail(ERROR_WINHTTP_OPTION_NOT_SETTABLE);
    default:
      return Fail(ERROR_WINHTTP_INVALID_OPTION);
  }
}

BOOL WinHttpQueryOption(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD bufferLength) {
  auto object = Lookup<InternetObject>(handle);
  if (!object) return FALSE;
  if (!bufferLength) return Fail(ERROR_INVALID_PARAMETER);
  auto* request = dynamic_cast<Request*>(object.get());
  auto* session = dynamic_cast<Session*>(object.get());
  DWORD value = 0;
  switch (option) {
    case WINHTTP_OPTION_SECURITY_FLAGS:
      if (!request) return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
      {
        std::lock_guard lock(request->mutex);
        value = request->security_flags;
      }
      break;
    case WINHTTP_OPTION_SECURE_PROTOCOLS:
      if (!session) return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
      {
        std::lock_guard lock(session->option_mutex);
        value = session->secure_protocols ? session->secure_protocols
                                          : qvplatform::winhttp::DefaultSecureProtocols();
      }
      break;
    case WINHTTP_OPTION_HANDLE_TYPE:
      value = object->HandleType();
      break;
    case WINHTTP_OPTION_RESOLVE_TIMEOUT:
    case WINHTTP_OPTION_CONNECT_TIMEOUT:
    case WINHTTP_OPTION_SEND_TIMEOUT:
    case WINHTTP_OPTION_RECEIVE_TIMEOUT: {
      std::lock_guard lock(object->option_mutex);
      const auto& t = object->timeouts;
      value = option == WINHTTP_OPTION_RESOLVE_TIMEOUT   ? t.resolve_ms
              : option == WINHTTP_OPTION_CONNECT_TIMEOUT ? t.connect_ms
              : option == WINHTTP_OPTION_SEND_TIMEOUT    ? t.send_ms
                                                         : t.receive_ms;
      break;
    }
    case WINHTTP_OPTION_REDIRECT_POLICY:
    case WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS: {
      std::lock_guard lock(object->option_mutex);
      value = option == WINHTTP_OPTION_REDIRECT_POLICY ? object->redirect_policy : object->max_redirects;
      break;
    }
    default:
      return Fail(ERROR_WINHTTP_INVALID_OPTION);
  }
  if (!buffer || *bufferLength < sizeof(DWORD)) {
    *bufferLength = sizeof(DWORD);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, &value, sizeof value);
  *bufferLength = sizeof value;
  return Succeed();
}

BOOL WinHttpSetCredentials(HINTERNET requestHandle, DWORD authTargets, DWORD authScheme, LPCWSTR userName,
                           LPCWSTR password, LPVOID) {
  auto request = Lookup<Request>(requestHandle);
  if (!request) return FALSE;
  if (authTargets != WINHTTP_AUTH_TARGET_SERVER && authTargets != WINHTTP_AUTH_TARGET_PROXY)
    return Fail(ERROR_INVALID_PARAMETER);
  if (authScheme != WINHTTP_AUTH_SCHEME_BASIC) return Fail(ERROR_INVALID_PARAMETER);
  auto user = Narrow(userName);
  auto secret = password ? Narrow(password) : std::string();
  if (!user || !secret) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard lock(request->mutex);
  if (authTargets == WINHTTP_AUTH_TARGET_SERVER) {
    request->server_user = *user;
    request->server_password = *secret;
  } else {
    request->proxy_user = *user;
    request->proxy_password = *secret;
  }
  return Succeed();
}

BOOL WinHttpSendRequest(HINTERNET requestHandle, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                        DWORD optionalLength, DWORD totalLength, DWORD_PTR) {
  auto request = Lookup<Request>(requestHandle);
  if (!request) return FALSE;
  std::string extra;
  if (headers && headersLength != 0) {
    auto text = Narrow(headers, headersLength);
    if (!text) return Fail(ERROR_INVALID_PARAMETER);
    extra = *text;
  } else if (!headers && headersLength != 0 && headersLength != kNulTerminated) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (!optional && optionalLength != 0) return Fail(ERROR_INVALID_PARAMETER);
  if (totalLength < optionalLength) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard lock(request->mutex);
  DWORD error = request->Send(extra, optional, optionalLength, totalLength);
  return error ? Fail(error) : Succeed();
}

BOOL WinHttpWriteData(HINTERNET requestHandle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten) {
  auto request = Lookup<Request>(requestHandle);
  if (!request) return FALSE;
  if (!buffer && bytesToWrite != 0) return Fail(ERROR_INVALID_PARAMETER);
  if (bytesWritten) *bytesWritten = 0;
  std::lock_guard lock(request->mutex);
  DWORD error = bytesToWrite ? request->Write(buffer, bytesToWrite) : 0;
  if (error) return Fail(error);
  if (bytesWritten) *bytesWritten = bytesToWrite;
  return Succeed();
}

BOOL WinHttpReceiveResponse(HINTERNET requestHandle, LPVOID reserved) {
  auto request = Lookup<Request>(requestHandle);
  if (!request) return FALSE;
  if (reserved) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard lock(request->mutex);
  DWORD error = request->Receive();
  return error ? Fail(error) : Succeed();
}

BOOL WinHttpQueryHeaders(HINTERNET requestHandle, DWORD infoLevel, LPCWSTR name, LPVOID buffer,
                         LPDWORD bufferLength, LPDWORD index) {
  auto request = Lookup<Request>(requestHandle);
  if (!request) return FALSE;
  std::lock_guard lock(request->mutex);
  if (request->state != Request::State::kResponse) return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
  DWORD error = qvplatform::winhttp::QueryHeader(request->transfer.head(), infoLevel, name, buffer, bufferLength,
                                                 index);
  return error ? Fail(error) : Succeed();
}

BOOL WinHttpQueryDataAvailable(HINTERNET requestHandle, LPDWORD bytesAvailable) {
  auto request = Lookup<Request>(requestHandle);
  if (!request) return FALSE;
  std::lock_guard lock(request->mutex);
  size_t available = 0;
  DWORD error = request->Available(&available);
  if (error) return Fail(error);
  if (bytesAvailable) *bytesAvailable = static_cast<DWORD>(available);
  return Succeed();
}

BOOL WinHttpReadData(HINTERNET requestHandle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead) {
  auto request = Lookup<Request>(requestHandle);
  if (!request) return FALSE;
  if (!buffer && bytesToRead != 0) return Fail(ERROR_INVALID_PARAMETER);
  if (bytesRead) *bytesRead = 0;
  std::lock_guard lock(request->mutex);
  size_t available = 0;
  DWORD error = request->Available(&available);
  if (error) return Fail(error);
  size_t n = bytesToRead ? request->transfer.Read(buffer, bytesToRead) : 0;
  if (bytesRead) *bytesRead = static_cast<DWORD>(n);
  return Succeed();
}

BOOL WinHttpCloseHandle(HINTERNET handle) {
  if (!Lookup<InternetObject>(handle)) return Fail(ERROR_INVALID_HANDLE);
  auto object = qvplatform::RemoveHandle(handle);
  if (!object) return FALSE;
  object->OnClose();  // a request ends its exchange and closes its connections here
  return Succeed();
}
