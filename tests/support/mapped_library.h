// Whether this process has a shared library mapped, from /proc/self/maps.
#pragma once

#include <fstream>
#include <string>

namespace txtest {

// True when a file whose name starts with `name` (say "libcurl.so") is mapped.
inline bool library_mapped(const std::string& name) {
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    std::size_t slash = line.rfind('/');
    if (slash != std::string::npos && line.compare(slash + 1, name.size(), name) == 0) return true;
  }
  return false;
}

}  // namespace txtest
