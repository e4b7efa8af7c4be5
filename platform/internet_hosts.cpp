#include "platform/internet_hosts.h"

#include <arpa/inet.h>
#include <strings.h>

#include <fstream>
#include <sstream>

#include "platform/machine.h"

namespace platform {

namespace {

bool is_address(const std::string& text) {
  unsigned char buffer[16];
  return ::inet_pton(AF_INET, text.c_str(), buffer) == 1 || ::inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::optional<std::string> hosts_text_address(std::string_view text, std::string_view host) {
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string address;
    if (!(words >> address) || !is_address(address)) continue;
    std::string name;
    while (words >> name) {
      if (same_name(name, host)) return address;
    }
  }
  return std::nullopt;
}

std::optional<std::string> hosts_file_address(std::string_view host) {
  std::ifstream file(Machine::current().drive_c() + "/Windows/System32/drivers/etc/hosts", std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return hosts_text_address(text.str(), host);
}

}  // namespace platform
