// Programs a test starts through CreateProcessA: the sleeper helper placed in drive C under
// a Windows name, its pid read from the marker file it writes, and every one of them killed
// when the owner ends.
#pragma once

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace txtest {

// True while pid names a live process (a zombie counts as ended).
inline bool process_alive(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' && text[close + 2] != 'X';
}

// Waits for a condition that a started process makes true; gives up after a generous while,
// so a broken start fails the test instead of hanging it.
template <class Condition>
bool eventually(Condition condition) {
  for (int i = 0; i < 2000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

class StartedPrograms {
 public:
  explicit StartedPrograms(const TempMachine& machine) : machine_(machine) {}
  StartedPrograms(const StartedPrograms&) = delete;
  StartedPrograms& operator=(const StartedPrograms&) = delete;
  ~StartedPrograms() {
    for (pid_t pid : pids_) ::kill(pid, SIGKILL);
  }

  // Copies the sleeper helper to a Windows path, without any execute bit.
  void install_sleeper(const std::string& windows_path) const {
    std::filesystem::path target = machine_.host(windows_path);
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(helper_path("tx_sleeper"), target, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                             std::filesystem::perms::group_read | std::filesystem::perms::others_read);
  }

  // A fresh marker file name (host path) for one started program.
  std::string marker() { return machine_.root() + "/marker-" + std::to_string(++markers_); }

  // The pid a started program wrote to its marker, or -1 when none came; remembered for
  // killing either way.
  pid_t await_marker(const std::string& marker) {
    pid_t pid = -1;
    eventually([&] {
      std::ifstream in(marker);
      return static_cast<bool>(in >> pid);
    });
    if (pid > 0) pids_.push_back(pid);
    return pid;
  }

  void adopt(pid_t pid) { pids_.push_back(pid); }

 private:
  const TempMachine& machine_;
  std::vector<pid_t> pids_;
  int markers_ = 0;
};

}  // namespace txtest
