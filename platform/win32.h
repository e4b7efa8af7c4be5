// The one header product code includes for Windows: on a Windows compiler the Windows SDK's
// own headers, elsewhere the declarations of this layer, which implements the same subset
// over POSIX.
#pragma once

#ifdef _WIN32

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#include <windows.h>

#include <intshcut.h>
#include <objbase.h>
#include <share.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <stdio.h>
#include <tlhelp32.h>
#include <wininet.h>

#else

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/crt.h"
#include "platform/errors.h"
#include "platform/internet.h"
#include "platform/internet_shortcut.h"
#include "platform/kernel.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "platform/shell.h"
#include "platform/shell_file_operation.h"
#include "platform/shell_link.h"
#include "platform/toolhelp.h"
#include "platform/types.h"
#include "platform/user.h"

#endif
