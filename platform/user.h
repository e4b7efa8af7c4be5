// user32: window classes, top-level windows, per-thread message queues, and messages between
// processes of the same machine folder.
//
// Export list (what is offered, and how much of Windows it covers):
//   RegisterClassExW          process-local classes, looked up by name (case-insensitive) or atom;
//                             1410 for a name already registered, 87 for a bad cbSize or no name
//   CreateWindowExW           top-level windows only (a parent gives 50); WM_NCCREATE then WM_CREATE
//                             go to the procedure; 1407 for a missing class; NULL when WM_NCCREATE
//                             returns FALSE or WM_CREATE returns -1. The window belongs to the
//                             calling thread and is findable and reachable from other processes
//                             once CreateWindowExW has returned it.
//   DestroyWindow             WM_DESTROY then WM_NCDESTROY; the window's queued posted messages
//                             are dropped and its endpoint is closed; 5 from another thread
//   DefWindowProcA/W          WM_CLOSE -> DestroyWindow, WM_PAINT validates; WM_NCCREATE -> TRUE and
//                             the window takes its title from the CREATESTRUCT (DefWindowProcA
//                             reads the wide title as narrow text, so "title" becomes "t"; a
//                             procedure that answers WM_NCCREATE itself leaves the title empty);
//                             every other message gives 0
//   ShowWindow, UpdateWindow  nothing is ever displayed: visibility is a flag. A window becoming
//                             visible gets its whole area invalid; UpdateWindow sends WM_PAINT then,
//                             and GetMessageA/PeekMessageA make one for a visible, invalid window
//                             of the thread when no posted message is waiting
//   BeginPaint, EndPaint      BeginPaint validates the window and fills rcPaint; there is no display,
//                             so the returned device context is NULL
//   GetMessageA, PeekMessageA messages sent to the thread's windows from other threads and
//                             processes run inside the call; posted messages come out in order;
//                             filters by window and message range; WM_QUIT after the posted ones
//   PostQuitMessage, TranslateMessage (no keyboard exists: never translates, returns FALSE),
//   DispatchMessageA/W        calls the procedure of msg->hwnd (a thread message gives 0)
//   SendMessageA/W            same thread: a direct call; other thread or process: waits for the
//                             procedure's result while serving messages sent to this thread; 1400
//                             when the window is gone, also when it goes while the sender waits
//   PostMessageA/W            NULL window: the calling thread's queue; other process: TRUE once
//                             the window's endpoint has queued the message; WM_COPYDATA is refused
//                             with 1159, as Windows refuses pointer messages for posting
//   FindWindowA/W             class and/or title (NULL matches any; class case-insensitive, title
//                             exact) over the windows of every process of the machine folder
//   IsWindow, GetWindowThreadProcessId
// Between processes WM_COPYDATA carries exactly cbData bytes of lpData; every other message's
// wParam and lParam travel as numbers (pointer messages such as WM_SETTEXT are not marshalled).
// Only processes of the same user reach a window (the machine's run folder is owner-only and
// each peer's user id is checked).
#pragma once

#include "platform/errors.h"
#include "platform/types.h"

struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HMENU__;
using HMENU = HMENU__*;
struct HACCEL__;
using HACCEL = HACCEL__*;
struct HDC__;
using HDC = HDC__*;

struct POINT {
  LONG x;
  LONG y;
};
using LPPOINT = POINT*;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
using LPRECT = RECT*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSEXW {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
  HICON hIconSm;
};
using LPWNDCLASSEXW = WNDCLASSEXW*;

struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};
using LPCREATESTRUCTW = CREATESTRUCTW*;

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
  DWORD lPrivate;
};
using LPMSG = MSG*;
using PMSG = MSG*;

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
using LPPAINTSTRUCT = PAINTSTRUCT*;

struct COPYDATASTRUCT {
  ULONG_PTR dwData;
  DWORD cbData;
  PVOID lpData;
};
using PCOPYDATASTRUCT = COPYDATASTRUCT*;

// Accelerator table entry, as LoadAcceleratorsA/TranslateAcceleratorA use it.
struct ACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
};
using LPACCEL = ACCEL*;
#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10

// Messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_SHOWWINDOW 0x0018
#define WM_COPYDATA 0x004A
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_USER 0x0400
#define WM_APP 0x8000

// PeekMessage options.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Class styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW \
  (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define CW_USEDEFAULT (static_cast<int>(0x80000000))

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10
#define SW_FORCEMINIMIZE 11

// System colours (a class brush is the colour index + 1).
#define COLOR_WINDOW 5

// Like the Windows headers, the narrow form unless UNICODE is defined.
#ifndef MAKEINTRESOURCE
#ifdef UNICODE
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#else
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#endif
#endif
#define IDC_ARROW MAKEINTRESOURCE(32512)

ATOM RegisterClassExW(const WNDCLASSEXW* windowClass);
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND window);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL IsWindow(HWND window);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
HWND FindWindowA(LPCSTR className, LPCSTR windowName);
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
void PostQuitMessage(int exitCode);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
