#include "platform/wildcard.h"

namespace platform {

namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool match(std::string_view p, std::string_view n) {
  std::size_t pi = 0, ni = 0, star = std::string_view::npos, resume = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || fold(p[pi]) == fold(n[ni]))) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      resume = ni;
    } else if (star != std::string_view::npos) {
      pi = star + 1;
      ni = ++resume;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace

bool dos_wildcard_match(std::string_view pattern, std::string_view name) {
  if (match(pattern, name)) return true;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos) {
    return match(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

}  // namespace platform
