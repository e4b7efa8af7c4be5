// The update and notice jobs end to end: a real controller, a real HTTP server on loopback,
// and small test programs standing in for the updater and the notice viewer.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cctype>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/win32.h"
#include "tests/support/controller_process.h"
#include "tests/support/http_peer.h"
#include "tests/support/temp_machine.h"
#include "tests/support/unique_name.h"

namespace {

using namespace std::chrono_literals;

const char kConfig[] = "C:\\talvex\\bin\\txconfig.ini";

// Percent-encodes a text for the test server's /text route.
std::string encode(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// An updater that records its start (its pid, for the clean-up) and keeps running a while.
const char kUpdaterScript[] =
    "#!/bin/sh\n"
    "echo $$ > \"$(dirname \"$0\")/updater-started\"\n"
    "sleep 30\n";

class JobsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateDirectoryA("C:\\talvex", nullptr)); }
  void TearDown() override {
    // The updater runs detached in a session of its own: end that whole process group.
    if (machine_.exists("C:\\talvex\\updater-started")) {
      pid_t updater = std::atoi(machine_.read_file("C:\\talvex\\updater-started").c_str());
      if (updater > 0) ::kill(-updater, SIGKILL);
    }
  }

  void set_config(const char* key, const std::string& value) {
    CreateDirectoryA("C:\\talvex\\bin", nullptr);
    ASSERT_TRUE(WritePrivateProfileStringA("config", key, value.c_str(), kConfig));
  }

  bool wait_for_file(const std::string& path) {
    for (int i = 0; i < 250; ++i) {
      if (machine_.exists(path)) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  // The update job skips an updater already running anywhere on the computer: each test's
  // updater has a name of its own, so that tests running side by side never see each other's.
  const std::string updater_ = txtest::unique_name("tx_updater_");
  const std::string updater_path_ = "C:\\talvex\\" + updater_ + ".exe";
  txtest::TempMachine machine_;
  txtest::HttpPeer server_;
  txtest::ControllerProcess controller_{machine_};
};

TEST_F(JobsTest, UpdateDownloadsStartsTheUpdaterAndEndsTheController) {
  std::string url = server_.url("text/" + encode(kUpdaterScript) + "/" + updater_ + ".exe");
  set_config("updatefilepath", url);
  HWND window = controller_.start();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1400, 0, 0));
  EXPECT_EQ(controller_.wait_for_exit(), 0);
  EXPECT_EQ(machine_.read_file(updater_path_), kUpdaterScript);
  EXPECT_TRUE(wait_for_file("C:\\talvex\\updater-started")) << "the updater ran";
  std::string log = controller_.log();
  EXPECT_NE(log.find("[TXCreateProcess]Createprocess Success[" + updater_path_ + "]"), std::string::npos) << log;
  EXPECT_NE(log.find("[_ThreadProc]Exit Controller Process"), std::string::npos) << log;
}

TEST_F(JobsTest, RunningUpdaterIsOnlyRecorded) {
  machine_.write_file(updater_path_, kUpdaterScript);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string command = updater_path_;
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  ASSERT_TRUE(wait_for_file("C:\\talvex\\updater-started"));

  set_config("updatefilepath", server_.url("text/" + encode("new updater") + "/" + updater_ + ".exe"));
  HWND window = controller_.start();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1400, 0, 0));
  EXPECT_TRUE(controller_.wait_for_log("[_ThreadProc]Alread Excuted Update Process[" + updater_ + "]\r\n"));
  EXPECT_EQ(txtest::ControllerProcess::copy_text(window, 5, "after"), 0);
  EXPECT_TRUE(controller_.wait_for_log("data[after]"));
  EXPECT_EQ(machine_.read_file(updater_path_), kUpdaterScript) << "nothing was fetched";
  EXPECT_EQ(controller_.log().find("[TXCreateProcess]"), std::string::npos) << "nothing was started";
}

TEST_F(JobsTest, NewerNoticeIsFetchedAndShownByTheViewer) {
  // The viewer finds the image at the fixed path beside its own folder and keeps a copy.
  machine_.write_file("C:\\talvex\\bin\\txnotice.exe",
                      "#!/bin/sh\n"
                      "cd \"$(dirname \"$0\")/..\" && cp notification_00.jpg seen.tmp && mv seen.tmp viewer-saw.jpg\n");
  set_config("noticefilepath", server_.url("bytes/25000"));
  set_config("noticefiletime", "20261210120000");
  set_config("noticelasttime", "20261201090000");
  HWND window = controller_.start();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1402, 0, 0));
  ASSERT_TRUE(wait_for_file("C:\\talvex\\viewer-saw.jpg"));
  std::string seen = machine_.read_file("C:\\talvex\\viewer-saw.jpg");
  EXPECT_EQ(seen.size(), 25000u);
  EXPECT_EQ(seen, machine_.read_file("C:\\talvex\\notification_00.jpg"));
  EXPECT_TRUE(controller_.wait_for_log(
      "compare notification time current[20261210120000] lasttime[20261201090000]"));
}

}  // namespace
