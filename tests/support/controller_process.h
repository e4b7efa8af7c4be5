// A real txcontroller process in the test's machine folder, driven through its window and
// observed through its daily log files.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/win32.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace txtest {

class ControllerProcess {
 public:
  static constexpr const char* kWindowName = "txcontroller_V30";

  explicit ControllerProcess(const TempMachine& machine) : machine_(machine) {}
  ~ControllerProcess() { kill(); }
  ControllerProcess(const ControllerProcess&) = delete;
  ControllerProcess& operator=(const ControllerProcess&) = delete;

  // Starts the controller and waits for its window; null (and a test failure) if it never comes.
  HWND start() {
    pid_ = start_process({bin_path("txcontroller")});
    for (int i = 0; i < 500; ++i) {
      if (HWND window = FindWindowA(kWindowName, kWindowName)) return window;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the controller's window did not appear";
    return nullptr;
  }

  // Waits for the controller to end by itself; its exit code. One that is still running after
  // `limit` fails the test and is killed, so that a controller that never ends cannot hang it.
  int wait_for_exit(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "the controller did not end within " << limit.count() << " ms";
        kill();
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      wait_process(pid_);
      pid_ = -1;
    }
  }

  pid_t pid() const { return pid_; }

  // Every daily file of the log folder, in one text.
  std::string log() const {
    std::string all;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(machine_.host("C:\\talvex\\log\\conlog"), ignored)) {
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      all += text.str();
    }
    return all;
  }

  bool wait_for_log(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
    for (auto waited = std::chrono::milliseconds(0); waited < limit; waited += std::chrono::milliseconds(20)) {
      if (log().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // WM_COPYDATA of exactly cbData bytes at data.
  static LRESULT copy_data(HWND window, DWORD cbData, const void* data) {
    COPYDATASTRUCT record = {0, cbData, const_cast<void*>(data)};
    return SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
  }
  // A request of `type` carrying `text`, zero-filled (or cut) to the type's cbData bytes, as
  // the product's senders pass a text buffer.
  static LRESULT copy_text(HWND window, DWORD type, std::string text) {
    text.resize(type, '\0');
    return copy_data(window, type, text.data());
  }

 private:
  const TempMachine& machine_;
  pid_t pid_ = -1;
};

}  // namespace txtest
