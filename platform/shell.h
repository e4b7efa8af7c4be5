// shell32: special folders and change notification.
//
// Export list (what is offered, and how much of Windows it covers):
//   SHGetSpecialFolderPathA   CSIDL_DESKTOP and CSIDL_DESKTOPDIRECTORY (the user's Desktop),
//                             CSIDL_PERSONAL (Documents), CSIDL_APPDATA (AppData\Roaming),
//                             CSIDL_LOCAL_APPDATA (AppData\Local) and CSIDL_PROFILE, all under
//                             the machine's user profile C:\Users\<username>. fCreate (or
//                             CSIDL_FLAG_CREATE) makes a missing folder and its parents; without
//                             it a missing folder gives FALSE. The buffer (MAX_PATH characters)
//                             is written only on success. Other CSIDLs give FALSE.
//   SHChangeNotify            nothing here watches the file system, so each call is recorded:
//                             one line appended to the machine's run/shell-notifications.log,
//                               SHChangeNotify event=0x08000000 flags=0x1000
//                             followed by " item1=<path>" and " item2=<path>" (UTF-8) for the
//                             items of SHCNF_PATHA and SHCNF_PATHW calls that are given.
#pragma once

#include "platform/types.h"

// CSIDL values.
#define CSIDL_DESKTOP 0x0000
#define CSIDL_PERSONAL 0x0005
#define CSIDL_DESKTOPDIRECTORY 0x0010
#define CSIDL_APPDATA 0x001A
#define CSIDL_LOCAL_APPDATA 0x001C
#define CSIDL_PROFILE 0x0028
#define CSIDL_FLAG_CREATE 0x8000
#define CSIDL_FLAG_MASK 0xFF00

// SHChangeNotify events.
#define SHCNE_CREATE 0x00000002L
#define SHCNE_DELETE 0x00000004L
#define SHCNE_UPDATEDIR 0x00001000L
#define SHCNE_ASSOCCHANGED 0x08000000L

// SHChangeNotify flags: the item type in the low byte, then the flush options.
#define SHCNF_IDLIST 0x0000
#define SHCNF_PATHA 0x0001
#define SHCNF_DWORD 0x0003
#define SHCNF_PATHW 0x0005
#define SHCNF_TYPE 0x00FF
#define SHCNF_FLUSH 0x1000

BOOL SHGetSpecialFolderPathA(HWND hwnd, LPSTR pszPath, int csidl, BOOL fCreate);
void SHChangeNotify(LONG wEventId, UINT uFlags, LPCVOID dwItem1, LPCVOID dwItem2);
