// user32 and kernel32 resource functions: the resources compiled from the program's resource
// script and linked into the executable (see tx_link_resources in res/CMakeLists.txt). They
// belong to the program module, GetModuleHandleA(NULL); NULL stands for it too where Windows
// says so. No other module carries resources.
//
// Export list (what is offered, and how much of Windows it covers):
//   FindResourceA/W, FindResourceExA/W   types and names as MAKEINTRESOURCE ordinals or strings
//                      (case-insensitive; "#123" is ordinal 123). A given language must match
//                      exactly; language 0 (and FindResourceA/W) choose, in this order: the
//                      neutral language 0, the machine's language (from its code page: 949
//                      Korean 1042, 932 Japanese 1041, 936 Chinese 2052, 950 Chinese 1028,
//                      otherwise English 1033), English 1033, then the first in the script.
//                      Errors 1812 (module without resources), 1813, 1814, 1815.
//   LoadResource, SizeofResource, LockResource   the linked bytes, read-only, never freed
//   LoadStringW        string tables (block id / 16 + 1, language chosen as above); truncates to
//                      cchBufferMax - 1 units and a NUL; cchBufferMax 0 stores a read-only
//                      pointer to the (unterminated) text and gives its length; 0 when missing
//   LoadAcceleratorsA/W   RT_ACCELERATOR tables; the handle is the linked table (no destroy needed)
//   TranslateAcceleratorA/W   WM_KEYDOWN/WM_SYSKEYDOWN against virtual-key entries, WM_CHAR/
//                      WM_SYSCHAR against character entries; Alt is the message's context bit
//                      (lParam bit 29). There is no keyboard here, so Shift and Ctrl are never
//                      down: entries that need them never match. A match sends WM_COMMAND with
//                      HIWORD(wParam) 1 and LOWORD the command to the window; there are no menus
//                      to initialise or window menus to pick from.
//   LoadIconA/W, LoadCursorA/W   icon and cursor groups of the program, and with a NULL instance
//                      the standard IDI_APPLICATION and IDC_ARROW; the handles are shared and
//                      need no destroying. Nothing is ever drawn.
#pragma once

#include "platform/errors.h"
#include "platform/types.h"
#include "platform/user.h"

// Standard resource types.
#define RT_CURSOR MAKEINTRESOURCE(1)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_MENU MAKEINTRESOURCE(4)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_ACCELERATOR MAKEINTRESOURCE(9)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCE(12)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)
#define RT_VERSION MAKEINTRESOURCE(16)
#define RT_MANIFEST MAKEINTRESOURCE(24)

#define IDI_APPLICATION MAKEINTRESOURCE(32512)

// Language identifiers: primary language in the low 10 bits, sub-language above.
#define MAKELANGID(primary, sub) (static_cast<WORD>((static_cast<WORD>(sub) << 10) | static_cast<WORD>(primary)))
#define PRIMARYLANGID(lang) (static_cast<WORD>(lang) & 0x3FF)
#define SUBLANGID(lang) (static_cast<WORD>(lang) >> 10)
#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define LANG_KOREAN 0x12
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_ENGLISH_US 0x01
#define SUBLANG_KOREAN 0x01

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language);
HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
DWORD SizeofResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL resourceData);

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);

HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR tableName);
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName);
int TranslateAcceleratorA(HWND window, HACCEL table, LPMSG msg);
int TranslateAcceleratorW(HWND window, HACCEL table, LPMSG msg);

HICON LoadIconA(HINSTANCE instance, LPCSTR name);
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
