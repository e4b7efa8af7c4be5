// A window's endpoint: how windows of other processes of the same machine folder are found
// and reached.
//
// Each top-level window has two entries in <run>/windows/, named by its handle in hex:
//   <handle>.window  its owner's process and thread ids, class and title (UTF-8); the owner holds
//                    a shared flock on it for the window's life, so a file nobody holds a lock
//                    on belongs to a process that died, and is removed by whoever finds it.
//   <handle>.sock    a local stream socket; one connection carries one request frame and its
//                    reply. A listener thread accepts, checks the peer's user id and gives every
//                    connection a thread of its own, so a stalled or broken peer holds up no other.
// The run folder is owner-only, so only the same user reaches these at all.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/scoped_handle.h"
#include "platform/user.h"
#include "platform/user_frame.h"

namespace platform::user {

class WindowEndpoint {
 public:
  // Registers the window and starts listening; null with the last error set on failure.
  static std::unique_ptr<WindowEndpoint> open(HWND window, DWORD thread_id, std::u16string_view class_name,
                                              std::u16string_view title);
  // Unregisters the window; requests that arrive afterwards find no window.
  ~WindowEndpoint();
  WindowEndpoint(const WindowEndpoint&) = delete;
  WindowEndpoint& operator=(const WindowEndpoint&) = delete;

 private:
  WindowEndpoint() = default;
  void listen_loop();

  HWND window_ = nullptr;
  std::string record_path_;
  std::string socket_path_;
  ScopedFd record_;
  ScopedFd listener_;
  ScopedFd stop_;
  std::thread thread_;
};

struct RegisteredWindow {
  HWND window = nullptr;
  DWORD process_id = 0;
  DWORD thread_id = 0;
  std::u16string class_name;
  std::u16string title;
};

// Every live window registered in the machine folder; stale entries are removed on the way.
std::vector<RegisteredWindow> registered_windows();
bool find_registered_window(HWND window, RegisteredWindow* found);

// Sends (waiting for the procedure's result) or posts a message to a window of another
// process. False with the last error set when the message was not delivered: 1400 when the
// window is gone, 87 for WM_COPYDATA data over the frame limit.
bool call_remote(HWND window, FrameKind kind, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

}  // namespace platform::user
