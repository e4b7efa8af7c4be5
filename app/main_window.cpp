#include "app/main_window.h"

#include <string.h>

#include "app/job_queue.h"
#include "app/resource_ids.h"
#include "app/worker.h"
#include "common/log_writer.h"
#include "common/settings.h"

WCHAR g_szWindowTitle[TX_TITLE_CHARS];
WCHAR g_szWindowClass[TX_TITLE_CHARS];

namespace {

// IDC_ARROW, spelled as the wide resource id it is whatever UNICODE says.
const WORD kArrowCursorId = 32512;

// The copy-data record: cbData selects the job type and is also the number of bytes the
// system delivers. The text ends at the first zero byte within those bytes; delivered bytes
// without a zero byte are taken whole as the text, never read beyond.
void FillFromCopyData(CJobData& job, const COPYDATASTRUCT* pData) {
  if (!pData) return;
  if (pData->lpData && pData->cbData > 0) {
    const char* pText = static_cast<const char*>(pData->lpData);
    const void* pZero = memchr(pText, '\0', pData->cbData);
    size_t length = pZero ? static_cast<size_t>(static_cast<const char*>(pZero) - pText) : pData->cbData;
    job.m_strData.assign(pText, length);
  }
  if (pData->cbData == JOB_UPDATE || pData->cbData == JOB_SENDLOG || pData->cbData == JOB_NOTICE) {
    job.m_nType = static_cast<int>(pData->cbData);
  }
}

void QueueRequest(UINT message, LPARAM lParam) {
  CJobData job;
  switch (message) {
    case WM_COPYDATA:
      FillFromCopyData(job, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      break;
    case WM_TX_UPDATE_REQUEST:
      job.m_nType = JOB_UPDATE;
      job.m_strData = ReadConfigString("updatefilepath");
      break;
    case WM_TX_SENDLOG_REQUEST:
      job.m_nType = JOB_SENDLOG;
      break;
    case WM_TX_NOTICE_REQUEST:
      job.m_nType = JOB_NOTICE;
      job.m_strData = ReadConfigString("noticefilepath");
      break;
  }
  PushJob(job);
}

}  // namespace

ATOM RegisterMainWindowClass(HINSTANCE hInstance) {
  WNDCLASSEXW wcex;
  memset(&wcex, 0, sizeof wcex);
  wcex.cbSize = sizeof(WNDCLASSEXW);
  wcex.style = CS_HREDRAW | CS_VREDRAW;
  wcex.lpfnWndProc = WndProc;
  wcex.cbClsExtra = 0;
  wcex.cbWndExtra = 0;
  wcex.hInstance = hInstance;
  wcex.hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_TXCONTROLLER));
  wcex.hCursor = LoadCursorW(NULL, MAKEINTRESOURCEW(kArrowCursorId));
  wcex.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wcex.lpszMenuName = MAKEINTRESOURCEW(IDC_TXCONTROLLER);
  wcex.lpszClassName = g_szWindowClass;
  wcex.hIconSm = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_SMALL));
  return RegisterClassExW(&wcex);
}

bool CreateMainWindow(HINSTANCE hInstance) {
  HWND hWnd = CreateWindowExW(0, g_szWindowClass, g_szWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                              CW_USEDEFAULT, 0, NULL, NULL, hInstance, NULL);
  if (!hWnd) return false;
  ShowWindow(hWnd, SW_HIDE);
  UpdateWindow(hWnd);
  HANDLE hThread = CreateThread(NULL, 0, _ThreadProc, NULL, 0, NULL);
  if (!hThread) {
    WriteLog(LOG_LEVEL_ERROR, "ERR", GetCurrentThreadId(), __LINE__, "Failed Create Working Thread[%ld]",
             static_cast<long>(GetLastError()));
  }
  return true;
}

// The class is registered with RegisterClassExW, so Windows hands this procedure Unicode
// messages: their default handling must be DefWindowProcW. DefWindowProcA would read the wide
// title of WM_NCCREATE as narrow text and name the window "t", and no other program would
// find "txcontroller_V30" by its title.
LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA:
    case WM_TX_UPDATE_REQUEST:
    case WM_TX_SENDLOG_REQUEST:
    case WM_TX_NOTICE_REQUEST:
      QueueRequest(message, lParam);
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_ABOUT:
          return 0;
        case IDM_EXIT:
          DestroyWindow(hWnd);
          return 0;
        case IDM_SENDLOG:
          RunLogUpload();
          return 0;
        default:
          return DefWindowProcW(hWnd, message, wParam, lParam);
      }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hWnd, &ps);
      EndPaint(hWnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hWnd, message, wParam, lParam);
  }
}
