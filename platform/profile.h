// kernel32 profile (INI file) functions, with the rules the Windows functions follow
// (see ini_text.h for how a file is read).
//
// Export list:
//   GetPrivateProfileStringA    section and key names case-insensitive; NULL default is "";
//                               trailing spaces cut from the default; a value that does not fit
//                               is cut to nSize - 1 characters (nSize - 2 for the NULL-name
//                               lists, which are double-NUL-terminated); nSize < 2 gives 0; a
//                               missing file gives the default with last error 2; a file name
//                               without a path is looked up in C:\Windows
//   GetPrivateProfileIntA       the leading decimal digits of the value, as Windows reads them
//   WritePrivateProfileStringA  sets, adds or deletes (NULL value) one key, or deletes a whole
//                               section (NULL key); keeps every other line as it was; writes the
//                               file in the encoding it was in (new files: the ANSI code page)
#pragma once

#include "platform/types.h"

DWORD GetPrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR defaultValue, LPSTR returned, DWORD size,
                               LPCSTR fileName);
UINT GetPrivateProfileIntA(LPCSTR appName, LPCSTR keyName, INT defaultValue, LPCSTR fileName);
BOOL WritePrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR value, LPCSTR fileName);
