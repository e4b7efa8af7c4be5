// The window table of this process, as the queue and endpoint code of the user module see it.
#pragma once

#include "platform/user.h"

namespace platform::user {

struct WindowTarget {
  WNDPROC procedure = nullptr;
  DWORD thread_id = 0;
};

// False when the window is not one of this process's (or is destroyed).
bool find_local_window(HWND window, WindowTarget* target);

// A visible window of the thread whose area is invalid (limited to filter when given), or null.
HWND window_to_paint(DWORD thread_id, HWND filter);

}  // namespace platform::user
