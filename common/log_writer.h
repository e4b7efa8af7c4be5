// The controller's one logging entry point and its process-wide configuration.
//
// A record passes when its level bit is in g_nLogLevel; it goes to the day's file
// "<g_szLogFolder>\Log_DD.log" when LOG_TO_FILE is set, to the debugger output otherwise.
// Start-up fills the configuration before the first record.
#pragma once

#include "platform/win32.h"

#define LOG_LEVEL_ERROR 0x2u
#define LOG_LEVEL_WARNING 0x4u
#define LOG_LEVEL_INFO 0x8u
#define LOG_TO_FILE 0x10000u
#define LOG_LEVEL_DEFAULT 0x1003Fu  // the six low level bits and LOG_TO_FILE

#define LOG_MESSAGE_MAX 51200     // one message or one record, terminator included
#define LOG_ROTATE_SIZE 3145728L  // a day's file this large is discarded at a process's first record

extern char g_szLogFolder[MAX_PATH];
extern char g_szLogPrefix[1024];
extern DWORD g_nLogLevel;
extern volatile LONG g_bLogFirstWrite;

#if defined(__GNUC__)
#define TX_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define TX_PRINTF_FORMAT(f, a)
#endif

// Always returns 0. threadId is the caller's GetCurrentThreadId(), line its own __LINE__.
int WriteLog(DWORD level, const char* tag, DWORD threadId, int line, const char* format, ...)
    TX_PRINTF_FORMAT(5, 6);
