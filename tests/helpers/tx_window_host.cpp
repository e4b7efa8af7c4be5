// A window for cross-process message tests: tx_window_host CLASS TITLE LOG
// Creates a hidden top-level window and runs a message loop until WM_QUIT. Every message of
// interest is logged to LOG, one line each, saying whether it was sent (run inside
// GetMessageA) or posted (returned by it and dispatched):
//   sent|posted MSG WPARAM LPARAM     messages from WM_USER up; the result is wParam * 2 + lParam
//   copydata DWDATA CBDATA data|null  the result is the FNV-1a hash of the cbData bytes, -1 for NULL
//   command ID                        WM_COMMAND; the result is ID + 1000
//   close                             WM_CLOSE, handed to DefWindowProcW
// The exit code is the WM_QUIT message's wParam.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/codepage.h"
#include "platform/win32.h"

namespace {

FILE* g_log = nullptr;
bool g_dispatching = false;

LRESULT fnv1a(const BYTE* bytes, DWORD size) {
  std::uint32_t hash = 2166136261u;
  for (DWORD i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return static_cast<LRESULT>(hash);
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const char* how = g_dispatching ? "posted" : "sent";
  switch (message) {
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      std::fprintf(g_log, "copydata %lu %lu %s\n", static_cast<unsigned long>(data->dwData),
                   static_cast<unsigned long>(data->cbData), data->lpData ? "data" : "null");
      std::fflush(g_log);
      return data->lpData ? fnv1a(static_cast<const BYTE*>(data->lpData), data->cbData) : -1;
    }
    case WM_COMMAND:
      std::fprintf(g_log, "command %u\n", static_cast<unsigned>(LOWORD(wParam)));
      std::fflush(g_log);
      return LOWORD(wParam) + 1000;
    case WM_CLOSE:
      std::fprintf(g_log, "close\n");
      std::fflush(g_log);
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      if (message >= WM_USER) {
        std::fprintf(g_log, "%s %u %lu %ld\n", how, message, static_cast<unsigned long>(wParam),
                     static_cast<long>(lParam));
        std::fflush(g_log);
        return static_cast<LRESULT>(wParam) * 2 + lParam;
      }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tx_window_host CLASS TITLE LOG\n");
    return 64;
  }
  g_log = std::fopen(argv[3], "w");
  if (!g_log) return 65;
  std::u16string class_name = platform::utf8_to_utf16(argv[1]);
  std::u16string title = platform::utf8_to_utf16(argv[2]);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = HostProc;
  wc.lpszClassName = class_name.c_str();
  if (!RegisterClassExW(&wc)) return 66;
  HWND window = CreateWindowExW(0, class_name.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, nullptr, nullptr, nullptr, nullptr);
  if (!window) return 67;
  ShowWindow(window, SW_HIDE);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    g_dispatching = true;
    DispatchMessageA(&msg);
    g_dispatching = false;
  }
  std::fclose(g_log);
  return static_cast<int>(msg.wParam);
}
