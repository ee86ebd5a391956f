#include "reg_file.h"

#include <strings.h>

#include <cstdio>
#include <optional>

#include "advapi32/registry_data.h"

namespace qvreg {

namespace {

using qvplatform::registry::DecodeUtf16;
using qvplatform::registry::EncodeUtf16;

constexpr size_t kLineWidth = 80;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool Fail(RegFileError* error, int line, std::string message) {
  error->line = line;
  error->message = std::move(message);
  return false;
}

// The file's lines as UTF-8, without their line ends.
bool DecodeLines(const std::string& bytes, std::vector<std::string>* lines, RegFileError* error) {
  std::vector<std::string> raw;
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    std::u16string text = DecodeUtf16(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2);
    size_t start = 0;
    for (int number = 1;; ++number) {
      size_t end = text.find(u'\n', start);
      auto line = qvplatform::Utf16ToUtf8(std::u16string_view(text).substr(start, end - start));
      if (!line) return Fail(error, number, "The line is not valid UTF-16 text.");
      lines->push_back(std::move(*line));
      if (end == std::u16string::npos) break;
      start = end + 1;
    }
  } else if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
    return Fail(error, 1, "UTF-16 big-endian files are not supported; use UTF-16LE or UTF-8.");
  } else {
    std::string_view text(bytes);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    size_t start = 0;
    for (int number = 1;; ++number) {
      size_t end = text.find('\n', start);
      std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
      if (!qvplatform::Utf8ToUtf16(line)) return Fail(error, number, "The line is not valid UTF-8 text.");
      lines->emplace_back(line);
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
  }
  for (auto& line : *lines)
    if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

// A quoted string at text[*pos] (which is '"'), with the escapes \\ and \". Moves *pos past it.
bool ParseQuoted(std::string_view text, size_t* pos, std::string* out, std::string* problem) {
  out->clear();
  for (size_t i = *pos + 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= text.size()) break;
      char next = text[++i];
      if (next != '\\' && next != '"') {
        *problem = std::string("Unknown escape sequence \\") + next + " in a quoted string.";
        return false;
      }
      c = next;
    }
    out->push_back(c);
  }
  *problem = "Unterminated string: the closing quote is missing.";
  return false;
}

// A hexadecimal number of 1 to `maxDigits` digits making up all of `text`.
bool ParseHexNumber(std::string_view text, size_t maxDigits, uint32_t* value) {
  if (text.empty() || text.size() > maxDigits) return false;
  *value = 0;
  for (char c : text) {
    int digit = HexDigitValue(c);
    if (digit < 0) return false;
    *value = *value * 16 + static_cast<uint32_t>(digit);
  }
  return true;
}

// Comma-separated bytes of one or two hexadecimal digits ("01,ff,0a"); a final comma is allowed.
bool ParseHexBytes(std::string_view text, Bytes* data, std::string* problem) {
  text = Trim(text);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = std::min(text.find(',', start), text.size());
    std::string_view piece = Trim(text.substr(start, end - start));
    uint32_t value = 0;
    if (!ParseHexNumber(piece, 2, &value)) {
      *problem = "Invalid hex data \"" + std::string(piece) + "\": give bytes as two hexadecimal digits separated by commas.";
      return false;
    }
    data->push_back(static_cast<uint8_t>(value));
    start = end + 1;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// The data part of a value line (after '='): the change's type and bytes, or a deletion.
bool ParseData(std::string_view text, RegChange* change, std::string* problem) {
  text = Trim(text);
  if (text == "-") {
    change->kind = RegChange::kDeleteValue;
    return true;
  }
  change->kind = RegChange::kSetValue;
  if (!text.empty() && text[0] == '"') {
    size_t pos = 0;
    std::string value;
    if (!ParseQuoted(text, &pos, &value, problem)) return false;
    if (!Trim(text.substr(pos)).empty()) {
      *problem = "Unexpected text after the closing quote.";
      return false;
    }
    change->type = REG_SZ;
    change->data = EncodeUtf16(qvplatform::Utf8ToUtf16Lossy(value), true);
    return true;
  }
  if (StartsWithNoCase(text, "dword:")) {
    uint32_t value = 0;
    if (!ParseHexNumber(Trim(text.substr(6)), 8, &value)) {
      *problem = "Invalid dword data: give up to eight hexadecimal digits.";
      return false;
    }
    change->type = REG_DWORD;
    change->data = qvplatform::registry::EncodeDword(value);
    return true;
  }
  if (StartsWithNoCase(text, "hex:")) {
    change->type = REG_BINARY;
    return ParseHexBytes(text.substr(4), &change->data, problem);
  }
  if (StartsWithNoCase(text, "hex(")) {
    size_t close = text.find("):");
    uint32_t type = 0;
    if (close == std::string_view::npos || !ParseHexNumber(text.substr(4, close - 4), 8, &type)) {
      *problem = "Invalid value type: hex(N) needs a hexadecimal type number N.";
      return false;
    }
    change->type = type;
    return ParseHexBytes(text.substr(close + 2), &change->data, problem);
  }
  *problem = "Unknown value type: the data must be a quoted string, dword:, hex:, hex(N): or -.";
  return false;
}

// "text" with \\ and \" escaped.
std::string Quote(const std::u16string& text) {
  std::string out = "\"";
  for (char c : qvplatform::Utf16ToUtf8Lossy(text)) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// A value's name, @ for the default value.
std::string QuoteName(const std::u16string& name) { return name.empty() ? "@" : Quote(name); }

// REG_SZ data that a quoted string reproduces byte for byte: terminated once at the end, no line
// breaks, valid UTF-16.
bool IsPlainString(const Bytes& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  std::u16string text = DecodeUtf16(data.data(), data.size());
  if (text.back() != u'\0') return false;
  text.pop_back();
  if (text.find_first_of(std::u16string_view(u"\0\r\n", 3)) != std::u16string::npos) return false;
  return qvplatform::Utf16ToUtf8(text).has_value();
}

std::string FormatHex(std::string head, const Bytes& data) {
  static const char digits[] = "0123456789abcdef";
  size_t lineLength = head.size();
  for (size_t i = 0; i < data.size(); ++i) {
    std::string piece{digits[data[i] >> 4], digits[data[i] & 0xF]};
    if (i + 1 < data.size()) piece.push_back(',');
    // Leave room for the continuation backslash.
    if (i > 0 && lineLength + piece.size() + 1 > kLineWidth) {
      head += "\\\r\n  ";
      lineLength = 2;
    }
    head += piece;
    lineLength += piece.size();
  }
  return head;
}

std::string FormatValue(const ValueData& value) {
  std::string head = QuoteName(value.name) + "=";
  if (value.type == REG_SZ && IsPlainString(value.data)) {
    return head + Quote(DecodeUtf16(value.data.data(), value.data.size() - 2));
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    char buffer[16];
    uint32_t number = value.data[0] | value.data[1] << 8 | value.data[2] << 16 | static_cast<uint32_t>(value.data[3]) << 24;
    snprintf(buffer, sizeof(buffer), "dword:%08x", number);
    return head + buffer;
  }
  if (value.type == REG_BINARY) return FormatHex(head + "hex:", value.data);
  char tag[24];
  snprintf(tag, sizeof(tag), "hex(%x):", value.type);
  return FormatHex(head + tag, value.data);
}

void FormatKey(const std::string& path, const KeySnapshot& key, std::string* text) {
  *text += "[" + path + "]\r\n";
  for (const auto& value : key.values) *text += FormatValue(value) + "\r\n";
  *text += "\r\n";
  for (const auto& child : key.children) FormatKey(path + "\\" + qvplatform::Utf16ToUtf8Lossy(child.name), child, text);
}

}  // namespace

bool ParseRegFile(const std::string& bytes, std::vector<RegChange>* changes, RegFileError* error) {
  changes->clear();
  std::vector<std::string> lines;
  if (!DecodeLines(bytes, &lines, error)) return false;
  if (lines.empty() || Trim(lines[0]) != kRegFileHeader)
    return Fail(error, 1, std::string("The file does not begin with \"") + kRegFileHeader + "\".");
  std::optional<KeyPath> currentKey;  // the key values go to; none after a deletion
  for (size_t i = 1; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    std::string line(Trim(lines[i]));
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return Fail(error, number, "A key line must end with ']'.");
      std::string_view inner = std::string_view(line).substr(1, line.size() - 2);
      RegChange change;
      change.line = number;
      change.kind = RegChange::kCreateKey;
      if (!inner.empty() && inner[0] == '-') {
        change.kind = RegChange::kDeleteKey;
        inner.remove_prefix(1);
      }
      auto path = ParseKeyPath(inner);
      if (!path) return Fail(error, number, "Invalid key name \"" + std::string(inner) + "\".");
      if (change.kind == RegChange::kDeleteKey && path->subKey.empty())
        return Fail(error, number, "A root key cannot be deleted.");
      change.key = *path;
      changes->push_back(change);
      if (change.kind == RegChange::kCreateKey)
        currentKey = change.key;
      else
        currentKey.reset();
      continue;
    }
    // A value; hex data may go on over lines that end with a backslash.
    while (!line.empty() && line.back() == '\\' && i + 1 < lines.size()) {
      line.pop_back();
      line += Trim(lines[++i]);
    }
    if (!currentKey) return Fail(error, number, "A value must follow the line of its key.");
    RegChange change;
    change.line = number;
    change.key = *currentKey;
    size_t pos = 0;
    std::string name, problem;
    if (line[0] == '@') {
      pos = 1;
    } else if (line[0] == '"') {
      if (!ParseQuoted(line, &pos, &name, &problem)) return Fail(error, number, problem);
    } else {
      return Fail(error, number, "A value line must begin with a quoted name or @.");
    }
    std::string_view rest = Trim(std::string_view(line).substr(pos));
    if (rest.empty() || rest[0] != '=') return Fail(error, number, "Expected '=' after the value name.");
    if (!ParseData(rest.substr(1), &change, &problem)) return Fail(error, number, problem);
    change.name = qvplatform::Utf8ToUtf16Lossy(name);
    changes->push_back(std::move(change));
  }
  return true;
}

std::string FormatRegFile(const KeyPath& path, const KeySnapshot& tree) {
  std::string text = std::string(kRegFileHeader) + "\r\n\r\n";
  FormatKey(path.Display(), tree, &text);
  Bytes bytes = EncodeUtf16(qvplatform::Utf8ToUtf16Lossy(text), false);
  return "\xFF\xFE" + std::string(bytes.begin(), bytes.end());
}

}  // namespace qvreg
