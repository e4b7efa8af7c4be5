// Conformance: a thread's message queue. Expected values: learn.microsoft.com, GetMessageA,
// PeekMessageA, PostMessageA, SendMessageA, PostQuitMessage, DispatchMessageA.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32.h"
#include "tests/support/temp_machine.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wParam;
  DWORD thread;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK QueueProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER) {
    g_seen.push_back({message, wParam, GetCurrentThreadId()});
    return static_cast<LRESULT>(wParam) * 2 + lParam;
  }
  if (message == WM_DESTROY) PostQuitMessage(static_cast<int>(wParam));
  return DefWindowProcW(window, message, wParam, lParam);
}

class UserQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen.clear();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = QueueProc;
    wc.lpszClassName = u"UserQueueTest";
    RegisterClassExW(&wc);
    window_ = CreateWindowExW(0, u"UserQueueTest", u"queue", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  txtest::TempMachine machine_;
  HWND window_ = nullptr;
};

TEST_F(UserQueue, PostedMessagesComeOutInOrderThenQuit) {
  for (WPARAM i = 0; i < 100; ++i) ASSERT_TRUE(PostMessageA(window_, WM_USER + 1, i, 0));
  ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 7, 0));  // NULL window: a thread message
  PostQuitMessage(3);
  ASSERT_TRUE(PostMessageA(window_, WM_USER + 3, 0, 0));  // WM_QUIT waits for posted messages
  MSG msg;
  std::vector<WPARAM> order;
  BOOL got;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    if (msg.message == WM_USER + 2) {
      EXPECT_EQ(msg.hwnd, nullptr);
    }
    if (msg.message == WM_USER + 1) order.push_back(msg.wParam);
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(got, FALSE);
  EXPECT_EQ(msg.wParam, 3u);
  ASSERT_EQ(order.size(), 100u);
  for (WPARAM i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
  EXPECT_EQ(g_seen.back().message, static_cast<UINT>(WM_USER + 3));
}

TEST_F(UserQueue, PeekFiltersByRangeAndCanLeaveTheMessage) {
  PostMessageA(window_, WM_USER + 1, 1, 0);
  PostMessageA(window_, WM_USER + 9, 2, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 5, WM_USER + 10, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  ASSERT_TRUE(PeekMessageA(&msg, window_, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(UserQueue, SameThreadSendCallsTheProcedureDirectly) {
  EXPECT_EQ(SendMessageA(window_, WM_USER + 1, 20, 2), 42);
  ASSERT_EQ(g_seen.size(), 1u);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(UserQueue, PostingCopyDataIsRefused) {
  COPYDATASTRUCT data{0, 3, const_cast<char*>("abc")};
  SetLastError(0xDEAD);
  EXPECT_FALSE(PostMessageA(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MESSAGE_SYNC_ONLY));
}

DWORD WINAPI SendFromOtherThread(LPVOID parameter) {
  auto window = static_cast<HWND>(parameter);
  LRESULT result = SendMessageA(window, WM_USER + 4, 5, 1);
  PostMessageA(window, WM_USER + 5, static_cast<WPARAM>(result), 0);
  return 0;
}

TEST_F(UserQueue, SendFromAnotherThreadRunsInsideGetMessageOnTheWindowsThread) {
  HANDLE thread = CreateThread(nullptr, 0, SendFromOtherThread, window_, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  MSG msg;
  ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
  // The sent message ran inside GetMessageA, never came out of it, and its result reached the sender.
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
  EXPECT_EQ(msg.wParam, 11u);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].thread, GetCurrentThreadId());
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

TEST_F(UserQueue, DestroyedWindowsRefuseMessages) {
  PostMessageA(window_, WM_USER + 1, 0, 0);
  ASSERT_TRUE(DestroyWindow(window_));
  MSG msg;
  // What is left is the WM_QUIT from WM_DESTROY: the window's posted message went with it.
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  SetLastError(0xDEAD);
  EXPECT_EQ(SendMessageA(window_, WM_USER + 1, 1, 1), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0xDEAD);
  EXPECT_FALSE(PostMessageA(window_, WM_USER + 1, 1, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0xDEAD);
  EXPECT_EQ(GetMessageA(&msg, window_, 0, 0), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
