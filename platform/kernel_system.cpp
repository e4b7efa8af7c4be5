// kernel32 process and system information: debug output, computer name, modules and the
// 32-on-64 question, the current process, ExitProcess.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/kernel.h"
#include "platform/machine.h"
#include "platform/scoped_handle.h"

namespace {

// Fixed module handles: the program's image base as on 32-bit Windows, and one for kernel32.
HMODULE program_module() { return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x00400000)); }
HMODULE kernel32_module() { return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x75000000)); }

bool same_ascii_ignoring_case(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return *a == *b;
}

}  // namespace

void OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  std::string line(text);
  if (line.empty() || line.back() != '\n') line += '\n';
  platform::ScopedFd fd(::open(platform::Machine::current().debug_log().c_str(),
                               O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (!fd) return;
  // One write per call, so lines of concurrent writers never interleave.
  ssize_t ignored = ::write(fd.get(), line.data(), line.size());
  (void)ignored;
}

BOOL GetComputerNameA(LPSTR buffer, LPDWORD size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string& name = platform::Machine::current().settings().computer_name;
  if (!buffer || *size < name.size() + 1) {
    *size = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  if (!moduleName) return program_module();
  if (same_ascii_ignoring_case(moduleName, "kernel32") || same_ascii_ignoring_case(moduleName, "kernel32.dll")) {
    return kernel32_module();
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (module == kernel32_module() && procName && !IS_INTRESOURCE(procName) &&
      std::strcmp(procName, "IsWow64Process") == 0) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&IsWow64Process));
  }
  SetLastError(module == kernel32_module() || module == program_module() ? ERROR_PROC_NOT_FOUND
                                                                          : ERROR_MOD_NOT_FOUND);
  return nullptr;
}

BOOL IsWow64Process(HANDLE process, PBOOL wow64) {
  if (process != GetCurrentProcess() || !wow64) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *wow64 = platform::Machine::current().settings().windows64 ? TRUE : FALSE;
  return TRUE;
}

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

void ExitProcess(UINT exitCode) {
  // Static objects are not destroyed, as on Windows, where other threads may still use them.
  std::fflush(nullptr);
  ::_exit(static_cast<int>(exitCode));
}
