// txsend: sends one message to a window of this machine folder, by default the controller's.
//
//   txsend [--window NAME] copydata TYPE [TEXT]   WM_COPYDATA, cbData = TYPE
//   txsend [--window NAME] post MSG               PostMessageA(MSG, 0, 0)
//   txsend [--window NAME] send MSG               SendMessageA(MSG, 0, 0)
//   txsend [--window NAME] command ID             SendMessageA(WM_COMMAND, ID, 0)
//   txsend [--window NAME] close                  SendMessageA(WM_CLOSE, 0, 0)
//   --class NAME in place of --window NAME        the window of class NAME, whatever its title
//
// The window is found by class and title, both NAME; with --class NAME, by class alone. Since cbData is both the request type
// and the number of bytes delivered, TEXT goes out zero-padded to TYPE bytes (and cut there
// when longer); without TEXT, lpData is NULL. Numbers are decimal or 0x hex. What the window
// answered is printed on standard output. Exit status: 0 delivered, 1 bad arguments, 2 the
// window is missing or gone.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

namespace {

constexpr char kDefaultWindow[] = "txcontroller_V30";
// The most TEXT a request carries: the largest payload a cross-process message takes on
// this machine's platform layer, and far beyond any request on Windows.
constexpr unsigned long kMaxPayload = 64ul << 20;
// The C runtime hands main() its arguments in the ANSI code page on Windows, as UTF-8 elsewhere.
#ifdef _WIN32
constexpr UINT kArgumentCodePage = CP_ACP;
#else
constexpr UINT kArgumentCodePage = CP_UTF8;
#endif

int usage() {
  std::fputs(
      "usage: txsend [--window NAME] copydata TYPE [TEXT]\n"
      "       txsend [--window NAME] post MSG | send MSG | command ID | close\n"
      "Sends one message to the window whose class and title are NAME (default txcontroller_V30);\n"
      "--class NAME in place of --window NAME takes the window of class NAME whatever its title.\n",
      stderr);
  return 1;
}

std::optional<unsigned long> parse_number(const char* text, unsigned long max) {
  if (!text || !*text || *text == '-' || *text == '+') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  unsigned long value = std::strtoul(text, &end, 0);
  if (errno != 0 || *end != '\0' || value > max) return std::nullopt;
  return value;
}

// An argument in the ANSI code page, the one the receiver reads narrow text in.
std::string to_ansi(const char* argument) {
  int wide_length = MultiByteToWideChar(kArgumentCodePage, 0, argument, -1, nullptr, 0);
  if (wide_length <= 0) return argument;
  std::vector<WCHAR> wide(static_cast<std::size_t>(wide_length));
  MultiByteToWideChar(kArgumentCodePage, 0, argument, -1, wide.data(), wide_length);
  int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return argument;
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), length, nullptr, nullptr);
  text.pop_back();  // the terminator the -1 length counted
  return text;
}

int window_missing(const std::string& name, DWORD error) {
  if (error == ERROR_INVALID_WINDOW_HANDLE || error == 0) {
    std::fprintf(stderr, "txsend: no window \"%s\" on this machine (is it running?)\n", name.c_str());
  } else {
    std::fprintf(stderr, "txsend: the message to \"%s\" was not delivered (error %lu)\n", name.c_str(),
                 static_cast<unsigned long>(error));
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const char*> args(argv + 1, argv + argc);
  std::string name = kDefaultWindow;
  bool by_class = false;
  if (args.size() >= 2 && (std::strcmp(args[0], "--window") == 0 || std::strcmp(args[0], "--class") == 0)) {
    by_class = std::strcmp(args[0], "--class") == 0;
    name = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) return usage();
  std::string_view verb = args[0];

  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  bool post = false;
  COPYDATASTRUCT data{};
  std::string bytes;
  if (verb == "copydata" && (args.size() == 2 || args.size() == 3)) {
    auto type = parse_number(args[1], 0xFFFFFFFFul);
    if (!type) return usage();
    data.cbData = static_cast<DWORD>(*type);
    if (args.size() == 3) {
      if (*type > kMaxPayload) {
        std::fprintf(stderr, "txsend: TYPE %lu is more bytes than a message carries\n", *type);
        return 1;
      }
      // The receiver reads narrow text in the machine's code page.
      std::string text = to_ansi(args[2]);
      if (text.size() > data.cbData) {
        std::fprintf(stderr, "txsend: the text is %zu bytes; only the first %lu arrive (cbData is the type)\n",
                     text.size(), *type);
      }
      bytes.assign(data.cbData, '\0');
      std::memcpy(bytes.data(), text.data(), std::min<std::size_t>(text.size(), bytes.size()));
      data.lpData = bytes.data();
    }
    message = WM_COPYDATA;
    lparam = reinterpret_cast<LPARAM>(&data);
  } else if ((verb == "post" || verb == "send") && args.size() == 2) {
    auto number = parse_number(args[1], 0xFFFFFFFFul);
    if (!number) return usage();
    message = static_cast<UINT>(*number);
    post = verb == "post";
  } else if (verb == "command" && args.size() == 2) {
    auto id = parse_number(args[1], 0xFFFF);
    if (!id) return usage();
    message = WM_COMMAND;
    wparam = static_cast<WPARAM>(*id);
  } else if (verb == "close" && args.size() == 1) {
    message = WM_CLOSE;
  } else {
    return usage();
  }

  HWND window = FindWindowA(name.c_str(), by_class ? nullptr : name.c_str());
  if (!window) return window_missing(name, ERROR_INVALID_WINDOW_HANDLE);
  SetLastError(ERROR_SUCCESS);
  if (post) {
    if (!PostMessageA(window, message, wparam, lparam)) return window_missing(name, GetLastError());
    std::puts("posted");
    return 0;
  }
  LRESULT result = SendMessageA(window, message, wparam, lparam);
  if (result == 0 && GetLastError() != ERROR_SUCCESS) return window_missing(name, GetLastError());
  std::printf("%lld\n", static_cast<long long>(result));
  return 0;
}
