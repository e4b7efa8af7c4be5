// shell32: file operations.
//
// Export list (what is offered, and how much of Windows it covers):
//   SHFileOperationA   FO_COPY and FO_DELETE. FO_MOVE and FO_RENAME give ERROR_NOT_SUPPORTED,
//                      any other operation ERROR_INVALID_PARAMETER, as does a null record or an
//                      empty or null pFrom. The result is 0 or an error number (never the last
//                      error, which the call may change): the Winerror.h number of what failed,
//                      or one of the legacy DE_* numbers of platform/errors.h.
//     lists            pFrom and pTo are double-NUL-terminated lists; pTo names one destination
//                      (FOF_MULTIDESTFILES is refused). Relative paths are taken from the current
//                      folder. '*' and '?' only in the last name of a pFrom entry, with the DOS
//                      rules of FindFirstFileA; anywhere else, or a syntax error, DE_INVALIDFILES.
//                      A drive root as a source is refused with DE_ROOTDIR.
//     missing source   ERROR_FILE_NOT_FOUND (2), as current Windows answers, also when a folder on
//                      the way is missing (Windows before Vista answered 0x7C or 0x402). A pattern
//                      that matches nothing in an existing folder is not an error: nothing is done.
//     FO_COPY          a file or folder to a destination that is an existing folder goes into it;
//                      otherwise the destination is the copy's own name. Several entries or a
//                      pattern always go into the destination folder. Missing destination folders
//                      are created with their parents, existing files overwritten. Folders are
//                      copied whole, recursively. The source is read sharing read and write, so
//                      a file another handle holds open without read sharing stops the operation
//                      with ERROR_SHARING_VIOLATION (32); a read-only target gives
//                      ERROR_ACCESS_DENIED. A copy keeps the source's last-write time, as
//                      CopyFile does; no other attribute is carried. DE_SAMEFILE for a copy onto
//                      its source, DE_DESTSUBTREE for a folder copied into itself,
//                      DE_FLDDESTISFILE when a folder is due where a file stands.
//     FO_DELETE        files and whole folder trees, permanently, with DeleteFileA's rules (32
//                      for a file held open without delete sharing, 5 for a read-only one). There
//                      is no Recycle Bin on this machine: FOF_ALLOWUNDO deletes permanently too.
//     errors           the operation stops at the first failure and returns its number, setting
//                      fAnyOperationsAborted; whatever was done before it stays done (Windows
//                      stops the same way when FOF_NOERRORUI leaves nobody to ask).
//     flags            FOF_NORECURSION: sub-folders of a named folder, and folders a pattern
//                      matches, are left alone (a folder to delete that still holds sub-folders
//                      then gives ERROR_DIR_NOT_EMPTY). FOF_FILESONLY: a pattern's folders are
//                      left alone. There is no user interface and nobody to ask, so every
//                      question counts as answered yes: FOF_SILENT, FOF_NOCONFIRMATION,
//                      FOF_NOCONFIRMMKDIR, FOF_NOERRORUI and FOF_SIMPLEPROGRESS change nothing.
//                      FOF_RENAMEONCOLLISION and FOF_WANTMAPPINGHANDLE are refused with
//                      ERROR_INVALID_PARAMETER; hNameMappings is always set to null. hwnd and
//                      lpszProgressTitle are not used.
#pragma once

#include "platform/types.h"

// Operations.
#define FO_MOVE 0x0001
#define FO_COPY 0x0002
#define FO_DELETE 0x0003
#define FO_RENAME 0x0004

// Operation flags.
#define FOF_MULTIDESTFILES 0x0001
#define FOF_SILENT 0x0004
#define FOF_RENAMEONCOLLISION 0x0008
#define FOF_NOCONFIRMATION 0x0010
#define FOF_WANTMAPPINGHANDLE 0x0020
#define FOF_ALLOWUNDO 0x0040
#define FOF_FILESONLY 0x0080
#define FOF_SIMPLEPROGRESS 0x0100
#define FOF_NOCONFIRMMKDIR 0x0200
#define FOF_NOERRORUI 0x0400
#define FOF_NORECURSION 0x1000

using FILEOP_FLAGS = WORD;
// A list of NUL-terminated strings ended by an empty one.
using PCZZSTR = const CHAR*;

struct SHFILEOPSTRUCTA {
  HWND hwnd;
  UINT wFunc;
  PCZZSTR pFrom;
  PCZZSTR pTo;
  FILEOP_FLAGS fFlags;
  BOOL fAnyOperationsAborted;
  LPVOID hNameMappings;
  LPCSTR lpszProgressTitle;
};
using LPSHFILEOPSTRUCTA = SHFILEOPSTRUCTA*;

int SHFileOperationA(LPSHFILEOPSTRUCTA lpFileOp);
