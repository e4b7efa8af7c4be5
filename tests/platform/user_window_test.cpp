// Conformance: window classes, creation and destruction, the default procedure and painting.
// Expected values: learn.microsoft.com, RegisterClassExW, CreateWindowExW, WM_NCCREATE,
// WM_CREATE, DestroyWindow, DefWindowProcW, WM_CLOSE, ShowWindow, UpdateWindow, BeginPaint.
// The title rule: the Windows 3.1 SDK's WM_NCCREATE ("Default Action: ... the window text is
// set"), Registering Window Classes (a RegisterClassW class gets Unicode text parameters), and
// Wine, where DefWindowProcA names such a window "t" (docs/windows-build.md).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/support/temp_machine.h"

namespace {

std::vector<UINT> g_seen;
LRESULT g_create_result = 0;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  g_seen.push_back(message);
  if (message == WM_CREATE) return g_create_result;
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
  }
  if (message == WM_DESTROY) PostQuitMessage(42);
  return DefWindowProcW(window, message, wParam, lParam);
}

class UserWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen.clear();
    g_create_result = 0;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = u"UserWindowTest";
    atom_ = RegisterClassExW(&wc);
    ASSERT_NE(atom_, 0);
  }
  HWND create(DWORD style = WS_OVERLAPPEDWINDOW) {
    return CreateWindowExW(0, u"UserWindowTest", u"title", style, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                           nullptr, nullptr, nullptr);
  }
  txtest::TempMachine machine_;
  ATOM atom_ = 0;
};

TEST_F(UserWindow, RegisteringAClassTwiceFailsWithClassAlreadyExists) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = u"userwindowtest";  // class names are case-insensitive
  SetLastError(0xDEAD);
  EXPECT_EQ(RegisterClassExW(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  wc.cbSize = sizeof wc - 1;
  wc.lpszClassName = u"Other";
  SetLastError(0xDEAD);
  EXPECT_EQ(RegisterClassExW(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(UserWindow, CreationSendsNcCreateThenCreateAndAMissingClassFails) {
  HWND window = create();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(g_seen, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  EXPECT_TRUE(IsWindow(window));
  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(window, &pid), GetCurrentThreadId());
  EXPECT_EQ(pid, GetCurrentProcessId());

  SetLastError(0xDEAD);
  EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"t", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  // The atom that RegisterClassExW returned names the class as well.
  EXPECT_NE(CreateWindowExW(0, MAKEINTRESOURCEW(atom_), u"by atom", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
}

TEST_F(UserWindow, CreateReturningMinusOneDestroysTheWindowAndGivesNull) {
  g_create_result = -1;
  EXPECT_EQ(create(), nullptr);
  EXPECT_EQ(g_seen, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(UserWindow, CloseThroughTheDefaultProcedureDestroysAndEndsTheLoop) {
  HWND window = create();
  ASSERT_NE(window, nullptr);
  g_seen.clear();
  ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 42u);  // PostQuitMessage's exit code
  EXPECT_EQ(g_seen, (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(window));
  SetLastError(0xDEAD);
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(UserWindow, AHiddenWindowIsNeverPaintedAndAShownOneOnce) {
  HWND window = create();
  ASSERT_NE(window, nullptr);
  g_seen.clear();
  EXPECT_FALSE(ShowWindow(window, SW_HIDE));  // returns the previous visibility
  EXPECT_TRUE(UpdateWindow(window));
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(g_seen.empty());

  EXPECT_FALSE(ShowWindow(window, SW_SHOW));
  EXPECT_TRUE(UpdateWindow(window));  // sends WM_PAINT: the update region is not empty
  EXPECT_EQ(g_seen, (std::vector<UINT>{WM_PAINT}));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // BeginPaint validated it
  EXPECT_TRUE(ShowWindow(window, SW_HIDE));
}

TEST_F(UserWindow, DefaultProcedureAnswersZeroAndNcCreateTrue) {
  HWND window = create();
  EXPECT_EQ(DefWindowProcA(window, WM_USER + 5, 1, 2), 0);
  EXPECT_EQ(DefWindowProcA(window, WM_COMMAND, 999, 0), 0);
  EXPECT_EQ(DefWindowProcW(window, WM_NCCREATE, 0, 0), TRUE);
}

// Who names the window: the default procedure that WM_NCCREATE reaches, or nobody.
enum class NcCreate { kDefaultW, kDefaultA, kAnswered };
NcCreate g_nc_create = NcCreate::kDefaultW;

LRESULT CALLBACK TitleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE && g_nc_create == NcCreate::kAnswered) return TRUE;
  if (g_nc_create == NcCreate::kDefaultA) return DefWindowProcA(window, message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(UserWindow, TheDefaultProcedureNamesTheWindowFromItsCreateStruct) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = TitleProc;
  wc.lpszClassName = u"TitleTest";
  ASSERT_NE(RegisterClassExW(&wc), 0);
  const struct {
    NcCreate nc_create;
    const char* title;  // the window's title, as FindWindowA finds it
  } cases[] = {
      {NcCreate::kDefaultW, "txcontroller_V30"},
      {NcCreate::kDefaultA, "t"},
      {NcCreate::kAnswered, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.nc_create));
    g_nc_create = c.nc_create;
    HWND window =
        CreateWindowExW(0, u"TitleTest", u"txcontroller_V30", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FindWindowA("TitleTest", c.title), window);
    if (c.nc_create != NcCreate::kDefaultW) {
      EXPECT_EQ(FindWindowA("TitleTest", "txcontroller_V30"), nullptr);
    }
    EXPECT_TRUE(DestroyWindow(window));
  }
}

}  // namespace
