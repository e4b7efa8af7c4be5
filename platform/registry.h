// advapi32 registry functions over the machine's current-user hive, a .reg text file
// (machine folder's user.reg, format in platform/reg_hive.h). Only HKEY_CURRENT_USER exists
// on this machine: under HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT and HKEY_USERS every key and
// value is missing (ERROR_FILE_NOT_FOUND) and every change is refused (ERROR_ACCESS_DENIED).
//
// Export list:
//   RegOpenKeyExA    KEY_READ / KEY_WRITE / KEY_ALL_ACCESS; KEY_WOW64_64KEY and KEY_WOW64_32KEY
//                    accepted (HKCU\Software is shared between the views, so both see the same
//                    keys); both together give ERROR_INVALID_PARAMETER. A NULL or empty subkey
//                    opens the key itself; empty path components ("a\\b\") are ignored
//   RegCreateKeyExA  creates missing keys on the way (needs KEY_CREATE_SUB_KEY on the parent
//                    handle); REG_OPTION_NON_VOLATILE only, other options are refused with
//                    ERROR_INVALID_PARAMETER; class and security attributes ignored
//   RegQueryValueExA ERROR_FILE_NOT_FOUND for a missing value, ERROR_MORE_DATA with the needed
//                    size when the data does not fit, lpData NULL gives the size; REG_SZ data
//                    includes its stored NUL; string types answered in the machine's code page
//   RegSetValueExA   REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY and
//                    any other type as hex(N); the bytes are stored as given (no NUL added)
//   RegDeleteValueA
//   RegCloseKey      the predefined roots are never closed (ERROR_SUCCESS)
// Handles are checked: a closed, foreign or made-up HKEY gives ERROR_INVALID_HANDLE. Access
// rights are honoured: querying needs KEY_QUERY_VALUE, setting and deleting KEY_SET_VALUE
// (ERROR_ACCESS_DENIED otherwise). Names compare without regard to ASCII letter case.
// The hive is read when a key is opened (the key sees the values of that moment, and its own
// changes) and rewritten whole, atomically, by every change, under a lock that serialises the
// changes of all processes and threads (ERROR_REGISTRY_IO_FAILED when the file cannot be
// read or written). A malformed line is skipped, never fatal. The last error is left alone.
#pragma once

#include "platform/types.h"

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u)))

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_WOW64_64KEY 0x0100u
#define KEY_WOW64_32KEY 0x0200u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u
#define REG_QWORD 11u

#define REG_OPTION_NON_VOLATILE 0u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM access,
                        LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName);
LSTATUS RegCloseKey(HKEY key);
