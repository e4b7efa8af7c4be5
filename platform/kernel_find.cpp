// kernel32 directory listing: FindFirstFileA, FindFirstFileExA, FindNextFileA, FindClose.
//
// The listing is taken whole when the search starts. Entries come sorted by their upper-cased
// names, the order NTFS gives; "." and ".." come first, for every folder but a drive root.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/codepage.h"
#include "platform/error_map.h"
#include "platform/file_object.h"
#include "platform/file_open.h"
#include "platform/handle_table.h"
#include "platform/kernel.h"
#include "platform/path_map.h"
#include "platform/scoped_handle.h"
#include "platform/wildcard.h"

namespace platform {

namespace {

struct FindObject : KernelObject {
  std::vector<WIN32_FIND_DATAA> entries;
  std::size_t next = 0;
};

WIN32_FIND_DATAA entry_data(const std::string& ansi_name, const struct stat& st) {
  WIN32_FIND_DATAA data = {};
  data.dwFileAttributes = attributes_from_stat(st);
  data.ftCreationTime = filetime_from_timespec(st.st_mtim);
  data.ftLastAccessTime = filetime_from_timespec(st.st_atim);
  data.ftLastWriteTime = filetime_from_timespec(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    auto size = static_cast<std::uint64_t>(st.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
  }
  std::size_t n = std::min(ansi_name.size(), sizeof data.cFileName - 1);
  std::memcpy(data.cFileName, ansi_name.data(), n);
  return data;
}

std::string upper_ascii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

bool list_folder(const std::string& host_folder, std::string_view pattern, bool drive_root,
                 std::vector<WIN32_FIND_DATAA>* out, DWORD* error) {
  ScopedDir dir(::opendir(host_folder.c_str()));
  if (!dir) {
    *error = errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : win32_error_from_errno(errno);
    return false;
  }
  std::vector<std::pair<std::string, WIN32_FIND_DATAA>> found;
  while (dirent* entry = ::readdir(dir.get())) {
    std::string_view name = entry->d_name;
    if (drive_root && (name == "." || name == "..")) continue;
    std::string ansi = utf8_to_ansi(name);
    if (!dos_wildcard_match(pattern, ansi)) continue;
    struct stat st;
    if (::stat((host_folder + "/" + entry->d_name).c_str(), &st) != 0) continue;
    found.emplace_back(ansi, entry_data(ansi, st));
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    bool a_dot = a.first == "." || a.first == "..";
    bool b_dot = b.first == "." || b.first == "..";
    if (a_dot != b_dot) return a_dot;
    return upper_ascii(a.first) < upper_ascii(b.first);
  });
  for (auto& [name, data] : found) out->push_back(data);
  if (out->empty()) {
    *error = ERROR_FILE_NOT_FOUND;
    return false;
  }
  return true;
}

HANDLE find_first(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  if (!pattern || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string_view raw(pattern);
  if (!raw.empty() && (raw.back() == '\\' || raw.back() == '/')) {
    SetLastError(ERROR_FILE_NOT_FOUND);  // a trailing separator names no entry
    return INVALID_HANDLE_VALUE;
  }
  DWORD error = 0;
  std::string full = full_windows_path(raw, &error);
  if (full.empty()) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (is_drive_root(full)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::size_t slash = full.rfind('\\');
  std::string folder = full.substr(0, slash == 2 ? 3 : slash);
  std::string name = full.substr(slash + 1);

  auto object = std::make_shared<FindObject>();
  auto host_folder = host_path(folder, &error);
  if (!host_folder) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (name.find_first_of("*?") != std::string::npos) {
    DWORD invalid = 0;
    if (!host_path(full, &invalid, HostPathOptions{true})) {
      SetLastError(invalid);
      return INVALID_HANDLE_VALUE;
    }
    if (!list_folder(*host_folder, name, is_drive_root(folder), &object->entries, &error)) {
      SetLastError(error);
      return INVALID_HANDLE_VALUE;
    }
  } else {
    auto host = host_path(full, &error);
    struct stat st;
    if (!host || ::stat(host->c_str(), &st) != 0) {
      SetLastError(!host ? error : missing_file_error(*host));
      return INVALID_HANDLE_VALUE;
    }
    std::string on_disk = host->substr(host->rfind('/') + 1);
    object->entries.push_back(entry_data(utf8_to_ansi(on_disk), st));
  }
  *data = object->entries[0];
  object->next = 1;
  SetLastError(ERROR_SUCCESS);
  return insert_handle(std::move(object));
}

}  // namespace

}  // namespace platform

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) { return platform::find_first(pattern, data); }

HANDLE FindFirstFileExA(LPCSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op, LPVOID filter,
                        DWORD) {
  if ((level != FindExInfoStandard && level != FindExInfoBasic) || filter ||
      (op != FindExSearchNameMatch && op != FindExSearchLimitToDirectories)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // Limiting to folders is advisory on Windows too: file systems may return files as well.
  return platform::find_first(pattern, static_cast<LPWIN32_FIND_DATAA>(data));
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
  auto object = platform::lookup_handle_as<platform::FindObject>(find);
  if (!object || !data) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object->next >= object->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *data = object->entries[object->next++];
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  if (!platform::lookup_handle_as<platform::FindObject>(find) || !platform::remove_handle(find)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
