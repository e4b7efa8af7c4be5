// Shortcut provisioning: the remote-support link and the web shortcut on the user's desktop,
// made once per start of the controller on the worker thread.
#pragma once

#include "platform/win32.h"

// Deletes and makes again the remote-support link (fetching the program first when it is
// missing), makes the web shortcut and its icon file when the shortcut is missing, and tells
// the shell when the last shortcut it made was saved. Every step is logged; nothing throws.
void CreateDesktopShortcuts();

// Writes one shortcut file through the shell's COM objects: a shell link for a linkPath whose
// extension begins with ".lnk", an Internet shortcut for ".url" (target is then the address).
// The icon is set only for an iconPath with iconIndex >= 0. 1 when the file was saved, else 0.
int CreateShortcut(LPCSTR pszTarget, LPCSTR pszLinkPath, LPCSTR pszIconPath, int nIconIndex);

// Writes the icon resource (BINARY 139) to C:\talvex\bin\favicon.ico: 1 once the resource
// was found and loaded (also when the file could not be written), 0 otherwise.
int ExtractResourceToFile();
