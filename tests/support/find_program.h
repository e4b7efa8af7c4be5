// The full path of a program found on PATH, as a shell would find it; empty when none is.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace txtest {

inline std::string find_program(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

}  // namespace txtest
