#include "platform/internet_trust.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/machine.h"

namespace platform {

namespace {

void append_file(const std::filesystem::path& path, std::string* out) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return;
  std::ostringstream text;
  text << file.rdbuf();
  *out += text.str();
  if (!out->empty() && out->back() != '\n') *out += '\n';
}

}  // namespace

std::string machine_ca_bundle(const std::string& system_bundle) {
  std::vector<std::filesystem::path> extras;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(Machine::current().certs_dir(), error)) {
    if (entry.path().extension() == ".pem" && entry.is_regular_file(error)) extras.push_back(entry.path());
  }
  if (extras.empty()) return {};
  std::sort(extras.begin(), extras.end());
  std::string bundle;
  if (!system_bundle.empty()) append_file(system_bundle, &bundle);
  for (const auto& path : extras) append_file(path, &bundle);
  return bundle;
}

}  // namespace platform
