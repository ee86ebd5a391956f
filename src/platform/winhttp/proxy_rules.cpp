#include "winhttp/proxy_rules.h"

#include <cctype>

#include "winhttp/response_head.h"

namespace qvplatform::winhttp {

namespace {

std::vector<std::string_view> SplitList(std::string_view list) {
  std::vector<std::string_view> items;
  size_t start = 0;
  for (size_t i = 0; i <= list.size(); ++i) {
    if (i == list.size() || list[i] == ';' || list[i] == ' ' || list[i] == '\t' || list[i] == ',' ||
        list[i] == '\r' || list[i] == '\n') {
      if (i > start) items.push_back(list.substr(start, i - start));
      start = i + 1;
    }
  }
  return items;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  };
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], text[t]))) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

ProxyRules::ProxyRules(std::string_view proxyList, std::string_view bypassList) {
  for (std::string_view item : SplitList(proxyList)) {
    Entry entry;
    size_t eq = item.find('=');
    if (eq != std::string_view::npos) {
      entry.scheme = Lower(item.substr(0, eq));
      item.remove_prefix(eq + 1);
    }
    size_t sep = item.find("://");
    if (sep != std::string_view::npos) item.remove_prefix(sep + 3);
    while (!item.empty() && item.back() == '/') item.remove_suffix(1);
    if (item.empty()) continue;
    entry.address = std::string(item);
    size_t bracket = entry.address.rfind(']');
    size_t colon = entry.address.rfind(':');
    if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket))
      entry.address += ":80";  // a proxy named without a port listens on the HTTP port
    proxies_.push_back(std::move(entry));
  }
  for (std::string_view item : SplitList(bypassList)) {
    Bypass bypass;
    if (EqualsNoCase(item, "<local>")) {
      bypass.local = true;
      bypass_.push_back(std::move(bypass));
      continue;
    }
    size_t sep = item.find("://");
    if (sep != std::string_view::npos) {
      bypass.scheme = Lower(item.substr(0, sep));
      item.remove_prefix(sep + 3);
    }
    // A trailing ":digits" is a port, except inside a bracketed IPv6 literal.
    size_t colon = item.rfind(':');
    size_t bracket = item.rfind(']');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket) &&
        item.find(':') == colon) {
      std::string_view digits = item.substr(colon + 1);
      unsigned port = 0;
      bool numeric = !digits.empty();
      for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) numeric = false;
        else port = port * 10 + static_cast<unsigned>(c - '0');
      }
      if (numeric) {
        bypass.port = port;
        item = item.substr(0, colon);
      }
    }
    if (item.empty()) continue;
    bypass.host_pattern = std::string(item);
    bypass_.push_back(std::move(bypass));
  }
}

bool ProxyRules::Bypassed(std::string_view scheme, std::string_view host, unsigned port) const {
  for (const Bypass& b : bypass_) {
    if (b.local) {
      if (host.find('.') == std::string_view::npos && host.find(':') == std::string_view::npos)
        return true;
      continue;
    }
    if (!b.scheme.empty() && !EqualsNoCase(b.scheme, scheme)) continue;
    if (b.port && *b.port != port) continue;
    if (WildcardMatch(b.host_pattern, host)) return true;
  }
  return false;
}

std::optional<std::string> ProxyRules::ProxyFor(std::string_view scheme, std::string_view host,
                                                unsigned port) const {
  if (proxies_.empty() || Bypassed(scheme, host, port)) return std::nullopt;
  const Entry* chosen = nullptr;
  for (const Entry& e : proxies_) {
    if (!e.scheme.empty() && EqualsNoCase(e.scheme, scheme)) {
      chosen = &e;
      break;
    }
  }
  if (!chosen) {
    for (const Entry& e : proxies_) {
      if (e.scheme.empty()) {
        chosen = &e;
        break;
      }
    }
  }
  if (!chosen) return std::nullopt;
  return "http://" + chosen->address;
}

}  // namespace qvplatform::winhttp
