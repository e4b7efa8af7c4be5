// Window classes and top-level windows of this process, their default procedure, painting
// state, and finding windows of every process of the machine folder.
#include "platform/user_window.h"

#include <unistd.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/kernel.h"
#include "platform/user_endpoint.h"
#include "platform/user_queue.h"

static_assert(sizeof(HWND) == 8, "window handles carry the process id in their upper half");

namespace {

// Atoms of registered classes, as RegisterClassExW returns them, start here.
constexpr ATOM kFirstClassAtom = 0xC000;

struct WindowClass {
  ATOM atom = 0;
  std::u16string name;
  WNDPROC procedure = nullptr;
};

struct Window {
  std::u16string class_name;
  std::u16string title;
  WNDPROC procedure = nullptr;
  DWORD thread_id = 0;
  bool visible = false;
  bool invalid = false;
  bool destroying = false;
  std::unique_ptr<platform::user::WindowEndpoint> endpoint;
};

// Class names compare without regard to case; the fold covers ASCII letters.
bool same_class_name(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

class UserState {
 public:
  std::mutex mutex;
  std::vector<WindowClass> classes;
  std::map<HWND, Window> windows;

  // Upper half the process id, lower half a counter from a random start, so a handle names
  // one window across processes and a reused process id hardly ever meets an old handle.
  HWND new_handle() {
    if (++serial_ == 0) ++serial_;
    auto value = (static_cast<std::uint64_t>(::getpid()) << 32) | serial_;
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
  }

  const WindowClass* find_class(LPCWSTR name) const {
    for (const auto& c : classes) {
      if (IS_INTRESOURCE(name) ? c.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
                               : same_class_name(c.name, name)) {
        return &c;
      }
    }
    return nullptr;
  }

  Window* find_window(HWND window) {
    auto it = windows.find(window);
    return it == windows.end() ? nullptr : &it->second;
  }

 private:
  std::uint32_t serial_ = static_cast<std::uint32_t>(std::random_device{}()) & 0x7FFFFFF0u;
};

UserState& state() {
  static auto* s = new UserState;
  return *s;
}

// Every window here has a Unicode class, so WM_NCCREATE's CREATESTRUCT carries a wide title.
// DefWindowProcW names the window with it; DefWindowProcA reads the same bytes as narrow text,
// as Windows does, so an ASCII title comes out as its first character. A procedure that answers
// WM_NCCREATE itself leaves the window without a title.
void take_title(HWND handle, const CREATESTRUCTW* create, bool narrow) {
  if (!create || !create->lpszName) return;
  std::u16string title = narrow ? platform::ansi_to_utf16(reinterpret_cast<const char*>(create->lpszName))
                                : std::u16string(create->lpszName);
  std::lock_guard lock(state().mutex);
  if (Window* window = state().find_window(handle)) window->title = std::move(title);
}

LRESULT default_procedure(HWND window, UINT message, LPARAM lParam, bool narrow) {
  switch (message) {
    case WM_NCCREATE:
      take_title(window, reinterpret_cast<const CREATESTRUCTW*>(lParam), narrow);
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    default:
      return 0;
  }
}

// Removes a window from the table; its posted messages go with it.
void forget_window(HWND window, DWORD thread_id) {
  std::unique_ptr<platform::user::WindowEndpoint> endpoint;
  {
    std::lock_guard lock(state().mutex);
    auto it = state().windows.find(window);
    if (it == state().windows.end()) return;
    endpoint = std::move(it->second.endpoint);
    state().windows.erase(it);
  }
  if (auto queue = platform::user::find_queue(thread_id)) queue->drop_posted_for(window);
}

}  // namespace

namespace platform::user {

bool find_local_window(HWND window, WindowTarget* target) {
  std::lock_guard lock(state().mutex);
  const Window* found = state().find_window(window);
  if (!found) return false;
  target->procedure = found->procedure;
  target->thread_id = found->thread_id;
  return true;
}

HWND window_to_paint(DWORD thread_id, HWND filter) {
  std::lock_guard lock(state().mutex);
  for (const auto& [handle, window] : state().windows) {
    if (window.thread_id == thread_id && window.visible && window.invalid && (!filter || filter == handle)) {
      return handle;
    }
  }
  return nullptr;
}

}  // namespace platform::user

ATOM RegisterClassExW(const WNDCLASSEXW* windowClass) {
  if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXW) || !windowClass->lpszClassName ||
      IS_INTRESOURCE(windowClass->lpszClassName) || !windowClass->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard lock(state().mutex);
  if (state().find_class(windowClass->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  WindowClass added;
  added.atom = static_cast<ATOM>(kFirstClassAtom + state().classes.size());
  added.name = windowClass->lpszClassName;
  added.procedure = windowClass->lpfnWndProc;
  state().classes.push_back(std::move(added));
  return state().classes.back().atom;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  if (parent || (style & static_cast<DWORD>(WS_CHILD))) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  if (!className) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  HWND handle;
  std::u16string class_name;
  WNDPROC procedure;
  DWORD thread_id = GetCurrentThreadId();
  {
    std::lock_guard lock(state().mutex);
    const WindowClass* found = state().find_class(className);
    if (!found) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    class_name = found->name;
    procedure = found->procedure;
    handle = state().new_handle();
    Window& window = state().windows[handle];
    window.class_name = class_name;
    window.procedure = procedure;
    window.thread_id = thread_id;
    window.visible = (style & static_cast<DWORD>(WS_VISIBLE)) != 0;
    window.invalid = window.visible;
  }
  platform::user::current_queue();

  CREATESTRUCTW create{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                       windowName, className, exStyle};
  if (!procedure(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
    procedure(handle, WM_NCDESTROY, 0, 0);
    forget_window(handle, thread_id);
    return nullptr;
  }
  if (procedure(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }

  std::u16string title;
  {
    std::lock_guard lock(state().mutex);
    Window* window = state().find_window(handle);
    // The procedure may have destroyed its window while it was being created.
    if (!window) return nullptr;
    title = window->title;
  }
  auto endpoint = platform::user::WindowEndpoint::open(handle, thread_id, class_name, title);
  if (!endpoint) {
    DWORD error = GetLastError();
    DestroyWindow(handle);
    SetLastError(error);
    return nullptr;
  }
  std::lock_guard lock(state().mutex);
  Window* window = state().find_window(handle);
  // The procedure may have destroyed its window while it was being created.
  if (!window) return nullptr;
  window->endpoint = std::move(endpoint);
  return handle;
}

BOOL DestroyWindow(HWND handle) {
  WNDPROC procedure;
  DWORD thread_id;
  std::unique_ptr<platform::user::WindowEndpoint> endpoint;
  {
    std::lock_guard lock(state().mutex);
    Window* window = state().find_window(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    // Only the thread that created a window may destroy it.
    if (window->thread_id != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (window->destroying) return TRUE;
    window->destroying = true;
    procedure = window->procedure;
    thread_id = window->thread_id;
    endpoint = std::move(window->endpoint);
  }
  // Unregistered first: from here on other processes find no window.
  endpoint.reset();
  procedure(handle, WM_DESTROY, 0, 0);
  procedure(handle, WM_NCDESTROY, 0, 0);
  forget_window(handle, thread_id);
  return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM lParam) {
  return default_procedure(window, message, lParam, true);
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM, LPARAM lParam) {
  return default_procedure(window, message, lParam, false);
}

BOOL ShowWindow(HWND handle, int command) {
  std::lock_guard lock(state().mutex);
  Window* window = state().find_window(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  bool was_visible = window->visible;
  window->visible = command != SW_HIDE;
  if (window->visible && !was_visible) window->invalid = true;
  return was_visible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND handle) {
  bool paint;
  {
    std::lock_guard lock(state().mutex);
    Window* window = state().find_window(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    paint = window->visible && window->invalid;
  }
  if (paint) SendMessageW(handle, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
  if (!paint) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard lock(state().mutex);
  Window* window = state().find_window(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  *paint = PAINTSTRUCT{};
  paint->fErase = window->invalid ? TRUE : FALSE;
  window->invalid = false;
  return nullptr;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }

BOOL IsWindow(HWND handle) {
  platform::user::WindowTarget target;
  if (platform::user::find_local_window(handle, &target)) return TRUE;
  platform::user::RegisteredWindow found;
  return handle && platform::user::find_registered_window(handle, &found) ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND handle, LPDWORD processId) {
  platform::user::WindowTarget target;
  if (platform::user::find_local_window(handle, &target)) {
    if (processId) *processId = GetCurrentProcessId();
    return target.thread_id;
  }
  platform::user::RegisteredWindow found;
  if (handle && platform::user::find_registered_window(handle, &found)) {
    if (processId) *processId = found.process_id;
    return found.thread_id;
  }
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return 0;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  std::u16string wanted_class;
  if (className && IS_INTRESOURCE(className)) {
    // An atom names a class of this process; other processes' windows are matched by its name.
    std::lock_guard lock(state().mutex);
    const WindowClass* found = state().find_class(className);
    if (!found) return nullptr;
    wanted_class = found->name;
  } else if (className) {
    wanted_class = className;
  }
  auto matches = [&](std::u16string_view window_class, std::u16string_view title) {
    return (!className || same_class_name(window_class, wanted_class)) && (!windowName || title == windowName);
  };
  {
    std::lock_guard lock(state().mutex);
    for (const auto& [handle, window] : state().windows) {
      if (!window.destroying && window.endpoint && matches(window.class_name, window.title)) return handle;
    }
  }
  for (const auto& window : platform::user::registered_windows()) {
    if (window.process_id != GetCurrentProcessId() && matches(window.class_name, window.title)) return window.window;
  }
  return nullptr;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  std::u16string wide_class;
  std::u16string wide_title;
  LPCWSTR class_arg = reinterpret_cast<LPCWSTR>(className);
  if (className && !IS_INTRESOURCE(className)) {
    wide_class = platform::ansi_to_utf16(className);
    class_arg = wide_class.c_str();
  }
  if (windowName) wide_title = platform::ansi_to_utf16(windowName);
  return FindWindowW(class_arg, windowName ? wide_title.c_str() : nullptr);
}
