// The hidden main window: its class, its creation, and the procedure that turns requests
// into jobs.
#pragma once

#include "platform/win32.h"

#define WM_TX_UPDATE_REQUEST (WM_USER + 1400)   // 2424
#define WM_TX_SENDLOG_REQUEST (WM_USER + 1401)  // 2425
#define WM_TX_NOTICE_REQUEST (WM_USER + 1402)   // 2426

#define TX_TITLE_CHARS 100

extern WCHAR g_szWindowTitle[TX_TITLE_CHARS];
extern WCHAR g_szWindowClass[TX_TITLE_CHARS];

ATOM RegisterMainWindowClass(HINSTANCE hInstance);
// Creates the hidden window and starts the worker; false only when the window cannot be made.
bool CreateMainWindow(HINSTANCE hInstance);
LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
