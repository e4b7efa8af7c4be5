#include "actions/process.h"

#include <string.h>

#include "common/log_writer.h"

int IsProcessRunning(std::string name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry;
  memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;

  int running = 0;
  if (Process32First(snapshot, &entry)) {
    do {
      if (strlen(entry.szExeFile) == name.size() && memcmp(entry.szExeFile, name.data(), name.size()) == 0) {
        running = 1;
        break;
      }
    } while (Process32Next(snapshot, &entry));
  }
  CloseHandle(snapshot);  // also when none was taken: INVALID_HANDLE_VALUE closes as a no-op
  return running;
}

int TXCreateProcess(std::string commandLine) {
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof process);

  if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    long error = static_cast<long>(GetLastError());
    WriteLog(2, "ERR", GetCurrentThreadId(), __LINE__, "[TXCreateProcess]Createprocess Failed[%ld][%s]", error,
             commandLine.c_str());
    return 0;
  }
  WriteLog(8, "INF1", GetCurrentThreadId(), __LINE__, "[TXCreateProcess]Createprocess Success[%s]",
           commandLine.c_str());
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return 1;
}
