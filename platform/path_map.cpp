#include "platform/path_map.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "platform/codepage.h"
#include "platform/errors.h"
#include "platform/machine.h"
#include "platform/scoped_handle.h"

namespace platform {

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

bool is_drive_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::mutex& current_folder_mutex() {
  static std::mutex m;
  return m;
}

std::string& current_folder_storage() {
  static std::string folder;
  return folder;
}

std::vector<std::string> split_names(std::string_view rest) {
  std::vector<std::string> names;
  std::size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && is_separator(rest[i])) ++i;
    std::size_t start = i;
    while (i < rest.size() && !is_separator(rest[i])) ++i;
    if (i > start) names.emplace_back(rest.substr(start, i - start));
  }
  return names;
}

// Applies "." and "..", and cuts trailing dots and spaces as Win32 normalisation does.
void push_name(std::vector<std::string>& out, std::string name) {
  if (name == ".") return;
  if (name == "..") {
    if (!out.empty()) out.pop_back();
    return;
  }
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  if (!name.empty()) out.push_back(std::move(name));
}

bool valid_name(std::string_view name, bool wildcards) {
  for (unsigned char c : name) {
    if (c < 0x20) return false;
    switch (c) {
      case '<': case '>': case ':': case '"': case '|':
        return false;
      case '*': case '?':
        if (!wildcards) return false;
        break;
      default:
        break;
    }
  }
  return true;
}

bool same_name_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The entry of `folder` (a host folder) called `name`, found without regard to case.
std::optional<std::string> find_entry(const std::string& folder, const std::string& name) {
  struct stat st;
  if (::lstat((folder + "/" + name).c_str(), &st) == 0) return name;
  ScopedDir dir(::opendir(folder.c_str()));
  if (!dir) return std::nullopt;
  while (dirent* entry = ::readdir(dir.get())) {
    if (same_name_ignoring_case(entry->d_name, name)) return std::string(entry->d_name);
  }
  return std::nullopt;
}

}  // namespace

bool is_drive_root(std::string_view full_path) {
  return full_path.size() == 3 && full_path[1] == ':' && is_separator(full_path[2]);
}

std::string current_windows_folder() {
  std::lock_guard lock(current_folder_mutex());
  std::string& folder = current_folder_storage();
  if (folder.empty()) {
    char cwd[4096];
    std::optional<std::string> mapped;
    if (::getcwd(cwd, sizeof cwd)) mapped = windows_path_from_host(cwd);
    folder = mapped ? *mapped : "C:\\";
  }
  return folder;
}

bool set_current_windows_folder(std::string_view path, DWORD* error) {
  std::string full = full_windows_path(path, error);
  if (full.empty()) return false;
  auto host = host_path(full, error);
  struct stat st;
  if (!host || ::stat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (host) *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  std::lock_guard lock(current_folder_mutex());
  current_folder_storage() = full;
  return true;
}

std::string full_windows_path(std::string_view path, DWORD* error) {
  if (path.empty()) {
    *error = ERROR_PATH_NOT_FOUND;
    return {};
  }
  // Long-path prefix \\?\C:\... names the same file.
  if (path.size() >= 4 && is_separator(path[0]) && is_separator(path[1]) && path[2] == '?' &&
      is_separator(path[3])) {
    path.remove_prefix(4);
  }
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
    *error = ERROR_BAD_PATHNAME;  // network paths do not exist on this machine
    return {};
  }

  std::string base;  // full folder the path is relative to
  std::string_view rest = path;
  char drive = 0;
  if (path.size() >= 2 && is_drive_letter(path[0]) && path[1] == ':') {
    drive = upper(path[0]);
    rest = path.substr(2);
    if (rest.empty() || !is_separator(rest[0])) {
      std::string current = current_windows_folder();
      base = upper(current[0]) == drive ? current : std::string(1, drive) + ":\\";
    }
  } else if (is_separator(path[0])) {
    drive = upper(current_windows_folder()[0]);
  } else {
    base = current_windows_folder();
    drive = upper(base[0]);
  }

  std::vector<std::string> names;
  if (!base.empty()) {
    for (auto& name : split_names(std::string_view(base).substr(2))) names.push_back(std::move(name));
  }
  for (auto& name : split_names(rest)) push_name(names, std::move(name));

  std::string full(1, drive);
  full += ":\\";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i) full += '\\';
    full += names[i];
  }
  return full;
}

std::optional<std::string> host_path(std::string_view windows_path, DWORD* error, HostPathOptions options) {
  std::string full = full_windows_path(windows_path, error);
  if (full.empty()) return std::nullopt;
  if (full[0] != 'C') {
    *error = ERROR_PATH_NOT_FOUND;
    return std::nullopt;
  }
  std::vector<std::string> names = split_names(ansi_to_utf8(std::string_view(full).substr(2)));
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!valid_name(names[i], options.wildcards_in_last && i + 1 == names.size())) {
      *error = ERROR_INVALID_NAME;
      return std::nullopt;
    }
  }

  std::string host = Machine::current().drive_c();
  bool exists = true;
  for (std::size_t i = 0; i < names.size(); ++i) {
    bool pattern = options.wildcards_in_last && i + 1 == names.size() &&
                   names[i].find_first_of("*?") != std::string::npos;
    if (exists && !pattern) {
      if (auto found = find_entry(host, names[i])) {
        host += "/" + *found;
        continue;
      }
      exists = false;
    }
    host += "/" + names[i];
  }
  return host;
}

std::optional<std::string> windows_path_from_host(std::string_view host) {
  std::string drive = Machine::current().drive_c();
  if (host.substr(0, drive.size()) != drive) return std::nullopt;
  std::string_view rest = host.substr(drive.size());
  if (!rest.empty() && rest[0] != '/') return std::nullopt;
  std::string path = "C:\\";
  bool first = true;
  for (auto& name : split_names(rest)) {
    if (!first) path += '\\';
    path += utf8_to_ansi(name);
    first = false;
  }
  return path;
}

}  // namespace platform
