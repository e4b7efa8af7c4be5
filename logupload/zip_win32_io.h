// minizip's file access on Win32 file handles, so that an archive is named by a Windows path
// and opened with the sharing rules of every other file of the program. minizip's default
// functions go through the C runtime's fopen instead.
#pragma once

#include "platform/win32.h"

#include <minizip/ioapi.h>

// Fills functions with open, read, write, tell, seek, close and error functions on
// CreateFileA handles. The archive modes map as follows: reading opens an existing file
// shared for reading; writing an existing file, or creating one (replacing any file of that
// name), opens it for reading and writing without sharing.
void FillWin32FileFunctions(zlib_filefunc64_def* functions);
