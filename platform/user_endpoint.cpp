// Window endpoints: the registry entries that FindWindow reads and the sockets that carry
// messages between processes.
#include "platform/user_endpoint.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/codepage.h"
#include "platform/kernel.h"
#include "platform/machine.h"
#include "platform/user_queue.h"

namespace platform::user {

namespace {

// Bounds what one process spends on peers: connections beyond it are closed unread.
constexpr int kMaxConnections = 256;
std::atomic<int> g_connections{0};
// A peer that stops in the middle of a frame is dropped after this long.
constexpr int kFrameTimeoutSeconds = 10;
constexpr std::size_t kMaxRecord = 64 * 1024;

std::string windows_dir() { return Machine::current().run_dir() + "/windows"; }

std::string handle_name(HWND window) {
  char name[17];
  std::snprintf(name, sizeof name, "%016llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
  return name;
}

bool parse_handle_name(std::string_view stem, HWND* window) {
  if (stem.size() != 16) return false;
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(stem.data(), stem.data() + stem.size(), value, 16);
  if (error != std::errc() || end != stem.data() + stem.size()) return false;
  *window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
  return true;
}

// A socket address for a path; a path longer than sun_path goes through the folder's open
// descriptor (/proc/self/fd/N/name), which dir_holder keeps open for the call.
bool socket_address(const std::string& folder, const std::string& name, sockaddr_un* address,
                    ScopedFd* dir_holder) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  std::string path = folder + "/" + name;
  if (path.size() >= sizeof address->sun_path) {
    dir_holder->reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir_holder->valid()) return false;
    path = "/proc/self/fd/" + std::to_string(dir_holder->get()) + "/" + name;
    if (path.size() >= sizeof address->sun_path) return false;
  }
  std::memcpy(address->sun_path, path.data(), path.size());
  return true;
}

bool same_user(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
}

void set_timeouts(int fd) {
  timeval timeout{kFrameTimeoutSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

std::string encode_record(DWORD thread_id, std::u16string_view class_name, std::u16string_view title) {
  std::string class_utf8 = utf16_to_utf8(class_name);
  std::string title_utf8 = utf16_to_utf8(title);
  std::string record = "1 " + std::to_string(::getpid()) + " " + std::to_string(thread_id) + " " +
                       std::to_string(class_utf8.size()) + " " + std::to_string(title_utf8.size()) + "\n";
  return record + class_utf8 + title_utf8;
}

bool decode_record(std::string_view text, RegisteredWindow* out) {
  std::size_t line_end = text.find('\n');
  if (line_end == std::string_view::npos) return false;
  std::uint64_t fields[5];
  const char* p = text.data();
  const char* end = text.data() + line_end;
  for (auto& field : fields) {
    while (p < end && *p == ' ') ++p;
    auto [next, error] = std::from_chars(p, end, field);
    if (error != std::errc()) return false;
    p = next;
  }
  std::string_view rest = text.substr(line_end + 1);
  if (fields[0] != 1 || fields[3] > rest.size() || fields[4] != rest.size() - fields[3]) return false;
  out->process_id = static_cast<DWORD>(fields[1]);
  out->thread_id = static_cast<DWORD>(fields[2]);
  out->class_name = utf8_to_utf16(rest.substr(0, fields[3]));
  out->title = utf8_to_utf16(rest.substr(fields[3]));
  return true;
}

// Reads one registry entry; an entry whose owner died (nobody holds its lock) is removed.
bool read_entry(const std::string& folder, const std::string& stem, RegisteredWindow* out) {
  if (!parse_handle_name(stem, &out->window)) return false;
  std::string path = folder + "/" + stem + ".window";
  ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return false;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
    ::unlink(path.c_str());
    ::unlink((folder + "/" + stem + ".sock").c_str());
    return false;
  }
  std::string text(kMaxRecord, '\0');
  ssize_t n = ::pread(fd.get(), text.data(), text.size(), 0);
  if (n <= 0) return false;
  text.resize(static_cast<std::size_t>(n));
  return decode_record(text, out);
}

bool write_file_bytes(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void serve_connection(ScopedFd connection, HWND window) {
  set_timeouts(connection.get());
  Frame frame;
  if (!read_all(connection.get(), &frame.header, sizeof frame.header)) return;
  if (!valid_request(frame.header)) {
    write_reply(connection.get(), frame.header, FrameStatus::refused, 0);
    return;
  }
  frame.payload.resize(frame.header.payload_size);
  if (!read_all(connection.get(), frame.payload.data(), frame.payload.size())) return;
  if (frame.header.window != reinterpret_cast<std::uintptr_t>(window)) {
    write_reply(connection.get(), frame.header, FrameStatus::no_window, 0);
    return;
  }
  deliver_from_peer(frame, connection.get());
}

}  // namespace

std::unique_ptr<WindowEndpoint> WindowEndpoint::open(HWND window, DWORD thread_id, std::u16string_view class_name,
                                                     std::u16string_view title) {
  std::unique_ptr<WindowEndpoint> endpoint(new WindowEndpoint);
  std::string folder = windows_dir();
  std::string name = handle_name(window);
  ::mkdir(folder.c_str(), 0700);
  endpoint->socket_path_ = folder + "/" + name + ".sock";
  endpoint->record_path_ = folder + "/" + name + ".window";

  sockaddr_un address;
  ScopedFd dir_holder;
  endpoint->listener_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  ::unlink(endpoint->socket_path_.c_str());
  if (!endpoint->listener_ || !socket_address(folder, name + ".sock", &address, &dir_holder) ||
      ::bind(endpoint->listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(endpoint->listener_.get(), 64) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }

  // Written under a temporary name and locked before it gets its real one, so no reader can
  // take a half-written or not yet locked entry for a stale one.
  std::string temporary = endpoint->record_path_ + ".new";
  std::string record = encode_record(thread_id, class_name, title);
  ::unlink(temporary.c_str());
  endpoint->record_.reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!endpoint->record_ || !write_file_bytes(endpoint->record_.get(), record) ||
      ::flock(endpoint->record_.get(), LOCK_SH) != 0 ||
      ::rename(temporary.c_str(), endpoint->record_path_.c_str()) != 0) {
    ::unlink(temporary.c_str());
    ::unlink(endpoint->socket_path_.c_str());
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }

  endpoint->stop_.reset(::eventfd(0, EFD_CLOEXEC));
  endpoint->window_ = window;
  endpoint->thread_ = std::thread([raw = endpoint.get()] { raw->listen_loop(); });
  return endpoint;
}

WindowEndpoint::~WindowEndpoint() {
  ::unlink(record_path_.c_str());
  ::unlink(socket_path_.c_str());
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(stop_.get(), &one, sizeof one);
  if (thread_.joinable()) thread_.join();
}

void WindowEndpoint::listen_loop() {
  for (;;) {
    pollfd fds[2] = {{listener_.get(), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    ScopedFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!connection || !same_user(connection.get())) continue;
    if (g_connections.fetch_add(1) >= kMaxConnections) {
      g_connections.fetch_sub(1);
      continue;
    }
    try {
      std::thread([fd = connection.release(), window = window_] {
        serve_connection(ScopedFd(fd), window);
        g_connections.fetch_sub(1);
      }).detach();
    } catch (const std::system_error&) {
      g_connections.fetch_sub(1);
    }
  }
}

std::vector<RegisteredWindow> registered_windows() {
  std::vector<RegisteredWindow> windows;
  std::string folder = windows_dir();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return windows;
  std::vector<std::string> stems;
  while (dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    constexpr std::string_view suffix = ".window";
    if (name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix) {
      stems.emplace_back(name.substr(0, name.size() - suffix.size()));
    }
  }
  ::closedir(dir);
  for (const auto& stem : stems) {
    RegisteredWindow window;
    if (read_entry(folder, stem, &window)) windows.push_back(std::move(window));
  }
  return windows;
}

bool find_registered_window(HWND window, RegisteredWindow* found) {
  return read_entry(windows_dir(), handle_name(window), found) && found->window == window;
}

bool call_remote(HWND window, FrameKind kind, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  FrameHeader header = make_header(kind, reinterpret_cast<std::uintptr_t>(window), message);
  header.wparam = wParam;
  header.value = lParam;
  const void* payload = nullptr;
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!data || (data->lpData && data->cbData > kMaxPayload)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    header.value = static_cast<std::int64_t>(data->dwData);
    header.data_size = data->cbData;
    header.payload_size = data->lpData ? data->cbData : 0;
    payload = data->lpData;
  }

  sockaddr_un address;
  ScopedFd dir_holder;
  ScopedFd connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!connection || !socket_address(windows_dir(), handle_name(window) + ".sock", &address, &dir_holder) ||
      ::connect(connection.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (!same_user(connection.get())) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (!write_all(connection.get(), &header, sizeof header) ||
      !write_all(connection.get(), payload, header.payload_size)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }

  // While the window's thread works, messages sent to this thread keep being served, as a
  // thread blocked in SendMessage does on Windows.
  auto own = current_queue();
  for (;;) {
    own->run_sent_messages();
    pollfd ready{connection.get(), POLLIN, 0};
    if (::poll(&ready, 1, 0) > 0) break;
    own->sleep(connection.get());
  }
  FrameHeader reply;
  if (!read_all(connection.get(), &reply, sizeof reply) || !valid_reply(reply)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  switch (static_cast<FrameStatus>(reply.status)) {
    case FrameStatus::done:
      *result = static_cast<LRESULT>(reply.value);
      return true;
    case FrameStatus::no_window:
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return false;
    case FrameStatus::refused:
      break;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

}  // namespace platform::user
