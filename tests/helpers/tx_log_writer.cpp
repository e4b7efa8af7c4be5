// Test peer: configures the log writer as the controller does and writes records.
//   tx_log_writer FOLDER MASK RECORDS THREADS SLEEP_MS TEXT [LEVEL]
// Each of THREADS threads writes RECORDS records "TEXT t<thread> #<n>" at LEVEL (default 8,
// tag INF1), sleeping SLEEP_MS between records.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/log_writer.h"

namespace {

struct Job {
  int thread;
  long records;
  DWORD sleep_ms;
  DWORD level;
  const char* text;
};

DWORD Writer(LPVOID parameter) {
  const Job* job = static_cast<const Job*>(parameter);
  const char* tag = job->level == LOG_LEVEL_ERROR ? "ERR" : job->level == LOG_LEVEL_WARNING ? "WRN" : "INF1";
  for (long n = 0; n < job->records; ++n) {
    WriteLog(job->level, tag, GetCurrentThreadId(), __LINE__, "%s t%d #%ld", job->text, job->thread, n);
    if (job->sleep_ms) Sleep(job->sleep_ms);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) {
    std::fprintf(stderr, "usage: tx_log_writer FOLDER MASK RECORDS THREADS SLEEP_MS TEXT [LEVEL]\n");
    return 2;
  }
  std::snprintf(g_szLogFolder, sizeof g_szLogFolder, "%s", argv[1]);
  std::snprintf(g_szLogPrefix, sizeof g_szLogPrefix, "%s", "TXCO");
  g_nLogLevel = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 0));
  long records = std::strtol(argv[3], nullptr, 10);
  int threads = std::atoi(argv[4]);
  DWORD sleep_ms = static_cast<DWORD>(std::strtoul(argv[5], nullptr, 10));
  DWORD level = argc > 7 ? static_cast<DWORD>(std::strtoul(argv[7], nullptr, 0)) : LOG_LEVEL_INFO;

  std::vector<Job> jobs;
  for (int t = 0; t < threads; ++t) jobs.push_back(Job{t, records, sleep_ms, level, argv[6]});
  std::vector<HANDLE> handles;
  for (auto& job : jobs) handles.push_back(CreateThread(nullptr, 0, Writer, &job, 0, nullptr));
  for (HANDLE h : handles) {
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
  }
  return 0;
}
