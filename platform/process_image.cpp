#include "platform/process_image.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/codepage.h"
#include "platform/machine.h"
#include "platform/path_map.h"
#include "platform/scoped_handle.h"

namespace platform {

namespace {

std::string proc_file(pid_t pid, const char* name) { return "/proc/" + std::to_string(pid) + "/" + name; }

std::optional<std::string> read_link(const std::string& path) {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof buffer) return std::nullopt;
  std::string target(buffer, static_cast<std::size_t>(n));
  const std::string deleted = " (deleted)";
  if (target.size() > deleted.size() && target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0) {
    target.resize(target.size() - deleted.size());
  }
  return target;
}

std::optional<std::string> read_whole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> split_nul(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string base_name(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool is_dynamic_loader(const std::string& exe) {
  std::string name = base_name(exe);
  return name.rfind("ld-", 0) == 0 && name.find(".so") != std::string::npos;
}

std::string absolute_in(pid_t pid, const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  auto cwd = read_link(proc_file(pid, "cwd"));
  return cwd ? *cwd + "/" + path : path;
}

std::string canonical(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// The interpreter and its optional argument named by a file's "#!" line, if it has one.
std::optional<std::vector<std::string>> shebang_words(const std::string& file) {
  ScopedFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd) return std::nullopt;
  char head[256];
  ssize_t n = ::read(fd.get(), head, sizeof head);
  if (n < 2 || head[0] != '#' || head[1] != '!') return std::nullopt;
  std::string line(head + 2, static_cast<std::size_t>(n) - 2);
  line = line.substr(0, line.find('\n'));
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  if (words.empty()) return std::nullopt;
  return words;
}

bool runs_script(const std::string& exe, const std::vector<std::string>& shebang) {
  if (canonical(shebang[0]) == exe) return true;
  return base_name(shebang[0]) == "env";  // env found the interpreter on PATH and ran it
}

}  // namespace

std::optional<std::string> process_image_host_path(pid_t pid) {
  auto exe = read_link(proc_file(pid, "exe"));
  if (!exe) return std::nullopt;
  auto cmdline = read_whole(proc_file(pid, "cmdline"));
  std::vector<std::string> args = cmdline ? split_nul(*cmdline) : std::vector<std::string>{};

  if (is_dynamic_loader(*exe)) {
    if (args.size() >= 4 && args[1] == "--argv0") return absolute_in(pid, args[3]);
    if (args.size() >= 2 && args[1].rfind("--", 0) != 0) return absolute_in(pid, args[1]);
    return exe;
  }
  for (std::size_t i = 1; i <= 2 && i < args.size(); ++i) {
    std::string candidate = absolute_in(pid, args[i]);
    auto shebang = shebang_words(candidate);
    if (!shebang || !runs_script(*exe, *shebang)) continue;
    // The second argument is the script only when the first is the "#!" line's option.
    if (i == 2 && !(shebang->size() >= 2 && args[1] == (*shebang)[1])) continue;
    return candidate;
  }
  return exe;
}

std::optional<std::string> windows_path_of_host_file(const std::string& host) {
  if (auto path = windows_path_from_host(host)) return path;
  const std::string drive = Machine::current().drive_c();
  const std::string real_drive = canonical(drive);
  if (real_drive != drive && host.compare(0, real_drive.size(), real_drive) == 0) {
    return windows_path_from_host(drive + host.substr(real_drive.size()));
  }
  return std::nullopt;
}

std::string process_image_name(pid_t pid) {
  if (auto image = process_image_host_path(pid)) {
    if (auto windows = windows_path_of_host_file(*image)) return windows->substr(windows->rfind('\\') + 1);
    return utf8_to_ansi(base_name(*image));
  }
  auto comm = read_whole(proc_file(pid, "comm"));
  if (!comm) return {};
  if (!comm->empty() && comm->back() == '\n') comm->pop_back();
  return utf8_to_ansi(*comm);
}

}  // namespace platform
