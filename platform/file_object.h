// The kernel object behind a file handle, and the Windows view of a host file's metadata.
#pragma once

#include <sys/stat.h>

#include "platform/handle_table.h"
#include "platform/scoped_handle.h"
#include "platform/types.h"

namespace platform {

struct FileObject : KernelObject {
  ScopedFd fd;
};

// FILE_ATTRIBUTE_DIRECTORY for folders, FILE_ATTRIBUTE_ARCHIVE for files (Windows sets it on
// every file written), FILE_ATTRIBUTE_READONLY when the owner may not write.
DWORD attributes_from_stat(const struct stat& st);

FILETIME filetime_from_timespec(const struct timespec& time);

}  // namespace platform
