// Local S3 peers for upload tests, reached as the client reaches S3: by the bucket's virtual
// host name on port 80 (the client derives its endpoint and allows no override), which the
// machine's hosts file maps to a loopback address of the test's own. Each peer takes a random
// address in 127.0.0.0/8, so tests running side by side do not meet on port 80.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/find_program.h"
#include "tests/support/loopback.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace txtest {

// A program started with extra environment variables, output discarded, killed at the end.
class PeerProcess {
 public:
  PeerProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
      // A test that dies without its destructors (a sanitizer report) takes its peer along.
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      for (const auto& variable : environment) ::putenv(const_cast<char*>(variable.c_str()));
      std::freopen("/dev/null", "w", stdout);
      std::freopen("/dev/null", "w", stderr);
      std::vector<char*> args;
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
  }
  ~PeerProcess() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Waits until the peer listens at address:port.
  void wait_listening(const std::string& address, int port) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!accepts_connections(address, port)) {
      if (std::chrono::steady_clock::now() > deadline || ::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        throw std::runtime_error("the peer did not start listening at " + address);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

 private:
  pid_t pid_ = -1;
};

// moto's S3 server with signature checks on: the IAM user, its access key and the bucket are
// made through moto's own API (tests/support/moto_s3.py) before any upload.
class MotoS3 {
 public:
  MotoS3(const TempMachine& machine, const std::string& bucket)
      : bucket_(bucket),
        address_(random_loopback_address()),
        server_({find_program("moto_server"), "-H", address_, "-p", "80"}, {"INITIAL_NO_AUTH_ACTION_COUNT=3"}) {
    server_.wait_listening(address_, 80);
    std::istringstream keys(script({"setup", endpoint(), bucket_}));
    keys >> key_id_ >> secret_;
    if (secret_.empty()) throw std::runtime_error("moto setup gave no access key");
    map_host(machine, bucket_ + ".s3.ap-northeast-2.amazonaws.com", address_);
  }

  const std::string& key_id() const { return key_id_; }
  const std::string& secret() const { return secret_; }

  // Content type, size and "public-read" or "private", one a line.
  std::string head(const std::string& key) const {
    return script({"head", endpoint(), key_id_, secret_, bucket_, key});
  }
  std::string keys() const { return script({"keys", endpoint(), key_id_, secret_, bucket_}); }

 private:
  std::string endpoint() const { return "http://" + address_ + ":80"; }
  std::string script(std::vector<std::string> args) const {
    args.insert(args.begin(), {find_program("python3"), std::string(TX_SOURCE_DIR) + "/tests/support/moto_s3.py"});
    ProcessResult result = run_process(args);
    if (result.exit_code != 0) throw std::runtime_error("moto_s3.py " + args[2] + ": " + result.output);
    return result.output;
  }

  std::string bucket_;
  std::string address_;
  PeerProcess server_;
  std::string key_id_;
  std::string secret_;
};

}  // namespace txtest
