#include "platform/crt.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/file_open.h"
#include "platform/kernel.h"

namespace {

struct PathParts {
  std::string_view drive, dir, fname, ext;
};

PathParts split(std::string_view path) {
  PathParts parts;
  if (path.size() >= 2 && path[1] == ':') {
    parts.drive = path.substr(0, 2);
    path.remove_prefix(2);
  }
  std::size_t last_separator = path.find_last_of("\\/");
  std::string_view name = path;
  if (last_separator != std::string_view::npos) {
    parts.dir = path.substr(0, last_separator + 1);
    name = path.substr(last_separator + 1);
  }
  std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) {
    parts.fname = name.substr(0, dot);
    parts.ext = name.substr(dot);
  } else {
    parts.fname = name;
  }
  return parts;
}

void put(char* out, std::string_view part) {
  if (!out) return;
  // An absent part is an empty view whose data() is null, which memcpy must not be given.
  if (!part.empty()) std::memcpy(out, part.data(), part.size());
  out[part.size()] = '\0';
}

int errno_from_win32(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_DISK_FULL:
      return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    default:
      return EACCES;  // access denied, sharing and lock violations, write protection
  }
}

}  // namespace

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
  if (!path) return;
  std::string_view p(path);
  if (p.size() >= _MAX_PATH) p = p.substr(0, _MAX_PATH - 1);
  PathParts parts = split(p);
  put(drive, parts.drive);
  // The unchecked runtime copies at most the documented maximum of each part.
  put(dir, parts.dir.substr(0, _MAX_DIR - 1));
  put(fname, parts.fname.substr(0, _MAX_FNAME - 1));
  put(ext, parts.ext.substr(0, _MAX_EXT - 1));
}

errno_t _splitpath_s(const char* path, char* drive, size_t driveSize, char* dir, size_t dirSize, char* fname,
                     size_t fnameSize, char* ext, size_t extSize) {
  auto clear_all = [&] {
    if (drive && driveSize) drive[0] = '\0';
    if (dir && dirSize) dir[0] = '\0';
    if (fname && fnameSize) fname[0] = '\0';
    if (ext && extSize) ext[0] = '\0';
  };
  if (!path || (!drive && driveSize) || (drive && !driveSize) || (!dir && dirSize) || (dir && !dirSize) ||
      (!fname && fnameSize) || (fname && !fnameSize) || (!ext && extSize) || (ext && !extSize)) {
    clear_all();
    errno = EINVAL;
    return EINVAL;
  }
  PathParts parts = split(path);
  auto fits = [](char* out, size_t size, std::string_view part) { return !out || part.size() < size; };
  if (!fits(drive, driveSize, parts.drive) || !fits(dir, dirSize, parts.dir) ||
      !fits(fname, fnameSize, parts.fname) || !fits(ext, extSize, parts.ext)) {
    clear_all();
    errno = ERANGE;
    return ERANGE;
  }
  put(drive, parts.drive);
  put(dir, parts.dir);
  put(fname, parts.fname);
  put(ext, parts.ext);
  return 0;
}

FILE* _fsopen(const char* path, const char* mode, int shareFlag) {
  if (!path || !mode || !*mode) {
    errno = EINVAL;
    return nullptr;
  }
  platform::OpenRequest request;
  bool plus = std::strchr(mode, '+') != nullptr;
  const char* stdio_mode;
  switch (mode[0]) {
    case 'r':
      request.access = GENERIC_READ | (plus ? GENERIC_WRITE : 0);
      request.disposition = OPEN_EXISTING;
      stdio_mode = plus ? "r+" : "r";
      break;
    case 'w':
      request.access = GENERIC_WRITE | (plus ? GENERIC_READ : 0);
      request.disposition = CREATE_ALWAYS;
      stdio_mode = plus ? "w+" : "w";
      break;
    case 'a':
      request.access = GENERIC_WRITE | (plus ? GENERIC_READ : 0);
      request.disposition = OPEN_ALWAYS;
      request.append = true;
      stdio_mode = plus ? "a+" : "a";
      break;
    default:
      errno = EINVAL;
      return nullptr;
  }
  switch (shareFlag) {
    case _SH_DENYRW: request.share = 0; break;
    case _SH_DENYWR: request.share = FILE_SHARE_READ; break;
    case _SH_DENYRD: request.share = FILE_SHARE_WRITE; break;
    case _SH_DENYNO: request.share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default:
      errno = EINVAL;
      return nullptr;
  }
  DWORD error = 0;
  platform::OpenedFile opened = platform::open_windows_file(path, request, &error);
  if (!opened.fd) {
    SetLastError(error);
    errno = errno_from_win32(error);
    return nullptr;
  }
  FILE* file = ::fdopen(opened.fd.get(), stdio_mode);
  if (!file) return nullptr;
  opened.fd.release();  // the stream owns the descriptor now
  return file;
}
