// A full disk: the machine's C:\talvex on a small tmpfs. Downloads fail with the old file
// kept, the log writer drops records and the controller keeps answering, and the log upload
// of a folder whose archive cannot fit is watched for what it sends.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/win32.h"
#include "tests/faults/fault_support.h"
#include "tests/support/controller_process.h"
#include "tests/support/find_program.h"
#include "tests/support/http_peer.h"
#include "tests/support/open_s3.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace std::chrono_literals;
using txfault::wait_for;

const char kTarget[] = "C:\\talvex\\tx_updater.exe";

class DiskFullTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = machine_.host("C:\\talvex");
    std::filesystem::create_directories(folder_);
    if (::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=2m") != 0) {
      GTEST_SKIP() << "mounting a tmpfs was refused (" << std::strerror(errno) << "): needs root";
    }
    mounted_ = true;
    std::filesystem::create_directories(folder_ + "/bin");
  }
  void TearDown() override {
    controller_.kill();
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }

  // Takes every free byte of the tmpfs, the free tail of the log files' last pages too (with
  // blank lines), so that no record fits.
  void fill() {
    {
      std::ofstream out(folder_ + "/filler", std::ios::binary);
      const std::string block(4096, 'f');
      while (out.write(block.data(), block.size())) out.flush();
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder_ + "/log/conlog")) {
      std::ofstream out(entry.path(), std::ios::binary | std::ios::app);
      while (out.put('\n')) out.flush();
    }
  }
  void unfill() { std::filesystem::remove(folder_ + "/filler"); }

  std::string folder_;
  bool mounted_ = false;
  txtest::TempMachine machine_;
  txtest::ControllerProcess controller_{machine_};
};

// An update body bigger than the disk: the old target stays, no part file is left. Records
// written while the disk is full are dropped, and the controller still takes requests; once
// there is room again, records are written.
TEST_F(DiskFullTest, DownloadsFailWithTheOldFileKeptAndRecordsAreDropped) {
  txtest::HttpPeer server;
  machine_.write_file(kTarget, "the old updater");
  ASSERT_TRUE(WritePrivateProfileStringA("config", "updatefilepath",
                                         server.url("bytes/4000000?/tx_updater.exe").c_str(),
                                         "C:\\talvex\\bin\\txconfig.ini"));
  HWND window = controller_.start();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1400, 0, 0));
  // The old target is not executable: its start fails and the controller stays.
  ASSERT_TRUE(controller_.wait_for_log("[TXCreateProcess]Createprocess Failed"));
  EXPECT_EQ(machine_.read_file(kTarget), "the old updater");
  EXPECT_FALSE(machine_.exists(std::string(kTarget) + ".part"));

  fill();
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(txtest::ControllerProcess::copy_text(window, 7, "full"), 0);
  }
  std::this_thread::sleep_for(5s);  // twenty turns of the worker
  unfill();
  EXPECT_EQ(txtest::ControllerProcess::copy_text(window, 7, "room"), 0);
  EXPECT_TRUE(controller_.wait_for_log(txfault::started("room")));
  EXPECT_LT(txfault::count(controller_.log(), txfault::started("full")), 20u) << "the disk was full";
}

// The log folder fits, its staging copy fits, their archive does not: the run stops at the
// zip, leaves no archive behind and uploads nothing.
TEST_F(DiskFullTest, LogArchiveThatCannotFitIsNotUploaded) {
  txtest::OpenS3 s3(machine_);
  std::ofstream(machine_.root() + "/machine.ini", std::ios::binary) << "[machine]\r\ncomputername=FULL-PC\r\n";
  ASSERT_TRUE(WritePrivateProfileStringA("config", "hospitalid", "33330001", "C:\\talvex\\bin\\txconfig.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("config", "chartcode", "5", "C:\\talvex\\bin\\txconfig.ini"));
  machine_.write_file("C:\\talvex\\log\\noise.bin", txfault::noise(800u << 10));
  HWND window = controller_.start();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1401, 0, 0));
  ASSERT_TRUE(wait_for([&] {
    std::ifstream in(machine_.root() + "/debug.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str().find("upload") != std::string::npos ||
           controller_.log().find("[OnExcuteV30]Failed") != std::string::npos;
  }, 60000ms));
  EXPECT_NE(controller_.log().find("[OnExcuteV30]Failed Zip Archive[C:\\talvex\\bulogzip.zip]"), std::string::npos)
      << controller_.log();
  EXPECT_EQ(s3.keys(), "") << "a cut archive was uploaded";
  EXPECT_FALSE(machine_.exists("C:\\talvex\\bulogzip.zip"));
  EXPECT_FALSE(machine_.exists("C:\\talvex\\bulogzip"));
}

}  // namespace
