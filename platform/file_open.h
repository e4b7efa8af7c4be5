// Opening a file of the machine by its Windows path, with Windows access rights, share mode
// and creation disposition. CreateFileA and the C runtime's _fsopen both open through here.
#pragma once

#include <string>
#include <string_view>

#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

struct OpenRequest {
  DWORD access = 0;       // GENERIC_READ, GENERIC_WRITE, DELETE
  DWORD share = 0;        // FILE_SHARE_*
  DWORD disposition = 0;  // CREATE_NEW ... TRUNCATE_EXISTING
  bool append = false;    // every write goes to the end
};

struct OpenedFile {
  ScopedFd fd;
  std::string host_path;
  bool existed = false;  // CREATE_ALWAYS and OPEN_ALWAYS report this as ERROR_ALREADY_EXISTS
};

// The opened file, or an invalid fd with the Windows error in *error.
OpenedFile open_windows_file(std::string_view path, const OpenRequest& request, DWORD* error);

// ERROR_FILE_NOT_FOUND when the folder of `host` exists, ERROR_PATH_NOT_FOUND otherwise.
DWORD missing_file_error(const std::string& host);

}  // namespace platform
