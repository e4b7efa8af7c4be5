// Microsoft C runtime extras that the standard library lacks.
//
// Export list:
//   _splitpath, _splitpath_s   the runtime's rules: drive is a letter and ':'; dir keeps its
//                              trailing separator ('\' or '/'); ext starts at the last '.' of
//                              the last name; _splitpath_s gives EINVAL for bad arguments and
//                              ERANGE (all outputs cleared) when a part does not fit
//   _fsopen                    fopen modes r w a with + b t, on a Windows path, with a share
//                              flag; sharing as CreateFileA honours it; errno EACCES on a
//                              sharing violation, ENOENT when missing, as the runtime maps them
#pragma once

#include <cstdio>

#include "platform/types.h"

#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
errno_t _splitpath_s(const char* path, char* drive, size_t driveSize, char* dir, size_t dirSize, char* fname,
                     size_t fnameSize, char* ext, size_t extSize);
template <size_t DriveSize, size_t DirSize, size_t FnameSize, size_t ExtSize>
errno_t _splitpath_s(const char* path, char (&drive)[DriveSize], char (&dir)[DirSize], char (&fname)[FnameSize],
                     char (&ext)[ExtSize]) {
  return _splitpath_s(path, drive, DriveSize, dir, DirSize, fname, FnameSize, ext, ExtSize);
}

FILE* _fsopen(const char* path, const char* mode, int shareFlag);
