#include "common/log_writer.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

char g_szLogFolder[MAX_PATH] = "";
char g_szLogPrefix[1024] = "";
DWORD g_nLogLevel = 0;
volatile LONG g_bLogFirstWrite = 1;

namespace {

// Serialises the file part of WriteLog within the process, so that the controller's own
// threads never meet at the exclusive open below.
SRWLOCK g_srwLogFile = SRWLOCK_INIT;

const int kDeleteAttempts = 4;
const DWORD kDeleteRetryDelayMs = 50;

// Other processes (a second start, the product's other programs) append to the same daily
// file, each holding it exclusively for one record. An open that meets such a holder is tried
// again after a millisecond, a bounded number of times, so that a record is not lost to a
// neighbour's record and records still never interleave; a file that stays locked, missing
// or unwritable loses the record as before.
const int kOpenAttempts = 20;
const DWORD kOpenRetryDelayMs = 1;

FILE* OpenForRecord(const char* path) {
  for (int attempt = 1;; ++attempt) {
    FILE* file = _fsopen(path, "ab", _SH_DENYRW);
    if (file) return file;
    DWORD error = GetLastError();
    if (attempt == kOpenAttempts || (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)) {
      return nullptr;
    }
    Sleep(kOpenRetryDelayMs);
  }
}

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
  FILE* file = OpenForRecord(path);
  if (file) {
    fwrite(record, 1, length, file);
    fclose(file);
  }
  ReleaseSRWLockExclusive(&g_srwLogFile);
  return 0;
}
