// The one translation of POSIX errno values into Windows error numbers.
#pragma once

#include "platform/types.h"

namespace platform {

// Windows error number for a POSIX errno value; ERROR_ACCESS_DENIED for anything unmapped
// that is a permission matter, ERROR_INVALID_PARAMETER for the rest.
DWORD win32_error_from_errno(int error);

// Sets the calling thread's last error from errno and returns it.
DWORD set_last_error_from_errno(int error);

}  // namespace platform
