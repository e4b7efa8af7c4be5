// One HTTP(S) GET as WinINet's URL handle sees it: opening sends the request, follows
// redirects and waits for the final response's headers; reading then pulls the body through
// libcurl's multi interface, paused whenever the caller's buffer is full, so that at most one
// network chunk waits here besides the caller's buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/curl_handles.h"
#include "platform/types.h"

namespace platform {

struct RequestSettings {
  std::string user_agent;  // empty: no User-Agent header
  DWORD connect_timeout_ms = 60000;
  DWORD receive_timeout_ms = 30000;
  DWORD flags = 0;  // INTERNET_FLAG_NO_AUTO_REDIRECT, INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP
};

class UrlStream {
 public:
  static constexpr int kMaxRedirects = 5;

  UrlStream() = default;
  ~UrlStream();
  UrlStream(const UrlStream&) = delete;
  UrlStream& operator=(const UrlStream&) = delete;

  // Sends the request; true once the final response's headers are in. False with the
  // WinINet error in *error.
  bool open(const std::string& url, const RequestSettings& settings, DWORD* error);

  long status() const { return status_; }
  void set_receive_timeout(DWORD ms) { settings_.receive_timeout_ms = ms; }

  // Up to `size` bytes of the body; *got 0 at its end. False with the WinINet error.
  bool read(char* buffer, std::size_t size, std::size_t* got, DWORD* error);

 private:
  static std::size_t on_header(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* self);

  bool start(DWORD* error);
  bool next_location(DWORD* error);
  void stop();
  enum class Until { kHeaders, kRoom };
  // Runs the transfer until the condition holds or the transfer ends; false on an idle
  // time-out (no byte for `idle_ms`) or a libcurl failure.
  bool run(Until until, DWORD idle_ms, DWORD* error);

  RequestSettings settings_;
  CurlLease curl_;  // first, so that it outlives the handles below
  ScopedCurlMulti multi_;
  ScopedCurlUrl url_;
  ScopedCurlEasy easy_;
  ScopedCurlSlist resolve_;
  std::string ca_bundle_;
  bool https_ = false;

  // State of the response being received.
  bool headers_done_ = false;
  bool redirecting_ = false;
  std::string location_;
  long status_ = 0;
  bool done_ = false;
  CURLcode result_ = CURLE_OK;
  bool paused_ = false;
  std::uint64_t activity_ = 0;  // grows with every header line and body chunk
  DWORD failure_ = 0;           // a read failure repeats on every later read

  // The caller's buffer during a read, and the rest of the chunk that did not fit.
  char* dest_ = nullptr;
  std::size_t room_ = 0;
  std::vector<char> pending_;
  std::size_t pending_offset_ = 0;
};

}  // namespace platform
