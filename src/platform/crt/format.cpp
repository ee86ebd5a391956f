#include "crt/format.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "kernel32/conversions.h"

namespace qvplatform {

namespace {

enum class Length { kNone, kHH, kH, kL, kLL, kJ, kZ, kT, kBigL, kW };

struct Spec {
  std::string flags;
  int width = -1;        // -1: none
  int precision = -1;    // -1: none
  Length length = Length::kNone;
  char conversion = 0;
};

// Formats one argument with the C library: the conversion is rebuilt with the given length text.
template <class T>
void AppendWithLibc(std::string& out, const Spec& spec, const char* lengthText, T value) {
  std::string fmt = "%" + spec.flags;
  if (spec.width >= 0) fmt += std::to_string(spec.width);
  if (spec.precision >= 0) fmt += "." + std::to_string(spec.precision);
  fmt += lengthText;
  fmt += spec.conversion;
  char small[128];
  int n = std::snprintf(small, sizeof small, fmt.c_str(), value);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    out.append(small, static_cast<size_t>(n));
    return;
  }
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), fmt.c_str(), value);
  out.append(big.data(), static_cast<size_t>(n));
}

// A text argument, already UTF-8: width and precision count bytes, as the narrow printf does.
void AppendText(std::string& out, const Spec& spec, std::string_view text) {
  if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) {
    text = text.substr(0, static_cast<size_t>(spec.precision));
  }
  size_t pad = spec.width > 0 && static_cast<size_t>(spec.width) > text.size()
                   ? static_cast<size_t>(spec.width) - text.size()
                   : 0;
  bool left = spec.flags.find('-') != std::string::npos;
  if (!left) out.append(pad, ' ');
  out.append(text);
  if (left) out.append(pad, ' ');
}

std::string WideArgToUtf8(const char16_t* text, int precision) {
  size_t n = WideLength(text);
  if (precision >= 0 && n > static_cast<size_t>(precision)) n = static_cast<size_t>(precision);
  return Utf16ToUtf8Lossy(std::u16string_view(text, n));
}

}  // namespace

std::string FormatV(const char* format, va_list args) {
  std::string out;
  if (!format) return out;
  va_list ap;
  va_copy(ap, args);
  const char* p = format;
  while (*p) {
    if (*p != '%') {
      const char* next = std::strchr(p, '%');
      size_t n = next ? static_cast<size_t>(next - p) : std::strlen(p);
      out.append(p, n);
      p += n;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out.push_back('%');
      ++p;
      continue;
    }
    Spec spec;
    while (*p && std::strchr("-+ #0'", *p)) spec.flags.push_back(*p++);
    if (*p == '*') {
      int w = va_arg(ap, int);
      if (w < 0) {
        spec.flags.push_back('-');
        w = -w;
      }
      spec.width = w;
      ++p;
    } else if (*p >= '0' && *p <= '9') {
      spec.width = 0;
      while (*p >= '0' && *p <= '9') spec.width = spec.width * 10 + (*p++ - '0');
    }
    if (*p == '.') {
      ++p;
      spec.precision = 0;
      if (*p == '*') {
        int prec = va_arg(ap, int);
        spec.precision = prec < 0 ? -1 : prec;
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') spec.precision = spec.precision * 10 + (*p++ - '0');
      }
    }
    if (p[0] == 'h' && p[1] == 'h') {
      spec.length = Length::kHH;
      p += 2;
    } else if (p[0] == 'l' && p[1] == 'l') {
      spec.length = Length::kLL;
      p += 2;
    } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      spec.length = Length::kLL;
      p += 3;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
      spec.length = Length::kNone;
      p += 3;
    } else if (*p == 'I') {
      spec.length = Length::kZ;
      ++p;
    } else if (*p == 'h') {
      spec.length = Length::kH;
      ++p;
    } else if (*p == 'l') {
      spec.length = Length::kL;
      ++p;
    } else if (*p == 'w') {
      spec.length = Length::kW;
      ++p;
    } else if (*p == 'j') {
      spec.length = Length::kJ;
      ++p;
    } else if (*p == 'z') {
      spec.length = Length::kZ;
      ++p;
    } else if (*p == 't') {
      spec.length = Length::kT;
      ++p;
    } else if (*p == 'L') {
      spec.length = Length::kBigL;
      ++p;
    }
    spec.conversion = *p;
    if (!*p) {  // a lone '%' at the end is written as it stands
      out.append(start);
      break;
    }
    ++p;
    switch (spec.conversion) {
      case 'd':
      case 'i':
        switch (spec.length) {
          case Length::kHH: AppendWithLibc(out, spec, "hh", va_arg(ap, int)); break;
          case Length::kH: AppendWithLibc(out, spec, "h", va_arg(ap, int)); break;
          case Length::kL: AppendWithLibc(out, spec, "", va_arg(ap, int)); break;  // long is 32 bits
          case Length::kLL: AppendWithLibc(out, spec, "ll", va_arg(ap, long long)); break;
          case Length::kJ: AppendWithLibc(out, spec, "j", va_arg(ap, intmax_t)); break;
          case Length::kZ: AppendWithLibc(out, spec, "z", va_arg(ap, ssize_t)); break;
          case Length::kT: AppendWithLibc(out, spec, "t", va_arg(ap, ptrdiff_t)); break;
          default: AppendWithLibc(out, spec, "", va_arg(ap, int)); break;
        }
        break;
      case 'u':
      case 'o':
      case 'x':
      case 'X':
        switch (spec.length) {
          case Length::kHH: AppendWithLibc(out, spec, "hh", va_arg(ap, unsigned)); break;
          case Length::kH: AppendWithLibc(out, spec, "h", va_arg(ap, unsigned)); break;
          case Length::kL: AppendWithLibc(out, spec, "", va_arg(ap, unsigned)); break;  // long is 32 bits
          case Length::kLL: AppendWithLibc(out, spec, "ll", va_arg(ap, unsigned long long)); break;
          case Length::kJ: AppendWithLibc(out, spec, "j", va_arg(ap, uintmax_t)); break;
          case Length::kZ: AppendWithLibc(out, spec, "z", va_arg(ap, size_t)); break;
          case Length::kT: AppendWithLibc(out, spec, "t", va_arg(ap, ptrdiff_t)); break;
          default: AppendWithLibc(out, spec, "", va_arg(ap, unsigned)); break;
        }
        break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        if (spec.length == Length::kBigL)
          AppendWithLibc(out, spec, "L", va_arg(ap, long double));
        else
          AppendWithLibc(out, spec, "", va_arg(ap, double));
        break;
      case 'p': AppendWithLibc(out, spec, "", va_arg(ap, void*)); break;
      case 'c':
      case 'C': {
        int value = va_arg(ap, int);
        bool wide = spec.conversion == 'C' || spec.length == Length::kL || spec.length == Length::kW;
        std::string text = wide ? Utf16ToUtf8Lossy(std::u16string(1, static_cast<char16_t>(value)))
                                : std::string(1, static_cast<char>(value));
        AppendText(out, spec, text);
        break;
      }
      case 's':
      case 'S': {
        bool wide = spec.conversion == 'S' || spec.length == Length::kL || spec.length == Length::kW;
        if (spec.conversion == 'S' && spec.length == Length::kH) wide = false;
        if (wide) {
          const char16_t* text = va_arg(ap, const char16_t*);
          AppendText(out, spec, text ? WideArgToUtf8(text, spec.precision) : std::string("(null)"));
        } else {
          const char* text = va_arg(ap, const char*);
          if (!text) {
            AppendText(out, spec, "(null)");
          } else {
            size_t n = spec.precision >= 0 ? strnlen(text, static_cast<size_t>(spec.precision)) : std::strlen(text);
            AppendText(out, spec, std::string_view(text, n));
          }
        }
        break;
      }
      case 'n':
        (void)va_arg(ap, void*);  // never written through
        break;
      default:  // an unknown conversion is written as it stands
        out.append(start, static_cast<size_t>(p - start));
        break;
    }
  }
  va_end(ap);
  return out;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = FormatV(format, args);
  va_end(args);
  return out;
}

int FormatToStream(FILE* stream, const char* format, va_list args) {
  if (!stream) return -1;
  std::string text = FormatV(format, args);
  if (text.empty()) return 0;
  size_t written = std::fwrite(text.data(), 1, text.size(), stream);
  return written == text.size() ? static_cast<int>(written) : -1;
}

}  // namespace qvplatform
