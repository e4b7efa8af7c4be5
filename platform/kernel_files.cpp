// kernel32 files and folders: CreateFileA, ReadFile, WriteFile, SetFilePointer, GetFileSize,
// DeleteFileA, CreateDirectoryA, RemoveDirectoryA, GetFileAttributesA, GetFullPathNameA.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/error_map.h"
#include "platform/file_object.h"
#include "platform/file_open.h"
#include "platform/handle_table.h"
#include "platform/kernel.h"
#include "platform/path_map.h"
#include "platform/share_lock.h"

namespace platform {

namespace {

DWORD share_rights(DWORD access) {
  DWORD rights = 0;
  if (access & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE)) rights |= kAccessRead;
  if (access & (GENERIC_WRITE | GENERIC_ALL)) rights |= kAccessWrite;
  if (access & (DELETE | GENERIC_ALL)) rights |= kAccessDelete;
  return rights;
}

bool owner_may_write(const struct stat& st) { return (st.st_mode & S_IWUSR) != 0; }

// A folder without the owner's write bit stands for one the user may not write; root on the
// host could still create files in it, so the layer refuses them itself.
bool folder_refuses_new_files(const std::string& host) {
  std::size_t slash = host.rfind('/');
  struct stat st;
  return slash != std::string::npos && ::stat(host.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         !owner_may_write(st);
}

}  // namespace

DWORD missing_file_error(const std::string& host) {
  std::size_t slash = host.rfind('/');
  struct stat st;
  if (slash != std::string::npos && ::stat(host.substr(0, slash).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    return ERROR_FILE_NOT_FOUND;
  }
  return ERROR_PATH_NOT_FOUND;
}

OpenedFile open_windows_file(std::string_view path, const OpenRequest& request, DWORD* error) {
  OpenedFile result;
  auto host = host_path(path, error);
  if (!host) return result;
  result.host_path = *host;

  const DWORD rights = share_rights(request.access);
  const bool wants_write = (rights & kAccessWrite) != 0 || request.disposition == CREATE_ALWAYS ||
                           request.disposition == TRUNCATE_EXISTING;
  if (request.disposition < CREATE_NEW || request.disposition > TRUNCATE_EXISTING ||
      (request.disposition == TRUNCATE_EXISTING && !(rights & kAccessWrite))) {
    *error = ERROR_INVALID_PARAMETER;
    return result;
  }
  // Share-mode locks are shared locks, which need a descriptor open for reading.
  int flags = (wants_write ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NOCTTY;
  if (request.append) flags |= O_APPEND;

  for (;;) {
    if (request.disposition != CREATE_NEW) {
      result.fd.reset(::open(host->c_str(), flags));
      if (result.fd) {
        result.existed = true;
        break;
      }
      if (errno != ENOENT || request.disposition == OPEN_EXISTING || request.disposition == TRUNCATE_EXISTING) {
        *error = errno == ENOENT ? missing_file_error(*host) : win32_error_from_errno(errno);
        if (errno == EISDIR) *error = ERROR_ACCESS_DENIED;
        return result;
      }
    }
    if (folder_refuses_new_files(*host)) {
      *error = ERROR_ACCESS_DENIED;
      return result;
    }
    result.fd.reset(::open(host->c_str(), flags | O_CREAT | O_EXCL, 0644));
    if (result.fd) break;
    if (errno == EEXIST && request.disposition != CREATE_NEW) continue;  // lost a race: open it
    *error = errno == EEXIST ? ERROR_FILE_EXISTS
             : errno == ENOENT ? ERROR_PATH_NOT_FOUND
                               : win32_error_from_errno(errno);
    return result;
  }

  struct stat st;
  if (::fstat(result.fd.get(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      result.fd.reset();
      *error = ERROR_ACCESS_DENIED;
      return result;
    }
    // Windows refuses write access to a file with the read-only attribute, even to an
    // administrator; root on the host would not be refused, so the layer checks itself.
    if (result.existed && (rights & kAccessWrite) && !owner_may_write(st)) {
      result.fd.reset();
      *error = ERROR_ACCESS_DENIED;
      return result;
    }
  }

  {
    ShareGuard guard(result.fd.get());
    if (!share_compatible(result.fd.get(), rights, request.share) ||
        !take_share_locks(result.fd.get(), rights, request.share)) {
      result.fd.reset();
      *error = ERROR_SHARING_VIOLATION;
      return result;
    }
  }
  if (result.existed &&
      (request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING) &&
      ::ftruncate(result.fd.get(), 0) != 0) {
    *error = win32_error_from_errno(errno);
    result.fd.reset();
    return result;
  }
  *error = ERROR_SUCCESS;
  return result;
}

}  // namespace platform

using platform::FileObject;

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD,
                   HANDLE) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  DWORD error = 0;
  platform::OpenedFile opened =
      platform::open_windows_file(path, platform::OpenRequest{access, share, disposition, false}, &error);
  if (!opened.fd) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  auto object = std::make_shared<FileObject>();
  object->fd = std::move(opened.fd);
  HANDLE handle = platform::insert_handle(std::move(object));
  bool reports_existing = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
  SetLastError(reports_existing && opened.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void*) {
  if (read) *read = 0;
  auto object = platform::lookup_handle_as<FileObject>(file);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ssize_t n;
  do {
    n = ::read(object->fd.get(), buffer, toRead);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    platform::set_last_error_from_errno(errno);
    return FALSE;
  }
  if (read) *read = static_cast<DWORD>(n);
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, void*) {
  if (written) *written = 0;
  auto object = platform::lookup_handle_as<FileObject>(file);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const char* p = static_cast<const char*>(buffer);
  DWORD done = 0;
  while (done < toWrite) {
    ssize_t n = ::write(object->fd.get(), p + done, toWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      platform::set_last_error_from_errno(n < 0 ? errno : ENOSPC);
      if (written) *written = done;
      return FALSE;
    }
    done += static_cast<DWORD>(n);
  }
  if (written) *written = done;
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
  auto object = platform::lookup_handle_as<FileObject>(file);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  off_t offset = distanceHigh ? static_cast<off_t>((static_cast<std::uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32) |
                                                   static_cast<DWORD>(distance))
                              : static_cast<off_t>(distance);
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  off_t position = ::lseek(object->fd.get(), offset, whence);
  if (position < 0) {
    SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : platform::win32_error_from_errno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(position) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position);
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  auto object = platform::lookup_handle_as<FileObject>(file);
  struct stat st;
  if (!object || ::fstat(object->fd.get(), &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  auto size = static_cast<std::uint64_t>(st.st_size);
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

BOOL DeleteFileA(LPCSTR path) {
  DWORD error = 0;
  auto host = path ? platform::host_path(path, &error) : std::nullopt;
  if (!host) {
    SetLastError(path ? error : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat st;
  if (::lstat(host->c_str(), &st) != 0) {
    SetLastError(errno == ENOENT ? platform::missing_file_error(*host) : platform::win32_error_from_errno(errno));
    return FALSE;
  }
  if (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR)) {
    SetLastError(ERROR_ACCESS_DENIED);  // folders, and files with the read-only attribute
    return FALSE;
  }
  platform::ScopedFd fd(::open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd) {
    platform::ShareGuard guard(fd.get());
    if (!platform::share_compatible(fd.get(), platform::kAccessDelete, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                                           FILE_SHARE_DELETE)) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return FALSE;
    }
    if (::unlink(host->c_str()) != 0) {
      platform::set_last_error_from_errno(errno);
      return FALSE;
    }
    return TRUE;
  }
  if (::unlink(host->c_str()) != 0) {
    platform::set_last_error_from_errno(errno);
    return FALSE;
  }
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
  DWORD error = 0;
  std::string full = path ? platform::full_windows_path(path, &error) : std::string();
  if (full.empty()) {
    SetLastError(path ? error : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // A drive root cannot be created; reports differ between 183 and 5, and this layer
  // answers ERROR_ACCESS_DENIED as current Windows versions are reported to.
  if (platform::is_drive_root(full)) {
    SetLastError(full[0] == 'C' ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  auto host = platform::host_path(full, &error);
  if (!host) {
    SetLastError(error);
    return FALSE;
  }
  if (::mkdir(host->c_str(), 0755) != 0) {
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS
                 : errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                       : platform::win32_error_from_errno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
  DWORD error = 0;
  auto host = path ? platform::host_path(path, &error) : std::nullopt;
  if (!host) {
    SetLastError(path ? error : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (::rmdir(host->c_str()) != 0) {
    SetLastError(errno == ENOENT ? platform::missing_file_error(*host)
                 : errno == ENOTDIR ? ERROR_DIRECTORY
                                    : platform::win32_error_from_errno(errno));
    return FALSE;
  }
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) {
  DWORD error = 0;
  auto host = path ? platform::host_path(path, &error) : std::nullopt;
  if (!host) {
    SetLastError(path ? error : ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat st;
  if (::stat(host->c_str(), &st) != 0) {
    SetLastError(errno == ENOENT ? platform::missing_file_error(*host) : platform::win32_error_from_errno(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return platform::attributes_from_stat(st);
}

DWORD GetFullPathNameA(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* filePart) {
  DWORD error = 0;
  std::string full = path ? platform::full_windows_path(path, &error) : std::string();
  if (full.empty()) {
    SetLastError(path ? error : ERROR_INVALID_PARAMETER);
    return 0;
  }
  // A trailing separator in the input stays, as Windows keeps it.
  std::string_view in(path);
  if (!platform::is_drive_root(full) && (in.back() == '\\' || in.back() == '/')) full += '\\';
  if (full.size() + 1 > size) return static_cast<DWORD>(full.size() + 1);
  std::memcpy(buffer, full.c_str(), full.size() + 1);
  if (filePart) {
    std::size_t slash = full.rfind('\\');
    *filePart = (slash + 1 < full.size()) ? buffer + slash + 1 : nullptr;
  }
  return static_cast<DWORD>(full.size());
}
