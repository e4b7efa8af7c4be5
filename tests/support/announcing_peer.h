// A peer program that announces itself on its first line of standard output (its port, or
// "ready") and serves until it is killed, which happens when the owner ends. A test that dies
// without its destructors (a sanitizer report) takes the peer along.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace txtest {

class AnnouncingPeer {
 public:
  explicit AnnouncingPeer(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
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
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') first_line_ += c;
    ::close(out[0]);
  }
  ~AnnouncingPeer() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  AnnouncingPeer(const AnnouncingPeer&) = delete;
  AnnouncingPeer& operator=(const AnnouncingPeer&) = delete;

  // What the peer printed first; empty when it ended without a line.
  const std::string& first_line() const { return first_line_; }

 private:
  pid_t pid_ = -1;
  std::string first_line_;
};

}  // namespace txtest
