// The controller end to end: a real txcontroller process in its own machine folder, driven
// through its window from this test process, observed through its daily log.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/win32.h"
#include "tests/support/controller_process.h"
#include "tests/support/open_s3.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

using namespace std::chrono_literals;

const char kConfig[] = "C:\\talvex\\bin\\txconfig.ini";

class ControllerTest : public ::testing::Test {
 protected:
  HWND start() { return controller_.start(); }
  int wait_for_exit() { return controller_.wait_for_exit(); }
  std::string log() const { return controller_.log(); }
  bool wait_for_log(const std::string& text, std::chrono::milliseconds limit = 5000ms) const {
    return controller_.wait_for_log(text, limit);
  }
  static LRESULT copy_data(HWND window, DWORD cbData, const void* data) {
    return txtest::ControllerProcess::copy_data(window, cbData, data);
  }

  txtest::TempMachine machine_;
  txtest::ControllerProcess controller_{machine_};
};

TEST_F(ControllerTest, SecondInstanceIsRefusedAndTheFirstKeepsAnswering) {
  HWND window = start();
  ASSERT_NE(window, nullptr);
  auto second = txtest::run_process({txtest::bin_path("txcontroller")});
  EXPECT_EQ(second.exit_code, 0);
  EXPECT_TRUE(wait_for_log("[TXCOWRN]"));
  EXPECT_NE(log().find("] already Run!!\r\n"), std::string::npos);
  EXPECT_EQ(copy_data(window, 7, "abcdefg"), 0);
  EXPECT_TRUE(wait_for_log("[_ThreadProc]Start Job[0] data[abcdefg]"));
  std::string text = log();
  EXPECT_EQ(text.find("execute new!!"), text.rfind("execute new!!")) << "exactly one instance started";
}

TEST_F(ControllerTest, ExitCommandAndCloseEndTheProcessWithZero) {
  struct Case {
    const char* name;
    UINT message;
    WPARAM wParam;
  } cases[] = {{"E&xit", WM_COMMAND, 105}, {"WM_CLOSE", WM_CLOSE, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HWND window = start();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(PostMessageA(window, c.message, c.wParam, 0));
    EXPECT_EQ(wait_for_exit(), 0);
  }
}

TEST_F(ControllerTest, RequestsBecomeJobsWithTheirTypesAndTexts) {
  // The log upload job runs for real: a local S3 server lets it end at once, so the jobs
  // queued behind it are not held up by an unreachable bucket's retries.
  txtest::OpenS3 s3(machine_);
  HWND window = start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(copy_data(window, 0, "ignored"), 0);  // nothing delivered: empty text, no type
  EXPECT_TRUE(wait_for_log("[_ThreadProc]Start Job[0] data[]"));
  std::string big(65536, 'q');
  EXPECT_EQ(copy_data(window, static_cast<DWORD>(big.size()), big.data()), 0);  // no zero byte: taken whole
  EXPECT_TRUE(wait_for_log("[_ThreadProc]Start Job[0] data[qqqq"));
  // The update request with no "updatefilepath" runs with an empty address: the target is
  // the install root itself, which cannot be started, and the controller goes on.
  EXPECT_TRUE(PostMessageA(window, WM_USER + 1400, 0, 0));
  EXPECT_TRUE(wait_for_log("[_ThreadProc]Start Job[1] data[]"));
  EXPECT_TRUE(wait_for_log("[TXCreateProcess]Createprocess Failed["));
  EXPECT_TRUE(IsWindow(window));
  // An unknown command goes to the default procedure, which answers 0.
  EXPECT_EQ(SendMessageA(window, WM_COMMAND, 4242, 0), 0);
  EXPECT_EQ(SendMessageA(window, WM_COMMAND, 104, 0), 0);
  const char last[9] = "last";  // nine bytes delivered, as cbData says
  EXPECT_EQ(copy_data(window, sizeof last, last), 0);
  EXPECT_TRUE(wait_for_log("[_ThreadProc]Start Job[0] data[last]"));
  // Last, since the upload it starts keeps the worker busy: a log upload without a text.
  EXPECT_EQ(copy_data(window, 2, nullptr), 0);
  EXPECT_TRUE(wait_for_log("[_ThreadProc]Start Job[2] data[]"));
}

TEST_F(ControllerTest, RequestsQueuedTogetherRunInOrderOfArrival) {
  HWND window = start();
  ASSERT_NE(window, nullptr);
  // The worker takes one job per 200 ms turn, so a burst waits in the queue and must come
  // out in the order it went in.
  for (std::string text : {"first", "second", "third"}) {
    text.resize(8, '\0');
    EXPECT_EQ(copy_data(window, 8, text.data()), 0);
  }
  ASSERT_TRUE(wait_for_log("data[third]"));
  std::string text = log();
  auto first = text.find("data[first]"), second = text.find("data[second]"), third = text.find("data[third]");
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
}

TEST_F(ControllerTest, NoticeTimesDecideWhetherTheViewerStarts) {
  struct Case {
    const char* current;
    const char* last;
    bool shown;
    bool compared;
  } cases[] = {
      {"20240102", "20240101", true, true},   // same length, last differs first in a lower byte
      {"20240101", "20240101", false, true},  // equal: skipped
      {"2024", "20240101", false, true},      // current is a proper beginning of last: skipped
      {"20240101", "20240102", false, true},  // last after current: skipped
      {"", "20240101", true, false},          // either text empty: shown, without the comparison
      {"20240101", "", true, false},
  };
  HWND window = start();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(CreateDirectoryA("C:\\talvex\\bin", nullptr));
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.current) + " / " + c.last);
    ASSERT_TRUE(WritePrivateProfileStringA("config", "noticefiletime", c.current, kConfig));
    ASSERT_TRUE(WritePrivateProfileStringA("config", "noticelasttime", c.last, kConfig));
    std::string marker = "case" + std::to_string(n++);
    ASSERT_TRUE(
        WritePrivateProfileStringA("config", "noticefilepath", ("http://127.0.0.1:9/" + marker).c_str(), kConfig));
    machine_.write_file("C:\\talvex\\notification_00.jpg", "old image");
    size_t before = log().size();
    // Sent, not posted: a sent message overtakes posted ones, and the end marker below is sent.
    EXPECT_EQ(SendMessageA(window, WM_USER + 1402, 0, 0), 0);
    std::string end = "end" + marker;
    EXPECT_EQ(copy_data(window, static_cast<DWORD>(end.size()), end.data()), 0);
    ASSERT_TRUE(wait_for_log("data[" + end + "]"));
    std::string since = log().substr(before);
    EXPECT_FALSE(machine_.exists("C:\\talvex\\notification_00.jpg")) << "removed before the decision";
    EXPECT_EQ(since.find("compare notification time current[") != std::string::npos, c.compared) << since;
    EXPECT_EQ(since.find("txnotice.exe]") != std::string::npos, c.shown) << since;
  }
}

}  // namespace
