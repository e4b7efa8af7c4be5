// kernel32 last error and handle closing.
#include "platform/handle_table.h"
#include "platform/kernel.h"

namespace {
thread_local DWORD t_last_error = ERROR_SUCCESS;
}

DWORD GetLastError() { return t_last_error; }

void SetLastError(DWORD error) { t_last_error = error; }

BOOL CloseHandle(HANDLE handle) {
  if (handle == GetCurrentProcess()) return TRUE;  // pseudo handle
  if (!platform::remove_handle(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
