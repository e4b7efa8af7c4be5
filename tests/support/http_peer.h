// A real HTTP(S) server on loopback for a test: tests/support/http_peer.py, started in its own
// process on a free port and stopped when the owner ends.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/announcing_peer.h"

namespace txtest {

class HttpPeer {
 public:
  // Plain HTTP; with a certificate and key file, HTTPS.
  explicit HttpPeer(const std::string& cert = {}, const std::string& key = {})
      : process_(arguments(cert, key)), port_(std::atoi(process_.first_line().c_str())) {
    if (port_ <= 0) throw std::runtime_error("http_peer.py did not start");
  }

  int port() const { return port_; }
  // "http://HOST:PORT/PATH" (or https), PATH without its leading '/'.
  std::string url(const std::string& path, const std::string& host = "127.0.0.1", bool https = false) const {
    return std::string(https ? "https" : "http") + "://" + host + ":" + std::to_string(port_) + "/" + path;
  }

 private:
  static std::string python() { return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3"; }
  static std::vector<std::string> arguments(const std::string& cert, const std::string& key) {
    std::vector<std::string> args = {python(), std::string(TX_SOURCE_DIR) + "/tests/support/http_peer.py"};
    if (!cert.empty()) args.insert(args.end(), {"--cert", cert, "--key", key});
    return args;
  }

  AnnouncingPeer process_;
  int port_ = 0;
};

// A loopback TCP port that nothing listens on (bound, then released).
inline int closed_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

}  // namespace txtest
