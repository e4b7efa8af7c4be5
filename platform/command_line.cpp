#include "platform/command_line.h"

namespace platform {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> split_command_line(std::string_view line) {
  std::vector<std::string> args;
  if (line.empty()) return args;
  std::size_t i = 0;
  const std::size_t n = line.size();

  std::string first;
  if (line[0] == '"') {
    for (i = 1; i < n && line[i] != '"'; ++i) first += line[i];
    if (i < n) ++i;
  } else {
    for (; i < n && !is_blank(line[i]); ++i) first += line[i];
  }
  args.push_back(std::move(first));

  for (;;) {
    while (i < n && is_blank(line[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || !is_blank(line[i]))) {
      if (line[i] == '\\') {
        std::size_t backslashes = 0;
        while (i < n && line[i] == '\\') {
          ++backslashes;
          ++i;
        }
        if (i < n && line[i] == '"') {
          arg.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            arg += '"';
            ++i;
          }
          // an even run leaves the quotation mark to toggle quoting below
        } else {
          arg.append(backslashes, '\\');
        }
        continue;
      }
      if (line[i] == '"') {
        if (quoted && i + 1 < n && line[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += line[i++];
    }
    args.push_back(std::move(arg));
  }
  return args;
}

std::vector<std::string> program_name_candidates(std::string_view line) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start < line.size() && is_blank(line[start])) ++start;
  line.remove_prefix(start);
  if (line.empty()) return names;
  if (line[0] == '"') {
    std::size_t end = line.find('"', 1);
    names.emplace_back(line.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
    return names;
  }
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (is_blank(line[i]) && i > 0 && !is_blank(line[i - 1])) names.emplace_back(line.substr(0, i));
  }
  std::size_t end = line.size();
  while (end > 0 && is_blank(line[end - 1])) --end;
  if (names.empty() || names.back().size() != end) names.emplace_back(line.substr(0, end));
  return names;
}

}  // namespace platform
