// IsProcessRunning and TXCreateProcess against real processes, with their log records.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "actions/process.h"
#include "common/log_writer.h"
#include "platform/win32.h"
#include "tests/support/started_programs.h"
#include "tests/support/temp_machine.h"
#include "tests/support/unique_name.h"

namespace {

const char kViewer[] = R"(C:\talvex\bin\txnotice.exe)";

class ProcessActions : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(machine.host(R"(C:\talvex\log)"));
    std::strcpy(g_szLogFolder, R"(C:\talvex\log)");
    g_szLogPrefix[0] = '\0';
    g_nLogLevel = LOG_LEVEL_DEFAULT;
  }

  std::string day_log() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[32];
    std::snprintf(name, sizeof name, R"(C:\talvex\log\Log_%02d.log)", now.wDay);
    return machine.read_file(name);
  }

  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

  // Starts the sleeper at `path` through the layer; its pid.
  pid_t start_viewer(const std::string& path) {
    std::string marker = programs.marker();
    std::string line = path + " " + marker;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    EXPECT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return programs.await_marker(marker);
  }

  txtest::TempMachine machine;
  txtest::StartedPrograms programs{machine};
};

// The process list is the whole computer's, where other tests run viewers of their own: this
// one's program has a name nobody else uses, so that "none running" means none of its own.
TEST_F(ProcessActions, RunningProcessMatchesOnlyItsExactFileName) {
  const std::string stem = txtest::unique_name("txnotice");
  const std::string name = stem + ".exe";
  const std::string path = std::string(R"(C:\talvex\bin\)") + name;
  programs.install_sleeper(path);
  EXPECT_EQ(IsProcessRunning(name), 0);
  pid_t first = start_viewer(path);
  ASSERT_GT(first, 0);
  EXPECT_TRUE(txtest::eventually([&] { return IsProcessRunning(name) == 1; }));
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string capital = name;
  capital[0] = 'T';
  for (const std::string& other : {upper, capital, path, stem, name + " ", name.substr(0, name.size() - 1),
                                   std::string("*.exe"), std::string()}) {
    EXPECT_EQ(IsProcessRunning(other), 0) << other;
  }

  // Two of them: still 1; then none once both have ended.
  pid_t second = start_viewer(path);
  ASSERT_GT(second, 0);
  EXPECT_EQ(IsProcessRunning(name), 1);
  ::kill(first, SIGKILL);
  ::kill(second, SIGKILL);
  EXPECT_TRUE(txtest::eventually([&] { return IsProcessRunning(name) == 0; }));
}

TEST_F(ProcessActions, MissingProgramIsLoggedOnceWithFileNotFound) {
  std::filesystem::create_directories(machine.host(R"(C:\talvex\bin)"));
  EXPECT_EQ(TXCreateProcess(kViewer), 0);
  std::string log = day_log();
  EXPECT_EQ(count(log, "[TXCreateProcess]Createprocess"), 1) << log;
  EXPECT_EQ(count(log, "[ERR]"), 1) << log;
  EXPECT_EQ(count(log, std::string("[TXCreateProcess]Createprocess Failed[2][") + kViewer + "]\r\n"), 1) << log;
}

// The starter is a child process that ends right after the start, as the controller does.
TEST_F(ProcessActions, StartedProgramIsLoggedAndOutlivesTheStarter) {
  programs.install_sleeper(kViewer);
  std::string marker = programs.marker();
  std::string line = std::string(kViewer) + " " + marker;
  pid_t starter = ::fork();
  ASSERT_GE(starter, 0);
  if (starter == 0) ::_exit(TXCreateProcess(line));
  EXPECT_EQ(txtest::wait_process(starter), 1);

  pid_t viewer = programs.await_marker(marker);
  ASSERT_GT(viewer, 0);
  EXPECT_TRUE(txtest::process_alive(viewer));
  EXPECT_EQ(IsProcessRunning("txnotice.exe"), 1);
  std::string log = day_log();
  EXPECT_EQ(count(log, "[TXCreateProcess]Createprocess"), 1) << log;
  EXPECT_EQ(count(log, "[INF1]"), 1) << log;
  EXPECT_EQ(count(log, "[TXCreateProcess]Createprocess Success[" + line + "]\r\n"), 1) << log;
}

}  // namespace
