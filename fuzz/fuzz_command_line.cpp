// Windows command-line splitting (how a started program sees its arguments) and the program
// names CreateProcess would try, on any command line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  auto arguments = platform::split_command_line(line);
  if (line.empty() != arguments.empty()) std::abort();
  // Splitting never makes text: every argument's characters come from the line, and escapes
  // and quotes only ever shorten it.
  std::size_t total = 0;
  for (const std::string& argument : arguments) total += argument.size();
  if (total > line.size()) std::abort();

  auto candidates = platform::program_name_candidates(line);
  for (const std::string& candidate : candidates) {
    if (candidate.size() > line.size()) std::abort();
  }
  return 0;
}
