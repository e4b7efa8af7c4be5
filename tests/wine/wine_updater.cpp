// Stands in for the updater the update job downloads: records its start in "updater-started"
// beside itself (its process id, so the scenario sees which process ran) and ends.
#include "platform/win32.h"

#include <cstdio>
#include <cstring>

int main() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  char* slash = std::strrchr(path, '\\');
  if (!slash || static_cast<std::size_t>(slash + 1 - path) + sizeof "updater-started" > MAX_PATH) return 1;
  std::strcpy(slash + 1, "updater-started");
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  char text[16];
  int size = std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(GetCurrentProcessId()));
  DWORD written = 0;
  BOOL ok = WriteFile(file, text, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
  return ok ? 0 : 1;
}
