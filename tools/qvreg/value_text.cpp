#include "value_text.h"

#include <strings.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "advapi32/registry_data.h"

namespace qvreg {

namespace {

struct TypeEntry {
  DWORD type;
  const char* name;
};

constexpr TypeEntry kTypes[] = {
    {REG_NONE, "REG_NONE"},         {REG_SZ, "REG_SZ"},       {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},     {REG_DWORD, "REG_DWORD"}, {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},         {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
};

// A whole decimal or 0x-hexadecimal number no larger than `max`.
std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t max) {
  std::string digits(text);
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.erase(0, 2);
    base = 16;
  }
  if (digits.empty() || !std::isxdigit(static_cast<unsigned char>(digits[0]))) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  unsigned long long value = std::strtoull(digits.c_str(), &end, base);
  if (errno != 0 || *end != '\0' || value > max) return std::nullopt;
  return value;
}

}  // namespace

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<DWORD> TypeFromName(std::string_view name) {
  std::string text(name);
  for (const auto& entry : kTypes)
    if (strcasecmp(text.c_str(), entry.name) == 0) return entry.type;
  return std::nullopt;
}

std::string TypeName(DWORD type) {
  for (const auto& entry : kTypes)
    if (entry.type == type) return entry.name;
  char buffer[16];
  snprintf(buffer, sizeof(buffer), "0x%x", type);
  return buffer;
}

std::optional<Bytes> DataFromText(DWORD type, std::string_view text, std::string_view separator, std::string* error) {
  using namespace qvplatform::registry;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: return EncodeUtf16(qvplatform::Utf8ToUtf16Lossy(text), true);
    case REG_MULTI_SZ: {
      std::vector<std::u16string> strings;
      if (separator.empty()) separator = "\\0";
      // "a\0b" holds two strings; a separator at the very end adds none.
      for (size_t start = 0; start < text.size();) {
        size_t end = std::min(text.find(separator, start), text.size());
        if (end == start) {
          *error = "A REG_MULTI_SZ value cannot hold an empty string.";
          return std::nullopt;
        }
        strings.push_back(qvplatform::Utf8ToUtf16Lossy(text.substr(start, end - start)));
        start = end + separator.size();
      }
      return EncodeMultiString(strings);
    }
    case REG_DWORD: {
      auto value = ParseNumber(text.empty() ? "0" : text, 0xFFFFFFFFu);
      if (!value) {
        *error = "Invalid REG_DWORD data: give a number from 0 to 4294967295 (or 0x0 to 0xffffffff).";
        return std::nullopt;
      }
      return EncodeDword(static_cast<uint32_t>(*value));
    }
    case REG_QWORD: {
      auto value = ParseNumber(text.empty() ? "0" : text, UINT64_MAX);
      if (!value) {
        *error = "Invalid REG_QWORD data: give a number from 0 to 18446744073709551615 (or 0x-hexadecimal).";
        return std::nullopt;
      }
      return EncodeQword(*value);
    }
    case REG_BINARY:
    case REG_NONE: {
      Bytes data;
      if (text.size() % 2 != 0) {
        *error = "Invalid binary data: give pairs of hexadecimal digits.";
        return std::nullopt;
      }
      for (size_t i = 0; i < text.size(); i += 2) {
        int high = HexDigitValue(text[i]), low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) {
          *error = "Invalid binary data: give pairs of hexadecimal digits.";
          return std::nullopt;
        }
        data.push_back(static_cast<uint8_t>(high * 16 + low));
      }
      return data;
    }
    default: *error = "qvreg cannot add values of type " + TypeName(type) + "."; return std::nullopt;
  }
}

std::string HexDigits(const Bytes& data) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t byte : data) {
    out.push_back(digits[byte >> 4]);
    out.push_back(digits[byte & 0xF]);
  }
  return out;
}

std::string DisplayData(DWORD type, const Bytes& data) {
  using namespace qvplatform::registry;
  char buffer[32];
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::u16string text = DecodeUtf16(data.data(), data.size());
      return qvplatform::Utf16ToUtf8Lossy(text.substr(0, text.find(u'\0')));
    }
    case REG_MULTI_SZ: {
      std::string out;
      for (const auto& s : DecodeMultiString(data.data(), data.size()))
        out += (out.empty() ? "" : "\\0") + qvplatform::Utf16ToUtf8Lossy(s);
      return out;
    }
    case REG_DWORD:
      if (data.size() != 4) break;
      snprintf(buffer, sizeof(buffer), "0x%x",
               static_cast<uint32_t>(data[0] | data[1] << 8 | data[2] << 16) | static_cast<uint32_t>(data[3]) << 24);
      return buffer;
    case REG_QWORD: {
      if (data.size() != 8) break;
      uint64_t value = 0;
      for (int i = 7; i >= 0; --i) value = value << 8 | data[i];
      snprintf(buffer, sizeof(buffer), "0x%llx", static_cast<unsigned long long>(value));
      return buffer;
    }
    default: break;
  }
  return HexDigits(data);
}

}  // namespace qvreg
