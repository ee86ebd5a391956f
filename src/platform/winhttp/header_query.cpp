#include "winhttp/header_query.h"

#include <cstring>
#include <limits>

#include "kernel32/conversions.h"
#include "kernel32/errors.h"
#include "winhttp/winhttp.h"

namespace qvplatform::winhttp {

namespace {

const char* KnownHeaderName(DWORD level) {
  switch (level) {
    case 0: return "MIME-Version";
    case WINHTTP_QUERY_CONTENT_TYPE: return "Content-Type";
    case 2: return "Content-Transfer-Encoding";
    case WINHTTP_QUERY_CONTENT_LENGTH: return "Content-Length";
    case 6: return "Content-Language";
    case 7: return "Allow";
    case WINHTTP_QUERY_DATE: return "Date";
    case 10: return "Expires";
    case WINHTTP_QUERY_LAST_MODIFIED: return "Last-Modified";
    case 17: return "Pragma";
    case 23: return "Connection";
    case WINHTTP_QUERY_CONTENT_ENCODING: return "Content-Encoding";
    case WINHTTP_QUERY_LOCATION: return "Location";
    case 36: return "Retry-After";
    case 37: return "Server";
    case 40: return "WWW-Authenticate";
    case 41: return "Proxy-Authenticate";
    case 42: return "Accept-Ranges";
    case 43: return "Set-Cookie";
    case 47: return "Content-Disposition";
    case 48: return "Age";
    case 49: return "Cache-Control";
    case 51: return "Content-Location";
    case WINHTTP_QUERY_CONTENT_RANGE: return "Content-Range";
    case 54: return "ETag";
    case WINHTTP_QUERY_TRANSFER_ENCODING: return "Transfer-Encoding";
    case 65: return "Vary";
    case 66: return "Via";
    default: return nullptr;
  }
}

DWORD CopyText(const std::string& text, LPVOID buffer, LPDWORD bufferLength) {
  std::u16string wide = Utf8ToUtf16Lossy(text);
  DWORD needed = static_cast<DWORD>((wide.size() + 1) * sizeof(char16_t));
  if (!buffer || *bufferLength < needed) {
    *bufferLength = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::memcpy(buffer, wide.c_str(), needed);
  *bufferLength = needed - sizeof(char16_t);
  return 0;
}

DWORD CopyNumber(const std::string& text, DWORD modifiers, LPVOID buffer, LPDWORD bufferLength) {
  bool wide64 = (modifiers & WINHTTP_QUERY_FLAG_NUMBER64) != 0;
  DWORD needed = wide64 ? sizeof(uint64_t) : sizeof(DWORD);
  if (!buffer || *bufferLength < needed) {
    *bufferLength = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::string_view digits = TrimBlanks(text);
  if (digits.empty()) return ERROR_INVALID_DATA;
  uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return ERROR_INVALID_DATA;
    if (value > (std::numeric_limits<uint64_t>::max() - 9) / 10) return ERROR_ARITHMETIC_OVERFLOW;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (wide64) {
    std::memcpy(buffer, &value, sizeof value);
  } else {
    if (value > std::numeric_limits<DWORD>::max()) return ERROR_ARITHMETIC_OVERFLOW;
    DWORD narrow = static_cast<DWORD>(value);
    std::memcpy(buffer, &narrow, sizeof narrow);
  }
  *bufferLength = needed;
  return 0;
}

}  // namespace

DWORD QueryHeader(const ResponseHead& head, DWORD infoLevel, LPCWSTR name, LPVOID buffer,
                  LPDWORD bufferLength, LPDWORD index) {
  if (!bufferLength) return ERROR_INVALID_PARAMETER;
  DWORD level = infoLevel & WINHTTP_QUERY_HEADER_MASK;
  DWORD modifiers = infoLevel & WINHTTP_QUERY_MODIFIER_FLAGS_MASK;
  if (modifiers & (WINHTTP_QUERY_FLAG_REQUEST_HEADERS | WINHTTP_QUERY_FLAG_SYSTEMTIME))
    return ERROR_WINHTTP_INVALID_QUERY_REQUEST;
  bool number = (modifiers & (WINHTTP_QUERY_FLAG_NUMBER | WINHTTP_QUERY_FLAG_NUMBER64)) != 0;
  DWORD nth = index ? *index : 0;

  std::string value;
  bool perHeader = false;
  switch (level) {
    case WINHTTP_QUERY_RAW_HEADERS_CRLF:
      value = head.RawCrlf();
      break;
    case WINHTTP_QUERY_RAW_HEADERS: {
      value = head.status_line();
      value.push_back('\0');
      for (const auto& [n, v] : head.headers()) {
        value += n + ": " + v;
        value.push_back('\0');
      }
      break;
    }
    case WINHTTP_QUERY_VERSION:
      value = head.version();
      break;
    case WINHTTP_QUERY_STATUS_CODE:
      value = std::to_string(head.status());
      break;
    case WINHTTP_QUERY_STATUS_TEXT:
      value = head.reason();
      break;
    case WINHTTP_QUERY_CUSTOM: {
      if (!name) return ERROR_INVALID_PARAMETER;
      auto narrow = Utf16ToUtf8(std::u16string_view(name));
      if (!narrow) return ERROR_INVALID_PARAMETER;
      auto found = head.Find(*narrow, nth);
      if (!found) return ERROR_WINHTTP_HEADER_NOT_FOUND;
      value = *found;
      perHeader = true;
      break;
    }
    default: {
      const char* known = KnownHeaderName(level);
      if (!known) return ERROR_WINHTTP_INVALID_QUERY_REQUEST;
      auto found = head.Find(known, nth);
      if (!found) return ERROR_WINHTTP_HEADER_NOT_FOUND;
      value = *found;
      perHeader = true;
      break;
    }
  }
  if (!perHeader && nth > 0) return ERROR_WINHTTP_HEADER_NOT_FOUND;
  DWORD error = number ? CopyNumber(value, modifiers, buffer, bufferLength) : CopyText(value, buffer, bufferLength);
  if (error == 0 && index) ++*index;
  return error;
}

}  // namespace qvplatform::winhttp
