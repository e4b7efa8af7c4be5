// One HTTP PUT over libcurl with its body streamed from a std::istream.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "aws/core/client/CoreErrors.h"

namespace txaws {

struct TransportRequest {
  std::string url;
  std::string host;  // looked up in the machine's hosts file before DNS
  int port = 0;
  std::vector<std::pair<std::string, std::string>> headers;
  std::istream* body = nullptr;  // read from its current position, `length` bytes
  std::uint64_t length = 0;
  long connect_timeout_ms = 0;
  long request_timeout_ms = 0;
  bool verify_ssl = true;
  std::string ca_file;
  std::string user_agent;
};

struct TransportResult {
  bool answered = false;  // a final HTTP status came back
  long status = 0;
  std::string status_line;  // "HTTP/1.1 403 Forbidden"
  std::string body;         // the answer's first 64 KiB
  std::string etag;
  // When no answer came:
  Aws::Client::CoreErrors failure = Aws::Client::CoreErrors::NETWORK_CONNECTION;
  std::string failure_name;
  std::string failure_message;
  bool body_failed = false;  // the body stream could not be read
};

TransportResult send_put(const TransportRequest& request);

}  // namespace txaws
