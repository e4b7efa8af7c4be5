// Faults from the controller's peers: servers that break a body off, a second controller
// started over and over, and settings files and hives turned to garbage under it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win32.h"
#include "tests/faults/fault_support.h"
#include "tests/support/controller_process.h"
#include "tests/support/http_peer.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace std::chrono_literals;
using txfault::wait_for;

const char kConfig[] = "C:\\talvex\\bin\\txconfig.ini";

class PeerFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(machine_.host("C:\\talvex\\bin"));
    window_ = controller_.start();
    ASSERT_NE(window_, nullptr);
  }

  void set_config(const char* key, const std::string& value) {
    ASSERT_TRUE(WritePrivateProfileStringA("config", key, value.c_str(), kConfig));
  }

  // A copy-data request after the fault gets its start record: the worker went on.
  void expect_answers(const std::string& tag) {
    // 16: a type no handler takes.
    EXPECT_EQ(txtest::ControllerProcess::copy_text(window_, 16, tag), 0);
    EXPECT_TRUE(controller_.wait_for_log(txfault::started(tag), 60s)) << controller_.log();
  }

  txtest::TempMachine machine_;
  txtest::ControllerProcess controller_{machine_};
  HWND window_ = nullptr;
};

// A body that stops (reset, early close, stall until the receive time-out) fails the
// download: no target, no part file left, and the next job runs.
TEST_F(PeerFaultsTest, BrokenBodiesLeaveNoTargetAndTheWorkerGoesOn) {
  txtest::HttpPeer server;
  const struct {
    const char* route;
    const char* tag;
  } cases[] = {{"drop/300000", "drop"}, {"short/300000", "short"}, {"stall/300000", "stall"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.route);
    // The target is named after the address's last part; the query keeps the route's own.
    set_config("updatefilepath", server.url(std::string(c.route) + "?/tx_updater.exe"));
    // Sent, like the copy-data request after it: a sent message overtakes posted ones.
    ASSERT_EQ(SendMessageA(window_, WM_USER + 1400, 0, 0), 0);
    expect_answers(c.tag);
    EXPECT_FALSE(machine_.exists("C:\\talvex\\tx_updater.exe"));
    EXPECT_FALSE(machine_.exists("C:\\talvex\\tx_updater.exe.part"));
  }
}

// 100 second starts while the first takes a request between each: every one refused with
// exit code 0, every request started, in order.
TEST_F(PeerFaultsTest, SecondStartsAreRefusedAndTheFirstMissesNothing) {
  for (int i = 0; i < 100; ++i) {
    char tag[8];
    std::snprintf(tag, sizeof tag, "n%06d", i);
    EXPECT_EQ(txtest::ControllerProcess::copy_text(window_, 7, tag), 0);
    txtest::ProcessResult second = txtest::run_process({txtest::bin_path("txcontroller")});
    ASSERT_EQ(second.exit_code, 0) << i;
  }
  ASSERT_TRUE(wait_for([&] { return controller_.log().find(txfault::started("n000099")) != std::string::npos; }, 60s));
  const std::string log = controller_.log();
  EXPECT_EQ(txfault::count(log, "] already Run!!\r\n"), 100u);
  EXPECT_EQ(txfault::count(log, "] execute new!!\r\n"), 1u);
  std::size_t at = 0;
  for (int i = 0; i < 100; ++i) {
    char tag[8];
    std::snprintf(tag, sizeof tag, "n%06d", i);
    std::size_t next = log.find(txfault::started(tag), at);
    ASSERT_NE(next, std::string::npos) << tag << " missing or out of order";
    at = next;
  }
}

// The settings file and the hive replaced by garbage or cut off while the controller runs:
// lookups find nothing, as for missing values, and the controller keeps answering.
TEST_F(PeerFaultsTest, GarbageSettingsAndHiveReadAsMissing) {
  const std::string hive = machine_.root() + "/user.reg";
  ASSERT_EQ(txtest::run_process({txtest::bin_path("txmachine"), "reg", "set", "level", "dword", "0x1003F"}).exit_code, 0);
  set_config("noticefilepath", "http://127.0.0.1:1/notice.jpg");
  std::string good_config = machine_.read_file(kConfig);
  std::string good_hive;
  {
    std::ifstream in(hive, std::ios::binary);
    good_hive.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_FALSE(good_hive.empty());
  const std::string garbage = txfault::noise(5000) + "\r\n[config\r\nnoticefilepath";
  const struct {
    const char* name;
    std::string config;
    std::string hive;
  } cases[] = {
      {"garbage", garbage, garbage},
      {"cut", good_config.substr(0, good_config.size() / 2), good_hive.substr(0, good_hive.size() / 2)},
      {"empty", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    machine_.write_file(kConfig, c.config);
    std::ofstream(hive, std::ios::binary | std::ios::trunc) << c.hive;
    // Sent, like the copy-data request that follows: a sent message overtakes posted ones.
    ASSERT_EQ(SendMessageA(window_, WM_USER + 1402, 0, 0), 0);
    ASSERT_EQ(SendMessageA(window_, WM_USER + 1400, 0, 0), 0);
    expect_answers(c.name);
  }
  const std::string log = controller_.log();
  // A cut file may still hold the line before the cut; garbage and empty files give nothing.
  EXPECT_GE(txfault::count(log, "[_ThreadProc]Start Job[3] data[]\r\n"), 2u) << log;
  EXPECT_EQ(txfault::count(log, "[_ThreadProc]Start Job[1] data[]\r\n"), 3u) << log;
}

}  // namespace
