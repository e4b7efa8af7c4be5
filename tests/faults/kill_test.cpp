// The controller killed (SIGKILL) in the middle of its work: a download, the log folder's copy
// and zip, the upload. Nothing half-written may take the place of a whole file, and the next
// start must work and upload the logs whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
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
const char kOldUpdater[] = "the updater that was there before";

class KillTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(machine_.host("C:\\talvex\\bin")); }

  void set_config(const char* key, const std::string& value) {
    ASSERT_TRUE(WritePrivateProfileStringA("config", key, value.c_str(), "C:\\talvex\\bin\\txconfig.ini"));
  }

  // A restarted controller still takes requests: a copy-data request gets its start record.
  void expect_next_start_works(const char* tag) {
    txtest::ControllerProcess next(machine_);
    HWND window = next.start();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(txtest::ControllerProcess::copy_text(window, 7, tag), 0);
    EXPECT_TRUE(next.wait_for_log(txfault::started(tag)));
  }

  txtest::TempMachine machine_;
  txtest::ControllerProcess controller_{machine_};
};

// The routes take no file name; the update job names its target after the address's last
// part, query included, which the server ignores.
// Killed while the body still arrives (a server that stalls, a big body sent slowly enough to
// be caught): the old target stays as it was, and no part file is ever taken for the target.
TEST_F(KillTest, DuringDownloadTheOldTargetStaysWhole) {
  txtest::HttpPeer server;
  for (const char* route : {"stall/500000?/tx_updater.exe", "big/1000000000?/tx_updater.exe"}) {
    SCOPED_TRACE(route);
    machine_.write_file(kTarget, kOldUpdater);
    set_config("updatefilepath", server.url(route));
    HWND window = controller_.start();
    ASSERT_NE(window, nullptr);
    std::size_t starts = txfault::count(controller_.log(), "[_ThreadProc]Start Job[1]");
    ASSERT_TRUE(PostMessageA(window, WM_USER + 1400, 0, 0));
    // The stalled body's first bytes may still sit in the layer's receive buffer, so that
    // kill comes a moment after the job's start; the big body arrives fast and is caught as
    // soon as its part file holds some of it.
    if (std::string(route).rfind("big/", 0) == 0) {
      ASSERT_TRUE(wait_for([&] {
        std::error_code missing;
        return std::filesystem::file_size(machine_.host(kTarget) + ".part", missing) > 0 && !missing;
      }));
    } else {
      ASSERT_TRUE(wait_for([&] { return txfault::count(controller_.log(), "[_ThreadProc]Start Job[1]") > starts; }));
      std::this_thread::sleep_for(1s);
    }
    controller_.kill();
    EXPECT_EQ(machine_.read_file(kTarget), kOldUpdater);
    set_config("updatefilepath", "");
    expect_next_start_works("restart");
  }
}

// A log folder big enough that the copy, the zip and the upload each take a moment.
class KillDuringUploadTest : public KillTest {
 protected:
  void SetUp() override {
    KillTest::SetUp();
    std::ofstream(machine_.root() + "/machine.ini", std::ios::binary) << "[machine]\r\ncomputername=FAULT-PC\r\n";
    set_config("hospitalid", "55550001");
    set_config("chartcode", "7");
    machine_.write_file("C:\\talvex\\log\\app.log", "another program's log\r\n");
    machine_.write_file("C:\\talvex\\log\\big\\noise.bin", txfault::noise(kNoiseBytes));
  }

  std::string debug_channel() const {
    std::ifstream in(machine_.root() + "/debug.log", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Starts an upload, kills the controller when `reached` holds, then uploads with a new
  // controller and checks the stored object is one whole archive of the log folder.
  void kill_when(const std::function<bool()>& reached) {
    HWND window = controller_.start();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostMessageA(window, WM_USER + 1401, 0, 0));
    ASSERT_TRUE(wait_for(reached, 60000ms));
    controller_.kill();

    txtest::ControllerProcess next(machine_);
    window = next.start();
    ASSERT_NE(window, nullptr);
    std::size_t before = txfault::count(debug_channel(), "upload done\n");
    ASSERT_TRUE(PostMessageA(window, WM_USER + 1401, 0, 0));
    ASSERT_TRUE(wait_for([&] { return txfault::count(debug_channel(), "upload done\n") > before; }, 120000ms));

    const std::string key = "55550001/FAULT-PC_00007.zip";
    const std::string scratch = machine_.root() + "/fetched.zip";
    std::istringstream names(s3_.archive_names(key, scratch));
    std::set<std::string> seen;
    for (std::string name; std::getline(names, name);) EXPECT_TRUE(seen.insert(name).second) << "twice: " << name;
    EXPECT_TRUE(seen.count("bulogzip\\app.log"));
    EXPECT_TRUE(seen.count("bulogzip\\big\\noise.bin"));
    EXPECT_TRUE(seen.count("bulogzip\\conlog\\"));
    for (const auto& name : seen) EXPECT_EQ(name.find("bulogzip\\bulogzip"), std::string::npos) << name;
    txtest::ProcessResult listed = txtest::run_process({txtest::find_program("unzip"), "-l", scratch});
    EXPECT_NE(listed.output.find(std::to_string(kNoiseBytes)), std::string::npos) << listed.output;
    int tested = txtest::run_process({txtest::find_program("unzip"), "-tq", scratch}).exit_code;
    EXPECT_TRUE(tested == 0 || tested == 1) << "1: only the warning about backslashes in names";
    EXPECT_TRUE(wait_for([&] { return !machine_.exists("C:\\talvex\\bulogzip.zip"); }));
    EXPECT_FALSE(machine_.exists("C:\\talvex\\bulogzip"));
  }

  static constexpr std::size_t kNoiseBytes = 48u << 20;
  txtest::OpenS3 s3_{machine_};
};

TEST_F(KillDuringUploadTest, WhileCopyingTheLogFolder) {
  kill_when([&] { return machine_.exists("C:\\talvex\\bulogzip"); });
}

TEST_F(KillDuringUploadTest, WhileZipping) {
  kill_when([&] {
    std::error_code missing;
    auto size = std::filesystem::file_size(machine_.host("C:\\talvex\\bulogzip.zip"), missing);
    return !missing && size > 0;
  });
}

TEST_F(KillDuringUploadTest, WhileUploading) {
  kill_when([&] { return controller_.log().find("[OnExcuteV30]data[") != std::string::npos; });
}

}  // namespace
