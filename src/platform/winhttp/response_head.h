// One HTTP response head as received: the status line and the header lines, in order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvplatform::winhttp {

class ResponseHead {
 public:
  // Builds a head from the lines received (status line first), each without its line end.
  // Continuation lines (starting with a blank) are folded into the header before them.
  static std::optional<ResponseHead> Parse(const std::vector<std::string>& lines);

  int status() const { return status_; }
  const std::string& version() const { return version_; }
  const std::string& reason() const { return reason_; }
  const std::string& status_line() const { return status_line_; }
  const std::vector<std::pair<std::string, std::string>>& headers() const { return headers_; }

  // The value of the index-th header of that name (case-insensitive), trimmed of blanks.
  std::optional<std::string> Find(std::string_view name, size_t index = 0) const;
  // Status line and headers, each ending with CR LF, then an empty line.
  std::string RawCrlf() const;

 private:
  int status_ = 0;
  std::string version_, reason_, status_line_;
  std::vector<std::pair<std::string, std::string>> headers_;
};

bool EqualsNoCase(std::string_view a, std::string_view b);
std::string_view TrimBlanks(std::string_view text);

}  // namespace qvplatform::winhttp
