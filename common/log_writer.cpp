#include "common/log_writer.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

char g_szLogFolder[MAX_PATH] = "";
char g_szLogPrefix[1024] = "";
DWORD g_nLogLevel = 0;
volatile LONG g_bLogFirstWrite = 1;

namespace {

// Serialises the file part of WriteLog within the process: the exclusive open below loses a
// record whose open collides with another holder, which is right against other processes
// but must never happen between the controller's own threads.
SRWLOCK g_srwLogFile = SRWLOCK_INIT;

const int kDeleteAttempts = 4;
const DWORD kDeleteRetryDelayMs = 50;

// Appends as much of message as fits after the record's head, then CR LF, so an over-long
// message is cut but the record still ends as every record does. Returns the record length.
size_t FinishRecord(char* record, size_t headLength, const char* message) {
  const size_t room = LOG_MESSAGE_MAX - 1 - 2;
  if (headLength > room) headLength = room;
  size_t messageLength = strlen(message);
  if (messageLength > room - headLength) messageLength = room - headLength;
  memcpy(record + headLength, message, messageLength);
  memcpy(record + headLength + messageLength, "\r\n", 3);
  return headLength + messageLength + 2;
}

void DiscardOversizedFile(const char* path) {
  FILE* file = _fsopen(path, "rb", _SH_DENYWR);
  if (!file) return;
  long size = 0;
  if (fseek(file, 0, SEEK_END) == 0) size = ftell(file);
  fclose(file);
  if (size < LOG_ROTATE_SIZE) return;
  for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
    if (DeleteFileA(path)) return;
    if (attempt + 1 < kDeleteAttempts) Sleep(kDeleteRetryDelayMs);
  }
}

}  // namespace

int WriteLog(DWORD level, const char* tag, DWORD threadId, int line, const char* format, ...) {
  if ((level & g_nLogLevel) == 0) return 0;

  char message[LOG_MESSAGE_MAX];
  va_list args;
  va_start(args, format);
  int formatted = vsnprintf(message, sizeof message, format, args);
  va_end(args);
  if (formatted < 0) message[0] = '\0';

  char record[LOG_MESSAGE_MAX];
  if ((g_nLogLevel & LOG_TO_FILE) == 0) {
    int head = snprintf(record, sizeof record, "[%s%s][%d][%d] ", g_szLogPrefix, tag, static_cast<int>(threadId),
                        line);
    FinishRecord(record, head < 0 ? 0 : static_cast<size_t>(head), message);
    OutputDebugStringA(record);
    return 0;
  }

  SYSTEMTIME now;
  GetLocalTime(&now);
  char path[MAX_PATH];
  int pathLength = snprintf(path, sizeof path, "%s\\Log_%02d.log", g_szLogFolder, now.wDay);
  if (pathLength < 0 || static_cast<size_t>(pathLength) >= sizeof path) return 0;  // would name another file

  int head = snprintf(record, sizeof record, "[%04d/%02d/%02d %02d:%02d:%02d.%03d][%s%s][%d][%d] ", now.wYear,
                      now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, g_szLogPrefix,
                      tag, static_cast<int>(threadId), line);
  size_t length = FinishRecord(record, head < 0 ? 0 : static_cast<size_t>(head), message);

  AcquireSRWLockExclusive(&g_srwLogFile);
  if (InterlockedExchange(&g_bLogFirstWrite, 0) != 0) DiscardOversizedFile(path);
  FILE* file = _fsopen(path, "ab", _SH_DENYRW);
  if (file) {
    fwrite(record, 1, length, file);
    fclose(file);
  }
  ReleaseSRWLockExclusive(&g_srwLogFile);
  return 0;
}
