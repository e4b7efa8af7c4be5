// txsend: sends one message to a window of this machine folder, by default the controller's.
//
//   txsend [--window NAME] copydata TYPE [TEXT]   WM_COPYDATA, cbData = TYPE
//   txsend [--window NAME] post MSG               PostMessageA(MSG, 0, 0)
//   txsend [--window NAME] send MSG               SendMessageA(MSG, 0, 0)
//   txsend [--window NAME] command ID             SendMessageA(WM_COMMAND, ID, 0)
//   txsend [--window NAME] close                  SendMessageA(WM_CLOSE, 0, 0)
//   --class NAME in place of --window NAME        the window of class NAME, whatever its title
//   txsend [--window NAME] -                      one request per line of standard input, each
//                                                 line a form above without "txsend" (TEXT is
//                                                 the rest of the line after TYPE and the
//                                                 spaces that follow it)
//
// The window is found by class and title, both NAME; with --class NAME, by class alone. Since cbData is both the request type
// and the number of bytes delivered, TEXT goes out zero-padded to TYPE bytes (and cut there
// when longer); without TEXT, lpData is NULL. Numbers are decimal or 0x hex. What the window
// answered is printed on standard output, one line per request and flushed at once, so a
// program feeding requests through standard input can pace itself by the answers. Exit status:
// 0 delivered, 1 bad arguments, 2 the window is missing or gone; reading standard input, the
// highest status of its lines, each bad or undelivered line answered with "error".
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
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
      "       txsend [--window NAME] -    (the same requests, one per line of standard input)\n"
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

// One message, as the command line or a line of standard input asks for it.
struct Request {
  UINT message = 0;
  WPARAM wparam = 0;
  bool post = false;
  COPYDATASTRUCT data{};
  std::string bytes;  // what data.lpData points into, for WM_COPYDATA with a text
};

// Fills `request` from a verb and its arguments; false when they make no request.
bool parse_request(const std::vector<std::string>& args, Request* request) {
  if (args.empty()) return false;
  const std::string& verb = args[0];
  if (verb == "copydata" && (args.size() == 2 || args.size() == 3)) {
    auto type = parse_number(args[1].c_str(), 0xFFFFFFFFul);
    if (!type) return false;
    request->message = WM_COPYDATA;
    request->data.cbData = static_cast<DWORD>(*type);
    if (args.size() == 3) {
      if (*type > kMaxPayload) {
        std::fprintf(stderr, "txsend: TYPE %lu is more bytes than a message carries\n", *type);
        return false;
      }
      // The receiver reads narrow text in the machine's code page.
      std::string text = to_ansi(args[2].c_str());
      if (text.size() > request->data.cbData) {
        std::fprintf(stderr, "txsend: the text is %zu bytes; only the first %lu arrive (cbData is the type)\n",
                     text.size(), *type);
      }
      request->bytes.assign(request->data.cbData, '\0');
      std::memcpy(request->bytes.data(), text.data(), std::min(text.size(), request->bytes.size()));
      request->data.lpData = request->bytes.data();
    }
    return true;
  }
  if ((verb == "post" || verb == "send") && args.size() == 2) {
    auto number = parse_number(args[1].c_str(), 0xFFFFFFFFul);
    if (!number) return false;
    request->message = static_cast<UINT>(*number);
    request->post = verb == "post";
    return true;
  }
  if (verb == "command" && args.size() == 2) {
    auto id = parse_number(args[1].c_str(), 0xFFFF);
    if (!id) return false;
    request->message = WM_COMMAND;
    request->wparam = static_cast<WPARAM>(*id);
    return true;
  }
  if (verb == "close" && args.size() == 1) {
    request->message = WM_CLOSE;
    return true;
  }
  return false;
}

// Finds the window afresh for each request, so that a restarted receiver is reached too.
int deliver(const std::string& name, bool by_class, Request& request) {
  HWND window = FindWindowA(name.c_str(), by_class ? nullptr : name.c_str());
  if (!window) return window_missing(name, ERROR_INVALID_WINDOW_HANDLE);
  SetLastError(ERROR_SUCCESS);
  if (request.post) {
    if (!PostMessageA(window, request.message, request.wparam, 0)) return window_missing(name, GetLastError());
    std::puts("posted");
  } else {
    LPARAM lparam = request.message == WM_COPYDATA ? reinterpret_cast<LPARAM>(&request.data) : 0;
    LRESULT result = SendMessageA(window, request.message, request.wparam, lparam);
    if (result == 0 && GetLastError() != ERROR_SUCCESS) return window_missing(name, GetLastError());
    std::printf("%lld\n", static_cast<long long>(result));
  }
  std::fflush(stdout);
  return 0;
}

// A line of standard input as arguments: the verb, then for copydata TYPE and the rest of the
// line as TEXT, otherwise every word.
std::vector<std::string> split_line(const std::string& line) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < line.size()) {
    at = line.find_first_not_of(' ', at);
    if (at == std::string::npos) break;
    if (words.size() == 2 && words[0] == "copydata") {
      words.push_back(line.substr(at));
      break;
    }
    std::size_t end = std::min(line.find(' ', at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

int deliver_line(const std::string& name, bool by_class, std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  Request request;
  int status = 1;
  if (parse_request(split_line(line), &request)) {
    status = deliver(name, by_class, request);
  } else {
    std::fprintf(stderr, "txsend: not a request: %s\n", line.c_str());
  }
  if (status != 0) {
    std::puts("error");
    std::fflush(stdout);
  }
  return status;
}

int deliver_lines(const std::string& name, bool by_class) {
  int worst = 0;
  std::string line;
  for (int c; (c = std::getchar()) != EOF;) {
    if (c == '\n') {
      worst = std::max(worst, deliver_line(name, by_class, std::move(line)));
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (!line.empty()) worst = std::max(worst, deliver_line(name, by_class, std::move(line)));
  return worst;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string name = kDefaultWindow;
  bool by_class = false;
  if (args.size() >= 2 && (args[0] == "--window" || args[0] == "--class")) {
    by_class = args[0] == "--class";
    name = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() == 1 && args[0] == "-") return deliver_lines(name, by_class);
  Request request;
  if (!parse_request(args, &request)) return usage();
  return deliver(name, by_class, request);
}
