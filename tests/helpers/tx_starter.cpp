// Starts the Windows command line given as its first argument with CreateProcessA, prints
// the new process's id, closes both handles and ends; exit code 1 and "error N" on failure.
#include <stdio.h>

#include <string>

#include "platform/win32.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string line = argv[1];
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    printf("error %lu\n", static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  printf("%lu\n", static_cast<unsigned long>(process.dwProcessId));
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return 0;
}
