// kernel32: errors, handles, files and folders, time, synchronisation, threads, debug
// output, computer name, modules, process start.
//
// Export list (what is offered, and how much of Windows it covers):
//   GetLastError, SetLastError        per thread
//   CloseHandle                        every handle kind of the layer; pseudo handles are ignored
//   CreateDirectoryA                   183 when the name exists, 3 when a parent is missing, 5 for a
//                                      drive root; security attributes ignored
//   RemoveDirectoryA                   empty folders only (145 otherwise)
//   DeleteFileA                        32 while a handle that does not share delete is open; 5 on a folder
//   MoveFileExA                        files only, on the one drive; MOVEFILE_REPLACE_EXISTING (183
//                                      without it); 32 while the file or the replaced one is open
//                                      without FILE_SHARE_DELETE; 5 for a read-only or folder target;
//                                      MOVEFILE_WRITE_THROUGH syncs; MOVEFILE_COPY_ALLOWED not needed
//   GetFileAttributesA                 DIRECTORY, ARCHIVE (every file), READONLY (no owner write bit)
//   CreateFileA                        GENERIC_READ/WRITE, FILE_SHARE_READ/WRITE/DELETE honoured between
//                                      handles of all processes using the layer; the five dispositions;
//                                      attributes and flags other than the disposition are ignored;
//                                      a new file in a folder without the owner write bit gives 5
//   ReadFile, WriteFile                synchronous only (no OVERLAPPED)
//   SetFilePointer, GetFileSize       whole 64-bit offsets
//   FindFirstFileA, FindFirstFileExA,  DOS wildcards (* ? and *.* for every name); "." and ".." for every
//   FindNextFileA, FindClose           folder but a drive root; FindExInfoStandard/FindExSearchNameMatch
//   GetFullPathNameA                   drive-letter paths, rooted and relative paths, . and ..
//   GetLocalTime, GetSystemTime,       the host clock and the host's local time zone (TZ)
//   FileTimeToLocalFileTime, FileTimeToSystemTime, SystemTimeToFileTime, GetTickCount
//   Sleep, GetCurrentThreadId, GetCurrentProcessId, GetCurrentProcess
//   InitializeCriticalSection, EnterCriticalSection, LeaveCriticalSection, DeleteCriticalSection
//   AcquireSRWLockExclusive, ReleaseSRWLockExclusive   static SRWLOCK_INIT supported
//   InterlockedExchange, InterlockedCompareExchange, InterlockedIncrement, InterlockedDecrement
//   CreateMutexA                       named mutexes of the machine's session: a second creator gets a
//                                      handle and 183; the name is released when the last handle closes
//                                      or its process dies. "Local\" equals no prefix. Waiting on a
//                                      mutex is not offered.
//   OutputDebugStringA                 one line of the machine's debug.log per call
//   GetComputerNameA                   from machine.ini; 111 (ERROR_BUFFER_OVERFLOW) semantics as Windows
//   GetModuleHandleA, GetProcAddress   NULL (the program) and "kernel32"; procedures: IsWow64Process
//   IsWow64Process                     the machine's windows64 setting
//   ExitProcess
//   CreateProcessA                     lpApplicationName NULL only (else ERROR_INVALID_PARAMETER). The
//                                      program is found in the command line by Windows' rules (quoted
//                                      first token, or the spaces rule over successively longer
//                                      prefixes; ".exe" added to a name without extension; a bare name
//                                      searched in the program's folder, the current folder,
//                                      C:\Windows\System32, C:\Windows\System, C:\Windows, then
//                                      the drive-C folders of PATH) and must lie in drive C. Runs an ELF
//                                      program of the host (through its own dynamic loader, so a file
//                                      without execute bits runs, as on Windows) or a "#!" script
//                                      (through its interpreter); anything else, PE images included,
//                                      is ERROR_BAD_EXE_FORMAT. Missing file 2, missing folder 3, a
//                                      folder or an unreadable file 5. The new process is detached: it
//                                      outlives its parent and is never its child; it has no console
//                                      (standard handles on the null device) and inherits no handle
//                                      (bInheritHandles is accepted either way). Arguments are the
//                                      command line split by CommandLineToArgvW's rules, as UTF-8; the
//                                      environment is the parent's or lpEnvironment (ANSI, or UTF-16
//                                      with CREATE_UNICODE_ENVIRONMENT); the current folder is
//                                      lpCurrentDirectory or the parent's (ERROR_DIRECTORY when it is
//                                      not a folder). Other creation flags, the security attributes and
//                                      STARTUPINFOA's fields are ignored. The handles name the process
//                                      and its main thread; waiting on them is not offered. A start
//                                      that fails after the fork reports its error here.
#pragma once

#include "platform/errors.h"
#include "platform/types.h"

// Generic access rights and file sharing.
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u
#define DELETE 0x00010000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

// Creation dispositions.
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

// File attributes.
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u

// MoveFileExA.
#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_COPY_ALLOWED 0x00000002u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

// File pointer.
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER (static_cast<DWORD>(-1))
#define INVALID_FILE_SIZE (static_cast<DWORD>(0xFFFFFFFF))

enum FINDEX_INFO_LEVELS { FindExInfoStandard, FindExInfoBasic, FindExInfoMaxInfoLevel };
enum FINDEX_SEARCH_OPS {
  FindExSearchNameMatch,
  FindExSearchLimitToDirectories,
  FindExSearchLimitToDevices,
  FindExSearchMaxSearchOp
};

#define ERROR_BUFFER_OVERFLOW 111L
#define MAX_COMPUTERNAME_LENGTH 15

// Threads.
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

DWORD GetLastError();
void SetLastError(DWORD error);
BOOL CloseHandle(HANDLE handle);

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryA(LPCSTR path);
BOOL DeleteFileA(LPCSTR path);
BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags);
DWORD GetFileAttributesA(LPCSTR path);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, void* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD GetFullPathNameA(LPCSTR path, DWORD size, LPSTR buffer, LPSTR* filePart);

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
HANDLE FindFirstFileExA(LPCSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op,
                        LPVOID filter, DWORD flags);
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data);
BOOL FindClose(HANDLE find);

void GetLocalTime(LPSYSTEMTIME time);
void GetSystemTime(LPSYSTEMTIME time);
BOOL FileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime);
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
HANDLE GetCurrentProcess();
HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
[[noreturn]] void ExitProcess(UINT exitCode);

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void AcquireSRWLockExclusive(PSRWLOCK lock);
void ReleaseSRWLockExclusive(PSRWLOCK lock);

inline LONG InterlockedExchange(volatile LONG* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}
inline LONG InterlockedIncrement(volatile LONG* target) {
  return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(volatile LONG* target) {
  return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST);
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);

void OutputDebugStringA(LPCSTR text);
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);

HMODULE GetModuleHandleA(LPCSTR moduleName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL IsWow64Process(HANDLE process, PBOOL wow64);

// Process creation.
#define CREATE_UNICODE_ENVIRONMENT 0x00000400u

struct STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};
using LPSTARTUPINFOA = STARTUPINFOA*;

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;
using PPROCESS_INFORMATION = PROCESS_INFORMATION*;

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation);

// The program's entry point, which the program defines. Linking the txwinmain library gives
// the process a main() that calls it with the program's module and the command line, and
// ends the process with its result, as the Windows runtime's start-up code does.
int wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
