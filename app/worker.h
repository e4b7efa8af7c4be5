// The worker thread: provisions the desktop shortcuts once, then takes the queued jobs one
// at a time and runs them.
#pragma once

#include <string>

#include "platform/win32.h"

#define TX_POLL_INTERVAL_MS 200

extern LONG g_bShortcutsDone;

DWORD WINAPI _ThreadProc(LPVOID lpParameter);

// The log upload as both the menu command and the queued job run it, on the calling thread.
void RunLogUpload();

// The update address's last part split into file name and extension; false when either does
// not fit the 255-character split buffers or the composed target path would not fit MAX_PATH.
bool SplitUpdateAddress(const char* address, std::string& fileName, std::string& extension);
