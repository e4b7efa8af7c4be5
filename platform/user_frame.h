// The frame that carries one message to a window of another process, and its reply.
//
// Layout (little-endian, 48 bytes), followed by payload_size bytes:
//   0  magic         "TXWM"
//   4  version       1
//   6  kind          send, post or reply
//   8  window        the target HWND's value
//   16 message
//   20 status        reply only: what became of the message
//   24 wparam
//   32 value         lParam as a number; WM_COPYDATA: dwData; reply: the procedure's result
//   40 data_size     WM_COPYDATA: cbData
//   44 payload_size  WM_COPYDATA: cbData when lpData was given, 0 when it was NULL; else 0
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/types.h"

namespace platform::user {

enum class FrameKind : std::uint16_t { send = 1, post = 2, reply = 3 };

enum class FrameStatus : std::uint32_t {
  done = 0,       // sent: the procedure ran and value is its result; posted: queued
  no_window = 1,  // the window does not exist (any more)
  refused = 2,    // the frame broke a rule of the layout
};

struct FrameHeader {
  std::uint32_t magic;
  std::uint16_t version;
  std::uint16_t kind;
  std::uint64_t window;
  std::uint32_t message;
  std::uint32_t status;
  std::uint64_t wparam;
  std::int64_t value;
  std::uint32_t data_size;
  std::uint32_t payload_size;
};

// The header is written and read as it lies in memory, which is the wire layout on a
// little-endian host with this exact packing.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(FrameHeader) == 48);
static_assert(offsetof(FrameHeader, version) == 4 && offsetof(FrameHeader, kind) == 6);
static_assert(offsetof(FrameHeader, window) == 8 && offsetof(FrameHeader, message) == 16);
static_assert(offsetof(FrameHeader, status) == 20 && offsetof(FrameHeader, wparam) == 24);
static_assert(offsetof(FrameHeader, value) == 32 && offsetof(FrameHeader, data_size) == 40);
static_assert(offsetof(FrameHeader, payload_size) == 44);

inline constexpr std::uint32_t kFrameMagic = 0x4D575854;  // "TXWM" in memory order
inline constexpr std::uint16_t kFrameVersion = 1;
// Larger WM_COPYDATA blocks are refused by both sides.
inline constexpr std::uint32_t kMaxPayload = 64u << 20;

struct Frame {
  FrameHeader header{};
  std::vector<BYTE> payload;
};

FrameHeader make_header(FrameKind kind, std::uint64_t window, UINT message);

// True when a request (send or post) from a peer keeps every rule of the layout; the payload
// size is then safe to allocate.
bool valid_request(const FrameHeader& header);
bool valid_reply(const FrameHeader& header);

// Answers a request frame on its connection.
bool write_reply(int fd, const FrameHeader& request, FrameStatus status, LRESULT result);

// Whole-buffer socket I/O; false on an error, a timeout or the peer's end before the last byte.
bool write_all(int fd, const void* data, std::size_t size);
bool read_all(int fd, void* data, std::size_t size);

}  // namespace platform::user
