// The log upload through the controller: a real txcontroller process in its own machine
// folder, asked by its window, uploading to a local S3 server (tests/support/open_s3.h).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "platform/win32.h"
#include "tests/support/controller_process.h"
#include "tests/support/open_s3.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace std::chrono_literals;

std::string read_host_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A controller on the computer OFFICE-PC3 whose settings file names the hospital and chart code.
class ControllerLogUploadTest : public ::testing::Test {
 protected:
  HWND start(const std::string& hospital, const std::string& chart) {
    std::ofstream(machine_.root() + "/machine.ini", std::ios::binary) << "[machine]\r\ncomputername=OFFICE-PC3\r\n";
    machine_.write_file("C:\\talvex\\bin\\txconfig.ini",
                        "[config]\r\nhospitalid=" + hospital + "\r\nchartcode=" + chart + "\r\n");
    machine_.write_file("C:\\talvex\\log\\app.log", "another program's log\r\n");
    return controller_.start();
  }

  std::string log() const { return controller_.log(); }
  std::string debug_channel() const { return read_host_file(machine_.root() + "/debug.log"); }

  bool wait_for(const std::function<bool()>& done, std::chrono::milliseconds limit = 30000ms) const {
    for (auto waited = 0ms; waited < limit; waited += 20ms) {
      if (done()) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  std::string scratch() const { return machine_.root() + "/fetched.zip"; }

  txtest::TempMachine machine_;
  txtest::OpenS3 s3_{machine_};
  txtest::ControllerProcess controller_{machine_};
};

// The queued job (message 2425) and the menu command "&SendLog" started together: the
// command waits for the job's whole run, then makes its own, and the object is one whole
// archive of the log folder.
TEST_F(ControllerLogUploadTest, MenuCommandAndQueuedJobRunOneAfterTheOther) {
  HWND window = start("66660001", "3030");
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1401, 0, 0));
  ASSERT_TRUE(wait_for([&] { return log().find("[_ThreadProc]Start Job[2] data[]") != std::string::npos; }));
  // Answered only when the command's run has ended, on the window's thread.
  EXPECT_EQ(SendMessageA(window, WM_COMMAND, 32772, 0), 0);
  ASSERT_TRUE(wait_for([&] { return count(debug_channel(), "upload done\n") == 2; }));

  const std::string text = log();
  const std::string start = "[OnExcuteV30]Start Log Upload[66660001][3030]\r\n";
  const std::string data = "[OnExcuteV30]data[66660001/OFFICE-PC3_03030.zip]\r\n";
  ASSERT_EQ(count(text, start), 2u);
  ASSERT_EQ(count(text, data), 2u);
  EXPECT_LT(text.find(data), text.rfind(start)) << "the second run began after the first had its archive";
  EXPECT_EQ(text.find("Failed Copy Dir"), std::string::npos);

  EXPECT_EQ(s3_.keys(), "66660001/OFFICE-PC3_03030.zip\n");
  std::istringstream names(s3_.archive_names("66660001/OFFICE-PC3_03030.zip", scratch()));
  std::set<std::string> seen;
  for (std::string name; std::getline(names, name);) EXPECT_TRUE(seen.insert(name).second) << "twice: " << name;
  EXPECT_TRUE(seen.count("bulogzip\\app.log"));
  EXPECT_TRUE(seen.count("bulogzip\\conlog\\"));
  int tested = txtest::run_process({txtest::find_program("unzip"), "-tq", scratch()}).exit_code;
  EXPECT_TRUE(tested == 0 || tested == 1) << "1: only the warning about backslashes in names";
  EXPECT_FALSE(machine_.exists("C:\\talvex\\bulogzip.zip"));
  EXPECT_FALSE(machine_.exists("C:\\talvex\\bulogzip"));
}

// WM_COPYDATA of type 2 runs the job on the worker with the settings' hospital and chart code.
TEST_F(ControllerLogUploadTest, CopyDataOfTypeTwoUploadsUnderTheSettingsKey) {
  HWND window = start("77770002", "-7");
  ASSERT_NE(window, nullptr);
  COPYDATASTRUCT record = {0, 2, nullptr};
  EXPECT_EQ(SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record)), 0);
  ASSERT_TRUE(wait_for([&] { return count(debug_channel(), "upload done\n") == 1; }));
  EXPECT_NE(log().find("[OnExcuteV30]data[77770002/OFFICE-PC3_-0007.zip]\r\n"), std::string::npos);
  EXPECT_EQ(s3_.keys(), "77770002/OFFICE-PC3_-0007.zip\n");
  EXPECT_TRUE(wait_for([&] { return !machine_.exists("C:\\talvex\\bulogzip.zip"); }));
}

}  // namespace
