// SHFileOperationA over the layer's own file functions, so paths, letter case, share modes
// and Windows errors behave exactly as for a program's own calls.
#include "platform/shell_file_operation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error_map.h"
#include "platform/file_open.h"
#include "platform/kernel.h"
#include "platform/path_map.h"
#include "platform/scoped_handle.h"

namespace platform {

namespace {

struct FindTraits {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool is_valid(Handle h) noexcept { return h != INVALID_HANDLE_VALUE; }
  static void close(Handle h) noexcept { ::FindClose(h); }
};
using ScopedFind = ScopedHandle<FindTraits>;

// One file or folder the operation works on, by full Windows path.
struct Item {
  std::string path;
  std::string name;
  bool folder = false;
};

struct Operation {
  bool recurse = true;
  bool files_only = false;
};

std::vector<std::string> split_list(PCZZSTR list) {
  std::vector<std::string> entries;
  for (const char* p = list; p && *p; p += entries.back().size() + 1) entries.emplace_back(p);
  return entries;
}

std::string upper_ascii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// Names compare as the file system compares them: without regard to letter case.
bool same_path(std::string_view a, std::string_view b) { return upper_ascii(a) == upper_ascii(b); }
bool is_inside(std::string_view path, std::string_view folder) {
  return path.size() > folder.size() && path[folder.size()] == '\\' &&
         same_path(path.substr(0, folder.size()), folder);
}

std::string join(const std::string& folder, std::string_view name) {
  return folder.back() == '\\' ? folder + std::string(name) : folder + "\\" + std::string(name);
}

std::string parent_of(const std::string& full) {
  std::size_t slash = full.rfind('\\');
  return full.substr(0, slash == 2 ? 3 : slash);
}

bool is_folder(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The entries of a folder (without "." and ".."), or of a pattern's folder that match it.
int list_entries(const std::string& pattern, std::vector<WIN32_FIND_DATAA>* entries) {
  WIN32_FIND_DATAA data;
  ScopedFind find(::FindFirstFileA(pattern.c_str(), &data));
  if (!find) {
    DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? 0 : static_cast<int>(error);
  }
  do {
    std::string_view name = data.cFileName;
    if (name != "." && name != "..") entries->push_back(data);
  } while (::FindNextFileA(find.get(), &data));
  return 0;
}

// The items one pFrom entry names; *pattern tells whether it held wildcards.
int expand_source(const std::string& entry, const Operation& op, std::vector<Item>* items, bool* pattern) {
  DWORD error = 0;
  std::string full = full_windows_path(entry, &error);
  if (full.empty()) return DE_INVALIDFILES;
  if (is_drive_root(full)) return DE_ROOTDIR;
  std::string folder = parent_of(full);
  std::string name = full.substr(full.rfind('\\') + 1);
  *pattern = name.find_first_of("*?") != std::string::npos;
  if (!host_path(full, &error, HostPathOptions{*pattern})) {
    return error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : DE_INVALIDFILES;
  }
  if (!*pattern) {
    // The name as it is on disk, which a copy takes, whatever letter case the caller wrote.
    WIN32_FIND_DATAA data;
    ScopedFind find(::FindFirstFileA(full.c_str(), &data));
    if (!find) return ERROR_FILE_NOT_FOUND;
    items->push_back(Item{full, data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    return 0;
  }
  if (!is_folder(folder)) return ERROR_FILE_NOT_FOUND;
  std::vector<WIN32_FIND_DATAA> entries;
  if (int rc = list_entries(full, &entries)) return rc;
  for (const auto& data : entries) {
    bool sub_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (sub_folder && (op.files_only || !op.recurse)) continue;
    items->push_back(Item{join(folder, data.cFileName), data.cFileName, sub_folder});
  }
  return 0;
}

// Creates a folder and any missing parents; an existing folder is fine.
int make_folder_path(const std::string& full) {
  if (is_drive_root(full) || is_folder(full)) return 0;
  if (::GetFileAttributesA(full.c_str()) != INVALID_FILE_ATTRIBUTES) return DE_FLDDESTISFILE;
  if (int rc = make_folder_path(parent_of(full))) return rc;
  if (!::CreateDirectoryA(full.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    return static_cast<int>(::GetLastError());
  }
  return is_folder(full) ? 0 : DE_FLDDESTISFILE;
}

int copy_file(const std::string& source, const std::string& target) {
  if (same_path(source, target)) return DE_SAMEFILE;
  DWORD error = 0;
  // Reading shares writing too, so a file another program is still appending to (shared for
  // reading) can be copied; one held without read sharing cannot.
  OpenedFile in = open_windows_file(source, OpenRequest{GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING}, &error);
  if (!in.fd) return static_cast<int>(error);
  OpenedFile out = open_windows_file(target, OpenRequest{GENERIC_WRITE, 0, CREATE_ALWAYS}, &error);
  if (!out.fd) return static_cast<int>(error);
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = ::read(in.fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return static_cast<int>(win32_error_from_errno(errno));
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      ssize_t written = ::write(out.fd.get(), buffer + done, static_cast<std::size_t>(n - done));
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return static_cast<int>(win32_error_from_errno(written < 0 ? errno : ENOSPC));
      done += written;
    }
  }
  struct stat st;
  if (::fstat(in.fd.get(), &st) != 0) return static_cast<int>(win32_error_from_errno(errno));
  const struct timespec times[2] = {{0, UTIME_NOW}, st.st_mtim};
  if (::futimens(out.fd.get(), times) != 0) return static_cast<int>(win32_error_from_errno(errno));
  return 0;
}

int copy_folder(const std::string& source, const std::string& target, const Operation& op) {
  if (same_path(source, target)) return DE_SAMEFILE;
  if (is_inside(target, source)) return DE_DESTSUBTREE;
  if (int rc = make_folder_path(target)) return rc;
  std::vector<WIN32_FIND_DATAA> entries;
  if (int rc = list_entries(join(source, "*"), &entries)) return rc;
  for (const auto& data : entries) {
    std::string from = join(source, data.cFileName);
    std::string to = join(target, data.cFileName);
    int rc = 0;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      rc = copy_file(from, to);
    } else if (op.recurse) {
      rc = copy_folder(from, to, op);
    }
    if (rc) return rc;
  }
  return 0;
}

int delete_file(const std::string& path) {
  return ::DeleteFileA(path.c_str()) ? 0 : static_cast<int>(::GetLastError());
}

int delete_folder(const std::string& path, const Operation& op) {
  std::vector<WIN32_FIND_DATAA> entries;
  if (int rc = list_entries(join(path, "*"), &entries)) return rc;
  for (const auto& data : entries) {
    std::string inner = join(path, data.cFileName);
    int rc = 0;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      rc = delete_file(inner);
    } else if (op.recurse) {
      rc = delete_folder(inner, op);
    }
    if (rc) return rc;
  }
  return ::RemoveDirectoryA(path.c_str()) ? 0 : static_cast<int>(::GetLastError());
}

int copy_items(const std::vector<Item>& items, bool into_folder, PCZZSTR pTo, const Operation& op) {
  std::vector<std::string> targets = split_list(pTo);
  if (targets.size() != 1) return targets.empty() ? ERROR_INVALID_PARAMETER : DE_INVALIDFILES;
  DWORD error = 0;
  std::string destination = full_windows_path(targets[0], &error);
  if (destination.empty() || !host_path(destination, &error)) return DE_INVALIDFILES;
  into_folder = into_folder || is_folder(destination);
  for (const Item& item : items) {
    std::string target = into_folder ? join(destination, item.name) : destination;
    if (int rc = make_folder_path(into_folder ? destination : parent_of(destination))) return rc;
    if (int rc = item.folder ? copy_folder(item.path, target, op) : copy_file(item.path, target)) return rc;
  }
  return 0;
}

int run(LPSHFILEOPSTRUCTA request) {
  if (request->wFunc == FO_MOVE || request->wFunc == FO_RENAME) return ERROR_NOT_SUPPORTED;
  if (request->wFunc != FO_COPY && request->wFunc != FO_DELETE) return ERROR_INVALID_PARAMETER;
  if (request->fFlags & (FOF_MULTIDESTFILES | FOF_RENAMEONCOLLISION | FOF_WANTMAPPINGHANDLE)) {
    return ERROR_INVALID_PARAMETER;
  }
  std::vector<std::string> sources = split_list(request->pFrom);
  if (sources.empty()) return ERROR_INVALID_PARAMETER;

  Operation op;
  op.recurse = !(request->fFlags & FOF_NORECURSION);
  op.files_only = (request->fFlags & FOF_FILESONLY) != 0;
  // Every source is found before anything changes, so a folder the copy creates is never
  // taken for a source, and a missing source stops the operation before it begins.
  std::vector<Item> items;
  bool several = sources.size() > 1;
  for (const std::string& source : sources) {
    bool pattern = false;
    if (int rc = expand_source(source, op, &items, &pattern)) return rc;
    several = several || pattern;
  }
  if (request->wFunc == FO_COPY) return copy_items(items, several, request->pTo, op);
  for (const Item& item : items) {
    if (int rc = item.folder ? delete_folder(item.path, op) : delete_file(item.path)) return rc;
  }
  return 0;
}

}  // namespace

}  // namespace platform

int SHFileOperationA(LPSHFILEOPSTRUCTA lpFileOp) {
  if (!lpFileOp) return ERROR_INVALID_PARAMETER;
  lpFileOp->hNameMappings = nullptr;
  int rc = platform::run(lpFileOp);
  lpFileOp->fAnyOperationsAborted = rc != 0;
  return rc;
}
