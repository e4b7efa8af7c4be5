// kernel32 Tool Help: snapshots of the machine's processes.
//
// Export list (what is offered, and how much of Windows it covers):
//   CreateToolhelp32Snapshot   TH32CS_SNAPPROCESS only (other kinds: INVALID_HANDLE_VALUE and
//                              ERROR_INVALID_PARAMETER); the process id argument is ignored, as
//                              Windows ignores it for process snapshots. The snapshot lists the
//                              host's processes from /proc as they are at the call.
//   Process32First,            ANSI records; dwSize below sizeof(PROCESSENTRY32) fails with
//   Process32Next              ERROR_BAD_LENGTH; the end of the list is FALSE with
//                              ERROR_NO_MORE_FILES. Process32First starts the walk again.
//   CloseHandle                closes a snapshot (kernel.h)
// Fields: th32ProcessID, th32ParentProcessID, cntThreads from the kernel; pcPriClassBase the
// Windows priority class base that the process's nice value corresponds to; cntUsage,
// th32DefaultHeapID, th32ModuleID and dwFlags are 0, as current Windows reports them.
// szExeFile is the file name of the process's image without folder (platform/process_image.h
// says how it is found): the Windows file name for a program started from drive C, the
// script's name for a script, the host file's name otherwise.
#pragma once

#include "platform/types.h"

#define TH32CS_SNAPPROCESS 0x00000002u

struct PROCESSENTRY32 {
  DWORD dwSize;
  DWORD cntUsage;
  DWORD th32ProcessID;
  ULONG_PTR th32DefaultHeapID;
  DWORD th32ModuleID;
  DWORD cntThreads;
  DWORD th32ParentProcessID;
  LONG pcPriClassBase;
  DWORD dwFlags;
  CHAR szExeFile[MAX_PATH];
};
using LPPROCESSENTRY32 = PROCESSENTRY32*;
using PPROCESSENTRY32 = PROCESSENTRY32*;

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32 entry);
BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32 entry);
