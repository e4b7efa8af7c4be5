// MoveFileExA: a rename within drive C, with Windows' sharing rules for the moved file and the
// file it replaces.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/error_map.h"
#include "platform/file_open.h"
#include "platform/kernel.h"
#include "platform/path_map.h"
#include "platform/scoped_handle.h"
#include "platform/share_lock.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::optional<std::string> host_of(LPCSTR path) {
  DWORD error = 0;
  auto host = platform::host_path(path, &error);
  if (!host) SetLastError(error);
  return host;
}

// True when no handle of any process keeps `fd`'s file open without sharing delete access,
// which both the moved file and a replaced one need. Call under the file's ShareGuard.
bool delete_shared(int fd) { return platform::share_compatible(fd, platform::kAccessDelete, kShareAll); }

platform::ScopedFd open_for_check(const std::string& host) {
  return platform::ScopedFd(::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
}

void sync_folder_of(const std::string& host) {
  std::size_t slash = host.rfind('/');
  platform::ScopedFd folder(::open(host.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder) ::fsync(folder.get());
}

BOOL rename_file(const std::string& source, const std::string& target, DWORD flags) {
  if (::rename(source.c_str(), target.c_str()) != 0) {
    SetLastError(errno == EXDEV ? ERROR_NOT_SAME_DEVICE : platform::win32_error_from_errno(errno));
    return FALSE;
  }
  if (flags & MOVEFILE_WRITE_THROUGH) sync_folder_of(target);
  return TRUE;
}

}  // namespace

BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags) {
  if (!existing || !newName || (flags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto source = host_of(existing);
  if (!source) return FALSE;
  auto target = host_of(newName);
  if (!target) return FALSE;

  struct stat source_stat;
  if (::lstat(source->c_str(), &source_stat) != 0) {
    SetLastError(errno == ENOENT ? platform::missing_file_error(*source) : platform::win32_error_from_errno(errno));
    return FALSE;
  }
  struct stat target_stat;
  bool target_exists = ::lstat(target->c_str(), &target_stat) == 0;
  if (!target_exists && errno != ENOENT) {
    platform::set_last_error_from_errno(errno);
    return FALSE;
  }
  if (!target_exists && platform::missing_file_error(*target) == ERROR_PATH_NOT_FOUND) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  bool same_file = target_exists && source_stat.st_dev == target_stat.st_dev && source_stat.st_ino == target_stat.st_ino;
  if (target_exists && !same_file) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
    if (S_ISDIR(target_stat.st_mode) || S_ISDIR(source_stat.st_mode) || !(target_stat.st_mode & S_IWUSR)) {
      SetLastError(ERROR_ACCESS_DENIED);  // folders are never replaced, nor read-only files
      return FALSE;
    }
  }

  // Only one share guard may be held at a time: the moved file is checked under its own,
  // then the rename runs under the guard of the file it replaces.
  if (!S_ISDIR(source_stat.st_mode)) {
    platform::ScopedFd source_fd = open_for_check(*source);
    if (source_fd) {
      platform::ShareGuard guard(source_fd.get());
      if (!delete_shared(source_fd.get())) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
      }
    }
  }
  if (target_exists && !same_file) {
    platform::ScopedFd target_fd = open_for_check(*target);
    if (target_fd) {
      platform::ShareGuard guard(target_fd.get());
      if (!delete_shared(target_fd.get())) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
      }
      return rename_file(*source, *target, flags);
    }
  }
  return rename_file(*source, *target, flags);
}
