// kernel32 profile functions. Every call reads the whole file again: other programs change
// these files, and Windows readers see their changes at once. A writer edits the bytes of the
// lines it changes and nothing else, then replaces the file in one rename, so a reader sees
// either the old file or the new one; writers of one file take turns through a lock of the
// machine (threads and processes alike).
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/error_map.h"
#include "platform/file_open.h"
#include "platform/ini_text.h"
#include "platform/kernel.h"
#include "platform/machine.h"
#include "platform/path_map.h"

namespace platform {

namespace {

// A file name without a folder names a file of the Windows folder; no name means win.ini.
std::string profile_path(LPCSTR file_name) {
  std::string_view name = file_name ? file_name : "win.ini";
  if (name.find_first_of("\\/:") == std::string_view::npos) return "C:\\Windows\\" + std::string(name);
  return std::string(name);
}

// Names given by the caller lose their outer spaces (only spaces: tabs stay).
std::string_view trim_spaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool read_all(int fd, std::string* bytes) {
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n > 0) {
      bytes->append(chunk, static_cast<std::size_t>(n));
    } else if (n == 0) {
      return true;
    } else if (errno != EINTR) {
      return false;
    }
  }
}

struct LoadedProfile {
  bool found = false;
  IniText ini;
};

// The parsed file, or found == false when it cannot be read (for readers, a file another
// handle keeps from sharing reads as a missing one).
LoadedProfile load_profile(LPCSTR file_name) {
  LoadedProfile loaded;
  DWORD error = 0;
  OpenedFile opened = open_windows_file(
      profile_path(file_name), OpenRequest{GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING}, &error);
  std::string bytes;
  if (!opened.fd || !read_all(opened.fd.get(), &bytes)) return loaded;
  loaded.found = true;
  loaded.ini = IniText::parse(bytes, Machine::current().settings().code_page);
  return loaded;
}

struct Copied {
  DWORD count;
  bool truncated;
};

// One NUL-terminated string, cut to size - 1 characters.
Copied copy_string(std::string_view text, LPSTR out, DWORD size) {
  if (size == 0) return {0, !text.empty()};
  std::size_t count = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(out, text.data(), count);
  out[count] = '\0';
  return {static_cast<DWORD>(count), count < text.size()};
}

// NUL-separated names and one more NUL; what does not fit is cut to size - 2 characters and
// still ends in two NULs.
Copied copy_list(const std::vector<std::string_view>& names, LPSTR out, DWORD size) {
  std::string list;
  for (auto name : names) {
    list.append(name);
    list.push_back('\0');
  }
  if (size < 2) {
    if (size == 1) out[0] = '\0';
    return {0, !list.empty()};
  }
  if (list.size() + 1 <= size) {
    std::memcpy(out, list.data(), list.size());
    out[list.size()] = '\0';
    if (list.empty()) out[1] = '\0';
    return {static_cast<DWORD>(list.size()), false};
  }
  std::memcpy(out, list.data(), size - 2);
  out[size - 2] = '\0';
  out[size - 1] = '\0';
  return {size - 2, true};
}

std::vector<std::string_view> section_names(const IniText& ini) {
  std::vector<std::string_view> names;
  for (const auto& section : ini.sections()) names.push_back(section.name);
  return names;
}

std::vector<std::string_view> key_names(const IniText& ini, std::string_view section) {
  std::vector<std::string_view> names;
  if (const IniSection* found = ini.find_section(section)) {
    for (const auto& entry : found->entries) names.push_back(entry.key);
  }
  return names;
}

// ---- Writing ----

struct Splice {
  std::size_t begin;
  std::size_t end;
  std::string bytes;
};

class ProfileEditor {
 public:
  ProfileEditor(std::string_view bytes, const IniText& ini) : bytes_(bytes), ini_(ini) {}

  // The new file bytes, or nullopt when the call changes nothing.
  std::optional<std::string> edit(std::string_view section, LPCSTR key, LPCSTR value) {
    const IniSection* found = ini_.find_section(section);
    if (!key) {
      if (found) delete_section(*found);
    } else if (!value) {
      if (const IniEntry* entry = find_entry(found, trim_spaces(key))) remove_line(entry->line);
    } else if (!found) {
      add_section(section, trim_spaces(key), value);
    } else if (const IniEntry* entry = find_entry(found, trim_spaces(key))) {
      // The key keeps the spelling it has in the file.
      const IniLineSpan& span = ini_.spans()[entry->line];
      splices_.push_back({span.begin, span.end, encode(entry->key + "=" + value)});
    } else {
      insert_after(found->entries.empty() ? found->line : found->entries.back().line,
                   std::string(trim_spaces(key)) + "=" + value);
    }
    if (splices_.empty()) return std::nullopt;
    return apply();
  }

 private:
  static const IniEntry* find_entry(const IniSection* section, std::string_view key) {
    if (!section) return nullptr;
    for (const auto& entry : section->entries) {
      if (equal_names(entry.key, key)) return &entry;
    }
    return nullptr;
  }

  // Text in the machine's code page as bytes of the file's encoding.
  std::string encode(std::string_view text) const {
    if (!ini_.utf16()) return std::string(text);
    std::u16string wide = ansi_to_utf16(text);
    std::string out;
    out.reserve(wide.size() * 2);
    for (char16_t c : wide) {
      out.push_back(static_cast<char>(c & 0xFF));
      out.push_back(static_cast<char>(c >> 8));
    }
    return out;
  }

  std::string new_line() const { return encode("\r\n"); }

  void remove_line(std::size_t line) {
    const IniLineSpan& span = ini_.spans()[line];
    splices_.push_back({span.begin, span.next, {}});
  }

  // Removes the [name] line and the section's entries; comments and blank lines stay.
  void delete_section(const IniSection& section) {
    for (std::size_t n = section.line; n < section.end_line; ++n) {
      std::string_view text = trim_blanks(ini_.lines()[n]);
      if (n == section.line || (!text.empty() && text.front() != ';')) remove_line(n);
    }
  }

  void insert_after(std::size_t line, const std::string& text) {
    const IniLineSpan& span = ini_.spans()[line];
    std::string bytes = span.next == span.end ? new_line() : std::string();
    bytes += encode(text);
    bytes += new_line();
    splices_.push_back({span.next, span.next, std::move(bytes)});
  }

  void add_section(std::string_view section, std::string_view key, std::string_view value) {
    std::string bytes;
    const auto& spans = ini_.spans();
    if (!spans.empty()) {
      if (spans.back().next == spans.back().end) bytes += new_line();
      if (!trim_blanks(ini_.lines().back()).empty()) bytes += new_line();
    }
    bytes += encode("[" + std::string(section) + "]\r\n" + std::string(key) + "=" + std::string(value) + "\r\n");
    splices_.push_back({bytes_.size(), bytes_.size(), std::move(bytes)});
  }

  std::string apply() {
    std::sort(splices_.begin(), splices_.end(),
              [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
    std::string out;
    std::size_t at = 0;
    for (const auto& splice : splices_) {
      out.append(bytes_.substr(at, splice.begin - at));
      out += splice.bytes;
      at = splice.end;
    }
    out.append(bytes_.substr(at));
    return out;
  }

  std::string_view bytes_;
  const IniText& ini_;
  std::vector<Splice> splices_;
};

// Writers of one profile take turns: a byte of the machine's profile lock file, chosen by the
// file's full Windows name, is locked for the whole read-edit-replace. Open file description
// locks keep threads of one process apart as well as processes.
class WriterTurn {
 public:
  explicit WriterTurn(const std::string& full_path) {
    std::string folded = full_path;
    for (char& c : folded) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    fd_.reset(::open((Machine::current().run_dir() + "/profile.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd_) return;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(std::hash<std::string>{}(folded) % 1000003);
    lock.l_len = 1;
    while (::fcntl(fd_.get(), F_OFD_SETLKW, &lock) != 0) {
      if (errno != EINTR) {
        fd_.reset();
        return;
      }
    }
  }

  bool held() const { return fd_.valid(); }

 private:
  ScopedFd fd_;  // closing it ends the turn
};

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Writes `bytes` to a new file beside `host` and renames it over `host`.
DWORD replace_file(const std::string& host, std::string_view bytes, mode_t mode) {
  std::size_t slash = host.rfind('/');
  std::string temp = host.substr(0, slash + 1) + "." + host.substr(slash + 1) + ".XXXXXX";
  ScopedFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd) return errno == ENOENT ? ERROR_PATH_NOT_FOUND : win32_error_from_errno(errno);
  if (!write_all(fd.get(), bytes) || ::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0 ||
      ::rename(temp.c_str(), host.c_str()) != 0) {
    DWORD error = win32_error_from_errno(errno);
    ::unlink(temp.c_str());
    return error;
  }
  return ERROR_SUCCESS;
}

}  // namespace

}  // namespace platform

DWORD GetPrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR defaultValue, LPSTR returned, DWORD size,
                               LPCSTR fileName) {
  if (!returned && size > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  platform::LoadedProfile profile = platform::load_profile(fileName);
  platform::Copied copied{0, false};
  if (!appName) {
    copied = platform::copy_list(platform::section_names(profile.ini), returned, size);
  } else if (!keyName) {
    copied = platform::copy_list(platform::key_names(profile.ini, platform::trim_spaces(appName)), returned, size);
  } else if (auto value = profile.ini.value(platform::trim_spaces(appName), platform::trim_spaces(keyName))) {
    copied = platform::copy_string(*value, returned, size);
  } else {
    std::string_view fallback = defaultValue ? defaultValue : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    copied = platform::copy_string(fallback, returned, size);
  }
  if (copied.truncated) {
    SetLastError(ERROR_MORE_DATA);
  } else if (!profile.found) {
    SetLastError(ERROR_FILE_NOT_FOUND);
  } else {
    SetLastError(ERROR_SUCCESS);
  }
  return copied.count;
}

UINT GetPrivateProfileIntA(LPCSTR appName, LPCSTR keyName, INT defaultValue, LPCSTR fileName) {
  platform::LoadedProfile profile = platform::load_profile(fileName);
  SetLastError(profile.found ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  if (!appName || !keyName) return static_cast<UINT>(defaultValue);
  auto value = profile.ini.value(platform::trim_spaces(appName), platform::trim_spaces(keyName));
  if (!value) return static_cast<UINT>(defaultValue);
  // The leading decimal digits count; a value below zero reads as zero, and digits past the
  // range of UINT wrap around.
  UINT number = 0;
  for (char c : *value) {
    if (c < '0' || c > '9') break;
    number = number * 10 + static_cast<UINT>(c - '0');
  }
  return number;
}

BOOL WritePrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR value, LPCSTR fileName) {
  if (!appName) {
    // All three NULL asks to flush a cache; there is none, and Windows answers FALSE then too.
    if (!keyName && !value) return FALSE;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD error = 0;
  std::string full = platform::full_windows_path(platform::profile_path(fileName), &error);
  if (full.empty()) {
    SetLastError(error);
    return FALSE;
  }
  platform::WriterTurn turn(full);
  if (!turn.held()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  platform::OpenedFile opened = platform::open_windows_file(
      full, platform::OpenRequest{GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING},
      &error);
  const bool existed = opened.fd.valid();
  if (!existed && error != ERROR_FILE_NOT_FOUND) {
    SetLastError(error);
    return FALSE;
  }
  std::string bytes;
  mode_t mode = 0644;
  if (existed) {
    struct stat st;
    if (!platform::read_all(opened.fd.get(), &bytes) || ::fstat(opened.fd.get(), &st) != 0) {
      SetLastError(platform::win32_error_from_errno(errno));
      return FALSE;
    }
    mode = st.st_mode & 07777;
  }
  platform::IniText ini = platform::IniText::parse(bytes, platform::Machine::current().settings().code_page);
  auto edited = platform::ProfileEditor(bytes, ini).edit(platform::trim_spaces(appName), keyName, value);
  if (edited) {
    error = platform::replace_file(opened.host_path, *edited, mode);
    if (error != ERROR_SUCCESS) {
      SetLastError(error);
      return FALSE;
    }
  }
  // Windows reports a file it had to create with ERROR_FILE_NOT_FOUND, and still succeeds.
  SetLastError(existed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  return TRUE;
}
