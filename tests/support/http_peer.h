// A real HTTP(S) server on loopback for a test: tests/support/http_peer.py, started in its own
// process on a free port and stopped when the owner ends.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace txtest {

class HttpPeer {
 public:
  // Plain HTTP; with a certificate and key file, HTTPS.
  explicit HttpPeer(const std::string& cert = {}, const std::string& key = {}) {
    std::vector<std::string> args = {python(), std::string(TX_SOURCE_DIR) + "/tests/support/http_peer.py"};
    if (!cert.empty()) args.insert(args.end(), {"--cert", cert, "--key", key});
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      // A test that dies without its destructors (a sanitizer report) takes its peer along.
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) throw std::runtime_error("http_peer.py did not start");
  }
  ~HttpPeer() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  HttpPeer(const HttpPeer&) = delete;
  HttpPeer& operator=(const HttpPeer&) = delete;

  int port() const { return port_; }
  // "http://HOST:PORT/PATH" (or https), PATH without its leading '/'.
  std::string url(const std::string& path, const std::string& host = "127.0.0.1", bool https = false) const {
    return std::string(https ? "https" : "http") + "://" + host + ":" + std::to_string(port_) + "/" + path;
  }

 private:
  static std::string python() { return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3"; }

  pid_t pid_ = -1;
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
