#include "kernel32/conversions.h"

#include <limits>

#include "kernel32/errors.h"

namespace qvplatform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[i]; advances i. Returns false for an invalid sequence (then i
// has moved past the maximal invalid subpart, as the Unicode standard recommends for replacement).
bool DecodeUtf8(std::string_view text, size_t& i, char32_t& out) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    out = b0;
    ++i;
    return true;
  }
  size_t need;
  char32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    ++i;
    return false;
  }
  ++i;
  for (size_t k = 0; k < need; ++k) {
    if (i >= text.size()) return false;
    unsigned char b = byte(i);
    if (b < lo || b > hi) return false;
    lo = 0x80;
    hi = 0xBF;
    cp = (cp << 6) | (b & 0x3F);
    ++i;
  }
  out = cp;
  return true;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

// Converts; returns false at the first invalid sequence when strict.
bool ToUtf16(std::string_view in, bool strict, std::u16string& out) {
  out.clear();
  out.reserve(in.size());
  for (size_t i = 0; i < in.size();) {
    char32_t cp;
    if (!DecodeUtf8(in, i, cp)) {
      if (strict) return false;
      cp = kReplacement;
    }
    AppendUtf16(out, cp);
  }
  return true;
}

bool ToUtf8(std::u16string_view in, bool strict, std::string& out) {
  out.clear();
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      if (strict) return false;
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return true;
}

bool KnownCodePage(UINT codePage) {
  return codePage == CP_UTF8 || codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP;
}

// The size protocol both conversions share: capacity 0 asks for the size needed; a smaller buffer
// fails with ERROR_INSUFFICIENT_BUFFER.
template <class Text, class Char>
int DeliverConverted(const Text& out, Char* destination, int capacity) {
  if (out.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int needed = static_cast<int>(out.size());
  if (capacity == 0) return needed;
  if (needed > capacity) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::copy(out.begin(), out.end(), destination);
  return needed;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  if (!ToUtf16(utf8, true, out)) return std::nullopt;
  return out;
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  if (!ToUtf8(utf16, true, out)) return std::nullopt;
  return out;
}

std::u16string Utf8ToUtf16Lossy(std::string_view utf8) {
  std::u16string out;
  ToUtf16(utf8, false, out);
  return out;
}

std::string Utf16ToUtf8Lossy(std::u16string_view utf16) {
  std::string out;
  ToUtf8(utf16, false, out);
  return out;
}

size_t WideLength(LPCWSTR text) {
  if (!text) return 0;
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

}  // namespace qvplatform

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int cbMultiByte, LPWSTR wide,
                        int cchWideChar) {
  if (!multiByte || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (wide == nullptr && cchWideChar != 0) ||
      (wide != nullptr && static_cast<const void*>(wide) == static_cast<const void*>(multiByte))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!qvplatform::KnownCodePage(codePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // UTF-8 takes no flags but MB_ERR_INVALID_CHARS.
  if (flags & ~(MB_ERR_INVALID_CHARS | (codePage == CP_UTF8 ? 0u : MB_PRECOMPOSED))) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  std::string_view in = cbMultiByte == -1 ? std::string_view(multiByte, std::char_traits<char>::length(multiByte) + 1)
                                          : std::string_view(multiByte, static_cast<size_t>(cbMultiByte));
  std::u16string out;
  if (!qvplatform::ToUtf16(in, (flags & MB_ERR_INVALID_CHARS) != 0, out)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return qvplatform::DeliverConverted(out, wide, cchWideChar);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWideChar, LPSTR multiByte,
                        int cbMultiByte, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  if (!wide || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (multiByte == nullptr && cbMultiByte != 0) ||
      (multiByte != nullptr && static_cast<const void*>(wide) == static_cast<const void*>(multiByte))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!qvplatform::KnownCodePage(codePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // UTF-8 (and the UTF-8 ANSI code page) has no default character.
  if (defaultChar || usedDefaultChar) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (flags & ~(WC_ERR_INVALID_CHARS | (codePage == CP_UTF8 ? 0u : WC_NO_BEST_FIT_CHARS))) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  std::u16string_view in = cchWideChar == -1 ? std::u16string_view(wide, qvplatform::WideLength(wide) + 1)
                                             : std::u16string_view(wide, static_cast<size_t>(cchWideChar));
  std::string out;
  if (!qvplatform::ToUtf8(in, (flags & WC_ERR_INVALID_CHARS) != 0, out)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return qvplatform::DeliverConverted(out, multiByte, cbMultiByte);
}
