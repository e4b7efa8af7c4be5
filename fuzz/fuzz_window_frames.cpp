// The frames that arrive at a window's endpoint from other processes of the same user: any
// bytes, written to a real window's socket by a peer that then closes its side. The first
// input byte is a hint that lets the fuzzer past the two fields it cannot guess (bit 0: aim
// the frame at our window; bit 1: give it the right magic and version); the rest is the
// stream. The endpoint must answer every well-formed request with a well-formed reply, refuse
// a broken one, and hand the window procedure exactly what the frame carries.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_machine.h"
#include "platform/machine.h"
#include "platform/user.h"
#include "platform/user_frame.h"

namespace {

using platform::user::FrameHeader;

HWND g_window = nullptr;
// What the procedure saw of the last WM_COPYDATA.
bool g_copy_seen = false;
DWORD g_copy_size = 0;
bool g_copy_has_data = false;

LRESULT CALLBACK record_procedure(HWND, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    g_copy_seen = true;
    g_copy_size = copy->cbData;
    g_copy_has_data = copy->lpData != nullptr;
    // Every delivered byte must be readable (the sanitizer checks the reads).
    const auto* bytes = static_cast<const volatile unsigned char*>(copy->lpData);
    unsigned sum = 0;
    for (DWORD i = 0; bytes && i < copy->cbData; ++i) sum += bytes[i];
    return static_cast<LRESULT>(sum);
  }
  // Nothing else is acted on: a peer's WM_CLOSE or WM_DESTROY must not end the target. The
  // window is made only when WM_NCCREATE answers TRUE.
  return message == WM_NCCREATE ? TRUE : 0;
}

void pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) DispatchMessageA(&msg);
  }
}

int connect_to_window() {
  char name[17];
  std::snprintf(name, sizeof name, "%016llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(g_window)));
  std::string path = platform::Machine::current().run_dir() + "/windows/" + name + ".sock";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) std::abort();
  std::memcpy(address.sun_path, path.data(), path.size());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::abort();
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  txfuzz::machine_root();
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = record_procedure;
  window_class.lpszClassName = reinterpret_cast<LPCWSTR>(u"FuzzFrames");
  if (!RegisterClassExW(&window_class)) std::abort();
  g_window = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(u"FuzzFrames"), reinterpret_cast<LPCWSTR>(u"frames"),
                             WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr, nullptr, nullptr,
                             nullptr);
  if (!g_window) std::abort();
  pump();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::vector<std::uint8_t> stream(data + 1, data + size);
  FrameHeader header{};
  const bool whole_header = stream.size() >= sizeof header;
  if (whole_header) {
    std::memcpy(&header, stream.data(), sizeof header);
    if (data[0] & 1) header.window = reinterpret_cast<std::uintptr_t>(g_window);
    if (data[0] & 2) {
      header.magic = platform::user::kFrameMagic;
      header.version = platform::user::kFrameVersion;
    }
    std::memcpy(stream.data(), &header, sizeof header);
  }

  int fd = connect_to_window();
  if (!platform::user::write_all(fd, stream.data(), stream.size())) std::abort();
  ::shutdown(fd, SHUT_WR);

  // The window's thread is this one: it runs the sent messages while it waits for the answer.
  g_copy_seen = false;
  FrameHeader reply{};
  std::size_t got = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    pump();
    pollfd readable{fd, POLLIN, 0};
    if (::poll(&readable, 1, 1) > 0) {
      ssize_t n = ::recv(fd, reinterpret_cast<char*>(&reply) + got, sizeof reply - got, 0);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
      if (got == sizeof reply) break;
    }
    if (std::chrono::steady_clock::now() > deadline) std::abort();  // a request left unanswered
  }
  char extra;
  const bool more = got == sizeof reply && ::recv(fd, &extra, 1, 0) > 0;
  ::close(fd);
  pump();

  if (more) std::abort();  // one connection, one reply
  if (!whole_header) {
    if (got != 0) std::abort();  // nothing to answer
    return 0;
  }
  const bool valid = platform::user::valid_request(header);
  const bool whole_payload = stream.size() >= sizeof header + (valid ? header.payload_size : 0);
  if (!valid || whole_payload) {
    if (got != sizeof reply || !platform::user::valid_reply(reply)) std::abort();
  }
  if (got == 0) return 0;
  if (got != sizeof reply) std::abort();
  using platform::user::FrameStatus;
  if (!valid && reply.status != static_cast<std::uint32_t>(FrameStatus::refused)) std::abort();
  if (valid && header.window == reinterpret_cast<std::uintptr_t>(g_window) &&
      reply.status != static_cast<std::uint32_t>(FrameStatus::done)) {
    std::abort();
  }
  if (valid && header.message == WM_COPYDATA && reply.status == static_cast<std::uint32_t>(FrameStatus::done)) {
    if (!g_copy_seen || g_copy_size != header.data_size || g_copy_has_data != (header.payload_size > 0)) {
      std::abort();
    }
  }
  return 0;
}
