#include "advapi32/registry_data.h"

#include <locale>

#include "advapi32/registry.h"
#include "kernel32/conversions.h"

namespace qvplatform::registry {

namespace {

// The upper-case mapping of the C.UTF-8 locale, or none (then only ASCII letters are mapped).
const std::ctype<wchar_t>* UnicodeCase() {
  static const std::ctype<wchar_t>* facet = []() -> const std::ctype<wchar_t>* {
    for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
      try {
        static const std::locale locale(name);
        return &std::use_facet<std::ctype<wchar_t>>(locale);
      } catch (const std::exception&) {
      }
    }
    return nullptr;
  }();
  return facet;
}

char16_t UpperUnit(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  const auto* facet = UnicodeCase();
  if (!facet) return c;
  wchar_t upper = facet->toupper(static_cast<wchar_t>(c));
  // Keep the mapping within one UTF-16 unit, as the comparison of names needs.
  return (upper > 0 && upper < 0x10000 && !(upper >= 0xD800 && upper <= 0xDFFF))
             ? static_cast<char16_t>(upper)
             : c;
}

}  // namespace

Bytes EncodeUtf16(std::u16string_view text, bool terminate) {
  Bytes out;
  out.reserve(2 * text.size() + 2);
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  if (terminate) out.insert(out.end(), {0, 0});
  return out;
}

std::u16string DecodeUtf16(const uint8_t* data, size_t size) {
  std::u16string out;
  out.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2)
    out.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  return out;
}

Bytes EncodeDword(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

Bytes EncodeQword(uint64_t value) {
  Bytes out(8);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
  return out;
}

Bytes EncodeMultiString(const std::vector<std::u16string>& strings) {
  Bytes out;
  for (const auto& s : strings) {
    Bytes one = EncodeUtf16(s, true);
    out.insert(out.end(), one.begin(), one.end());
  }
  out.insert(out.end(), {0, 0});
  return out;
}

std::vector<std::u16string> DecodeMultiString(const uint8_t* data, size_t size) {
  std::u16string all = DecodeUtf16(data, size);
  std::vector<std::u16string> out;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find(u'\0', start);
    if (end == std::u16string::npos) end = all.size();
    if (end == start) break;  // the empty string ends the list
    out.emplace_back(all.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

Bytes StoredToAnsi(DWORD type, const Bytes& stored) {
  if (!IsStringType(type)) return stored;
  std::string utf8 = Utf16ToUtf8Lossy(DecodeUtf16(stored.data(), stored.size()));
  return Bytes(utf8.begin(), utf8.end());
}

Bytes AnsiToStored(DWORD type, const uint8_t* data, size_t size) {
  if (!IsStringType(type)) return Bytes(data, data + size);
  std::u16string wide =
      Utf8ToUtf16Lossy(std::string_view(reinterpret_cast<const char*>(data), size));
  return EncodeUtf16(wide, false);
}

std::string FoldName(std::u16string_view name) {
  std::u16string upper(name);
  for (auto& c : upper) c = UpperUnit(c);
  return Utf16ToUtf8Lossy(upper);
}

}  // namespace qvplatform::registry
