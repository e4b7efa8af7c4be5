// Whether a process has a shared library mapped, from its /proc/PID/maps.
#pragma once

#include <fstream>
#include <string>

namespace txtest {

// True when a file whose name starts with `name` (say "libcurl.so") is mapped into the
// process `pid`, this process by default.
inline bool library_mapped(const std::string& name, const std::string& pid = "self") {
  std::ifstream maps("/proc/" + pid + "/maps");
  for (std::string line; std::getline(maps, line);) {
    std::size_t slash = line.rfind('/');
    if (slash != std::string::npos && line.compare(slash + 1, name.size(), name) == 0) return true;
  }
  return false;
}

}  // namespace txtest
