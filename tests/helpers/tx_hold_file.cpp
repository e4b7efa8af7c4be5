// Test peer: opens the Windows path given as its first argument for reading and writing,
// without sharing, or sharing read, write and delete with "share-all" as second argument
// (as a log writer might); prints "held" once it has the file and keeps it open until its
// standard input closes or it is killed.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/win32.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  DWORD share = argc > 2 && std::strcmp(argv[2], "share-all") == 0
                    ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                    : 0;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("error %lu\n", static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  char byte;
  while (::read(0, &byte, 1) > 0) {
  }
  CloseHandle(file);
  return 0;
}
