#include "util/encoding.h"

#include <cstring>

#include "logging/log_core.h"

namespace {

// The two-call protocol of MultiByteToWideChar: size, zero-filled buffer, conversion.
int NarrowToWide(const char* text, std::u16string& out) {
  int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  out.assign(static_cast<size_t>(size > 0 ? size : 0), u'\0');
  if (size <= 0 || MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size) == 0) {
    LogLastError();
    return 0;
  }
  out.resize(static_cast<size_t>(size - 1));  // drop the converted terminator
  return 1;
}

int WideToNarrow(UINT codePage, const char16_t* wide, std::string& out) {
  if (!wide) return 0;
  int size = WideCharToMultiByte(codePage, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  out.assign(static_cast<size_t>(size > 0 ? size : 0) + 1, '\0');
  if (size <= 0 || WideCharToMultiByte(codePage, 0, wide, -1, out.data(), size, nullptr, nullptr) == 0) {
    LogLastError();
    return 0;
  }
  out.resize(std::strlen(out.c_str()));
  return 1;
}

}  // namespace

int ChangeToWideStr(const char* text, std::u16string& out) {
  if (!text) {
    LogError("ChangeToWideStr: AnsiString is empty! \n");
    return 0;
  }
  return NarrowToWide(text, out);
}

int ChangeUtf8ToWideStr(const char* utf8, std::u16string& out) {
  if (!utf8) {
    LogError("ChangeUtf8ToWideStr: utf8 is empty! \n");
    return 0;
  }
  LogDebug("UTF String Received:%s\n", utf8);
  return NarrowToWide(utf8, out);
}

int ChangeWideToUtf8Str(const char16_t* wide, std::string& out) { return WideToNarrow(CP_UTF8, wide, out); }

int ChangeWideToAnsiStr(const char16_t* wide, std::string& out) { return WideToNarrow(CP_ACP, wide, out); }

int ChangeAnsiToUTF8Str(const char* ansi, std::string& out) {
  if (!ansi) {
    LogError("ChangeAnsiToUTF8Str: ansiString is empty! \n");
    return 0;
  }
  std::u16string wide;
  if (!ChangeToWideStr(ansi, wide)) return 0;
  return ChangeWideToUtf8Str(wide.c_str(), out);
}

std::string ToLowerUtf8(const char* utf8) {
  std::u16string wide;
  ChangeUtf8ToWideStr(utf8, wide);
  for (auto& c : wide) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  }
  std::string out;
  ChangeWideToUtf8Str(wide.c_str(), out);
  return out;
}

std::string ConcatStrings(const char* first, const char* second) {
  std::string out = first ? first : "";
  if (second) out += second;
  return out;
}

std::string ReplaceChar(const char* text, char oldChar, char newChar) {
  std::string out = text ? text : "";
  for (auto& c : out) {
    if (c == oldChar) c = newChar;
  }
  return out;
}

int64_t ParseDecimal64(const char* text) {
  uint64_t value = 0;  // unsigned arithmetic: long inputs wrap instead of overflowing
  for (const char* p = text; p && *p; ++p) value = value * 10 + static_cast<uint64_t>(static_cast<int64_t>(*p - '0'));
  return static_cast<int64_t>(value);
}

void LogLastError() {
  char* text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                 GetLastError(), 0x400, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  LogError(" Error Message: %s\n", text);
  LocalFree(text);
}
