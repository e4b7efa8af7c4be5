// kernel32 time: the host's clock, and the host's local time zone (TZ) as the machine's.
#include <time.h>

#include <cerrno>

#include "platform/file_object.h"
#include "platform/kernel.h"

namespace {

constexpr std::int64_t kEpochDifference = 116444736000000000LL;  // 1601 to 1970 in 100 ns

std::int64_t ticks_of(const FILETIME& t) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

FILETIME filetime_of(std::int64_t ticks) {
  auto u = static_cast<std::uint64_t>(ticks);
  return FILETIME{static_cast<DWORD>(u), static_cast<DWORD>(u >> 32)};
}

SYSTEMTIME from_tm(const struct tm& t, long nanoseconds) {
  SYSTEMTIME st;
  st.wYear = static_cast<WORD>(t.tm_year + 1900);
  st.wMonth = static_cast<WORD>(t.tm_mon + 1);
  st.wDayOfWeek = static_cast<WORD>(t.tm_wday);
  st.wDay = static_cast<WORD>(t.tm_mday);
  st.wHour = static_cast<WORD>(t.tm_hour);
  st.wMinute = static_cast<WORD>(t.tm_min);
  st.wSecond = static_cast<WORD>(t.tm_sec);
  st.wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
  return st;
}

}  // namespace

void GetLocalTime(LPSYSTEMTIME time) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  *time = from_tm(local, now.tv_nsec);
}

void GetSystemTime(LPSYSTEMTIME time) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm utc;
  gmtime_r(&now.tv_sec, &utc);
  *time = from_tm(utc, now.tv_nsec);
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local) {
  if (!utc || !local) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::int64_t ticks = ticks_of(*utc);
  time_t seconds = static_cast<time_t>((ticks - kEpochDifference) / 10000000LL);
  struct tm t;
  localtime_r(&seconds, &t);
  *local = filetime_of(ticks + static_cast<std::int64_t>(t.tm_gmtoff) * 10000000LL);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
  if (!fileTime || !systemTime || (fileTime->dwHighDateTime & 0x80000000u)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::int64_t ticks = ticks_of(*fileTime) - kEpochDifference;
  std::int64_t seconds = ticks >= 0 ? ticks / 10000000LL : -((-ticks + 9999999) / 10000000LL);
  long remainder = static_cast<long>((ticks - seconds * 10000000LL) * 100);
  time_t s = static_cast<time_t>(seconds);
  struct tm t;
  gmtime_r(&s, &t);
  *systemTime = from_tm(t, remainder);
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime) {
  if (!systemTime || !fileTime || systemTime->wMonth < 1 || systemTime->wMonth > 12 || systemTime->wDay < 1 ||
      systemTime->wDay > 31 || systemTime->wHour > 23 || systemTime->wMinute > 59 || systemTime->wSecond > 59 ||
      systemTime->wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct tm t = {};
  t.tm_year = systemTime->wYear - 1900;
  t.tm_mon = systemTime->wMonth - 1;
  t.tm_mday = systemTime->wDay;
  t.tm_hour = systemTime->wHour;
  t.tm_min = systemTime->wMinute;
  t.tm_sec = systemTime->wSecond;
  time_t seconds = timegm(&t);
  *fileTime = filetime_of(kEpochDifference + static_cast<std::int64_t>(seconds) * 10000000LL +
                          static_cast<std::int64_t>(systemTime->wMilliseconds) * 10000LL);
  return TRUE;
}

DWORD GetTickCount() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<DWORD>(static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000);
}

void Sleep(DWORD milliseconds) {
  struct timespec delay;
  delay.tv_sec = milliseconds / 1000;
  delay.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}
