// Names that no other test uses: the computer's process list is shared by every test running
// beside this one, so a test that asks whether its program runs gives the program such a name.
#pragma once

#include <cstdio>
#include <random>
#include <string>

namespace txtest {

// `stem` followed by eight random hexadecimal digits.
inline std::string unique_name(const std::string& stem) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(std::random_device{}()));
  return stem + digits;
}

}  // namespace txtest
