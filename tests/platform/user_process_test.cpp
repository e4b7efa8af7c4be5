// Conformance: messages between processes, against a real window in a helper process
// (tests/helpers/tx_window_host.cpp). Expected values: learn.microsoft.com, SendMessageA
// ("the sending thread is blocked until the receiving thread processes the message"; incoming
// sent messages are processed inside GetMessage), PostMessageA, WM_COPYDATA ("the receiving
// application gets cbData bytes"), FindWindowA, System Error Codes (1400).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/user_frame.h"
#include "platform/win32.h"
#include "tests/support/process.h"
#include "tests/support/temp_machine.h"

namespace {

constexpr char kClass[] = "TxHostClass";
constexpr char kTitle[] = "tx host window";

LRESULT fnv1a(const std::string& bytes) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : bytes) hash = (hash ^ c) * 16777619u;
  return static_cast<LRESULT>(hash);
}

class UserProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = machine_.root() + "/host.log";
    host_ = txtest::start_process({txtest::helper_path("tx_window_host"), kClass, kTitle, log_});
    // The window becomes findable once the host has created it.
    for (int i = 0; i < 1000 && !window_; ++i) {
      window_ = FindWindowA(kClass, kTitle);
      if (!window_) Sleep(10);
    }
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (host_ > 0) {
      ::kill(host_, SIGKILL);
      txtest::wait_process(host_);
    }
  }
  // Closes the host's window and waits for the host to end; its exit code.
  int close_host() {
    SendMessageA(window_, WM_CLOSE, 0, 0);
    int code = txtest::wait_process(host_);
    host_ = -1;
    return code;
  }
  std::vector<std::string> log_lines() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::string socket_path() const {
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.sock",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window_)));
    return machine_.root() + "/run/windows/" + name;
  }
  // A raw connection to the window's endpoint, to play a broken peer.
  int connect_raw() const {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = socket_path();
    std::memcpy(address.sun_path, path.data(), path.size());
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
  }

  txtest::TempMachine machine_;
  std::string log_;
  pid_t host_ = -1;
  HWND window_ = nullptr;
};

void expect_window_gone(HWND window) {
  SetLastError(0xDEAD);
  EXPECT_EQ(SendMessageA(window, WM_USER + 1, 1, 1), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0xDEAD);
  EXPECT_FALSE(PostMessageA(window, WM_USER + 1, 1, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(FindWindowA(kClass, kTitle), nullptr);
}

TEST_F(UserProcess, SentMessagesRunInsideGetMessageAndPostedOnesAreDispatched) {
  EXPECT_EQ(SendMessageA(window_, WM_USER + 1, 20, 2), 42);
  EXPECT_TRUE(PostMessageA(window_, WM_USER + 2, 5, -6));
  // A sent message would overtake the posted one (GetMessageA serves sent messages first), and
  // WM_CLOSE would drop it with the window: let it come through first.
  for (int i = 0; i < 1000 && log_lines().size() < 2; ++i) Sleep(10);
  EXPECT_EQ(SendMessageA(window_, WM_COMMAND, 105, 0), 1105);
  DWORD pid = 0;
  EXPECT_NE(GetWindowThreadProcessId(window_, &pid), 0u);
  EXPECT_EQ(pid, static_cast<DWORD>(host_));
  // WM_CLOSE through the default procedure destroys the window; WM_DESTROY posts the quit (0).
  EXPECT_EQ(close_host(), 0);
  EXPECT_EQ(log_lines(), (std::vector<std::string>{"sent 1025 20 2", "posted 1026 5 -6", "command 105", "close"}));
  expect_window_gone(window_);
}

TEST_F(UserProcess, CopyDataCarriesExactlyCbDataBytes) {
  std::string big(64 * 1024, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  struct Case {
    const char* name;
    std::string bytes;
    bool null_data;
    DWORD cb;
    LRESULT expected;
    const char* line;
  } cases[] = {
      {"no bytes", "", false, 0, -1, "copydata 9 0 null"},  // nothing to point at: lpData NULL
      {"three, no zero byte", "abc", false, 3, fnv1a("abc"), "copydata 9 3 data"},
      {"64 KiB", big, false, 65536, fnv1a(big), "copydata 9 65536 data"},
      {"NULL lpData keeps cbData", "", true, 2, -1, "copydata 9 2 null"},
  };
  std::vector<std::string> expected_lines;
  for (auto& c : cases) {
    COPYDATASTRUCT data{9, c.cb, c.null_data ? nullptr : c.bytes.data()};
    SetLastError(0xDEAD);
    EXPECT_EQ(SendMessageA(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), c.expected) << c.name;
    expected_lines.push_back(c.line);
  }
  close_host();
  expected_lines.push_back("close");
  EXPECT_EQ(log_lines(), expected_lines);
}

TEST_F(UserProcess, FindWindowMatchesClassOrTitleAcrossProcesses) {
  EXPECT_EQ(FindWindowA(kClass, nullptr), window_);
  EXPECT_EQ(FindWindowA("txhostCLASS", nullptr), window_);  // class names ignore case
  EXPECT_EQ(FindWindowA(nullptr, kTitle), window_);
  EXPECT_EQ(FindWindowW(u"TxHostClass", u"tx host window"), window_);
  EXPECT_EQ(FindWindowA(kClass, "another title"), nullptr);
  EXPECT_EQ(FindWindowA("OtherClass", nullptr), nullptr);
  EXPECT_TRUE(IsWindow(window_));
}

TEST_F(UserProcess, AKilledProcessesWindowFailsWithInvalidWindowHandle) {
  ::kill(host_, SIGKILL);
  txtest::wait_process(host_);
  host_ = -1;
  expect_window_gone(window_);
}

TEST_F(UserProcess, GarbageAndBrokenFramesDoNotStopTheReceiver) {
  int garbage = connect_raw();
  ASSERT_EQ(::write(garbage, "\x01\x02 not a frame at all, just bytes \xff\xfe", 36), 36);
  ::close(garbage);

  auto header = platform::user::make_header(platform::user::FrameKind::send,
                                            reinterpret_cast<std::uintptr_t>(window_), WM_USER + 1);
  int half = connect_raw();  // half a header, then gone
  ASSERT_EQ(::write(half, &header, sizeof header / 2), static_cast<ssize_t>(sizeof header / 2));
  ::close(half);

  auto copy = platform::user::make_header(platform::user::FrameKind::send,
                                          reinterpret_cast<std::uintptr_t>(window_), WM_COPYDATA);
  copy.data_size = copy.payload_size = 1000;
  int cut = connect_raw();  // a whole header, part of its payload, then gone
  ASSERT_EQ(::write(cut, &copy, sizeof copy), static_cast<ssize_t>(sizeof copy));
  ASSERT_EQ(::write(cut, "abc", 3), 3);
  ::close(cut);

  auto huge = copy;
  huge.data_size = huge.payload_size = platform::user::kMaxPayload + 1;
  int over = connect_raw();  // over the limit: refused without reading on
  ASSERT_EQ(::write(over, &huge, sizeof huge), static_cast<ssize_t>(sizeof huge));
  platform::user::FrameHeader reply{};
  ASSERT_EQ(::read(over, &reply, sizeof reply), static_cast<ssize_t>(sizeof reply));
  EXPECT_EQ(reply.status, static_cast<std::uint32_t>(platform::user::FrameStatus::refused));
  ::close(over);

  int stalled = connect_raw();  // stays open in the middle of a header
  ASSERT_EQ(::write(stalled, &header, 10), 10);

  EXPECT_EQ(SendMessageA(window_, WM_USER + 1, 20, 2), 42);
  ::close(stalled);
  close_host();
  EXPECT_EQ(log_lines(), (std::vector<std::string>{"sent 1025 20 2", "close"}));
}

TEST_F(UserProcess, TenThousandPostsArriveAllInOrder) {
  constexpr int kPosts = 10000;
  for (int i = 0; i < kPosts; ++i) ASSERT_TRUE(PostMessageA(window_, WM_USER + 7, static_cast<WPARAM>(i), 0)) << i;
  // Posted too, so it queues behind them (a sent WM_CLOSE would overtake and drop them).
  ASSERT_TRUE(PostMessageA(window_, WM_CLOSE, 0, 0));
  EXPECT_EQ(txtest::wait_process(host_), 0);
  host_ = -1;
  auto lines = log_lines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kPosts + 1));
  for (int i = 0; i < kPosts; ++i) ASSERT_EQ(lines[i], "posted 1031 " + std::to_string(i) + " 0");
}

}  // namespace
