#include "winhttp/response_head.h"

#include <cctype>

namespace qvplatform::winhttp {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<ResponseHead> ResponseHead::Parse(const std::vector<std::string>& lines) {
  if (lines.empty()) return std::nullopt;
  ResponseHead head;
  head.status_line_ = lines.front();
  std::string_view line = head.status_line_;
  if (line.substr(0, 5) != "HTTP/") return std::nullopt;
  size_t space = line.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  head.version_ = std::string(line.substr(0, space));
  std::string_view rest = line.substr(space + 1);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  if (rest.size() < 3) return std::nullopt;
  int status = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(rest[i]))) return std::nullopt;
    status = status * 10 + (rest[i] - '0');
  }
  head.status_ = status;
  rest.remove_prefix(3);
  head.reason_ = std::string(TrimBlanks(rest));

  for (size_t i = 1; i < lines.size(); ++i) {
    std::string_view h = lines[i];
    if (h.empty()) continue;
    if ((h.front() == ' ' || h.front() == '\t') && !head.headers_.empty()) {
      auto& value = head.headers_.back().second;
      value += ' ';
      value += std::string(TrimBlanks(h));
      continue;
    }
    size_t colon = h.find(':');
    if (colon == std::string_view::npos) continue;
    head.headers_.emplace_back(std::string(TrimBlanks(h.substr(0, colon))),
                               std::string(TrimBlanks(h.substr(colon + 1))));
  }
  return head;
}

std::optional<std::string> ResponseHead::Find(std::string_view name, size_t index) const {
  for (const auto& [n, v] : headers_) {
    if (!EqualsNoCase(n, name)) continue;
    if (index == 0) return v;
    --index;
  }
  return std::nullopt;
}

std::string ResponseHead::RawCrlf() const {
  std::string raw = status_line_ + "\r\n";
  for (const auto& [n, v] : headers_) raw += n + ": " + v + "\r\n";
  raw += "\r\n";
  return raw;
}

}  // namespace qvplatform::winhttp
