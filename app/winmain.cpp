// Process entry: the log folder and writer, the single-instance guard, the hidden main window,
// the worker, and the message loop.
#include <stdio.h>

#include "app/job_queue.h"
#include "app/main_window.h"
#include "app/resource_ids.h"
#include "common/install_paths.h"
#include "common/log_writer.h"
#include "common/settings.h"

#define TX_LOG_PREFIX "TXCO"
#define TX_INSTANCE_MUTEX "TXCONTROLLER_201900"

int APIENTRY wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
  const char szLogFolder[] = TX_INSTALL_ROOT TX_LOG_SUBFOLDER;
  CreateDirectoryPath(szLogFolder);
  CreateDirectoryA(szLogFolder, NULL);

  snprintf(g_szLogFolder, sizeof g_szLogFolder, "%s", szLogFolder);
  snprintf(g_szLogPrefix, sizeof g_szLogPrefix, "%s", TX_LOG_PREFIX);

  DWORD nLevel = 0;
  ReadRegistryDword("level", nLevel);
  g_nLogLevel = nLevel ? nLevel : LOG_LEVEL_DEFAULT;

  HANDLE hMutex = CreateMutexA(NULL, TRUE, TX_INSTANCE_MUTEX);
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    WriteLog(LOG_LEVEL_WARNING, "WRN", GetCurrentThreadId(), __LINE__, "already Run!!");
    CloseHandle(hMutex);
    return 0;
  }
  WriteLog(LOG_LEVEL_INFO, "INF1", GetCurrentThreadId(), __LINE__, "execute new!!");

  LoadStringW(hInstance, IDS_APP_TITLE, g_szWindowTitle, TX_TITLE_CHARS);
  LoadStringW(hInstance, IDC_TXCONTROLLER, g_szWindowClass, TX_TITLE_CHARS);
  RegisterMainWindowClass(hInstance);
  InitializeCriticalSection(&g_csJobQueue);
  if (!CreateMainWindow(hInstance)) return 0;

  HACCEL hAccelTable = LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(IDC_TXCONTROLLER));
  MSG msg;
  msg.wParam = 0;
  // GetMessageA gives -1 on failure, which must end the loop rather than spin on it.
  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    if (!TranslateAcceleratorA(msg.hwnd, hAccelTable, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  // The worker has no stop signal and may be inside TakeJob right now: the process ends here,
  // before the queue and its lock could be torn down under it.
  ExitProcess(static_cast<UINT>(msg.wParam));
}
