// Checking and moving message frames between processes.
#include "platform/user_frame.h"

#include <sys/socket.h>

#include <cerrno>

#include "platform/user.h"

namespace platform::user {

FrameHeader make_header(FrameKind kind, std::uint64_t window, UINT message) {
  FrameHeader header{};
  header.magic = kFrameMagic;
  header.version = kFrameVersion;
  header.kind = static_cast<std::uint16_t>(kind);
  header.window = window;
  header.message = message;
  return header;
}

bool valid_request(const FrameHeader& header) {
  if (header.magic != kFrameMagic || header.version != kFrameVersion) return false;
  auto kind = static_cast<FrameKind>(header.kind);
  if (kind != FrameKind::send && kind != FrameKind::post) return false;
  if (header.status != 0 || header.payload_size > kMaxPayload) return false;
  if (header.message != WM_COPYDATA) return header.data_size == 0 && header.payload_size == 0;
  // WM_COPYDATA only waits for its procedure: its data lives only as long as the call.
  if (kind != FrameKind::send) return false;
  return header.payload_size == 0 || header.payload_size == header.data_size;
}

bool valid_reply(const FrameHeader& header) {
  return header.magic == kFrameMagic && header.version == kFrameVersion &&
         static_cast<FrameKind>(header.kind) == FrameKind::reply && header.payload_size == 0 &&
         header.status <= static_cast<std::uint32_t>(FrameStatus::refused);
}

bool write_reply(int fd, const FrameHeader& request, FrameStatus status, LRESULT result) {
  FrameHeader reply = make_header(FrameKind::reply, request.window, request.message);
  reply.status = static_cast<std::uint32_t>(status);
  reply.value = result;
  return write_all(fd, &reply, sizeof reply);
}

bool write_all(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool read_all(int fd, void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = ::recv(fd, bytes, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace platform::user
