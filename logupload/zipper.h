// CZipper: packs a folder tree into a new zip archive through minizip.
//
// Entry names are paths relative to the archive's own folder, with backslashes, and a
// folder's name ends in a backslash: the archive C:\talvex\bulogzip.zip of the folder
// C:\talvex\bulogzip holds bulogzip\, bulogzip\conlog\, bulogzip\conlog\Log_09.log. Names
// beginning with "." are left out, and so is everything beneath such a folder. Entry times
// are the local last-write times; every entry is deflated at zlib's default level.
//
// Paths are narrow strings in the ANSI code page. A path of MAX_PATH characters or more,
// handed in or met during a walk, is skipped: the class keeps Windows' fixed buffers.
#pragma once

#include "platform/win32.h"

#include <minizip/zip.h>

class CZipper {
 public:
  CZipper();
  virtual ~CZipper();

  CZipper(const CZipper&) = delete;
  CZipper& operator=(const CZipper&) = delete;

  // Creates a new archive at path, replacing any file of that name; any archive already
  // open in this object is closed first.
  bool OpenArchive(const char* path);
  // True when the entry was opened and every block written was accepted. A file that
  // cannot be opened without sharing (another handle is open on it) gives no entry.
  bool AddFile(const char* path);
  // Adds the folder's own entry and then, depth-first, everything in it. False only when no
  // archive is open or the folder does not lie under the archive's folder.
  bool AddDirectory(const char* path);

  // Packs folderPath into the archive beside it, named after the folder with the extension
  // "zip" in place of any it had (C:\data\logs.old gives C:\data\logs.zip). A relative
  // folderPath is taken from the current folder. True when the archive was opened and
  // written whole: a write that the archive file refused (a full disk) makes it false, so
  // that a cut archive is never taken for a whole one. Items that cannot be opened are left
  // out and do not count.
  static bool ArchiveDirectory(const char* folderPath);
  // The local last-write time of a file or folder; false, with time all zero, when the path
  // cannot be found.
  static bool GetFileLocalWriteTime(const char* path, SYSTEMTIME& time);

 private:
  // Writes the central directory and closes; false when that or any earlier write of the
  // archive failed.
  bool CloseArchive();
  // The part of path after m_szBaseDir, or NULL when path does not begin with it.
  const char* EntryNameOf(const char* path) const;

  zipFile m_hArchive;
  char m_szBaseDir[MAX_PATH + 1];
  bool m_bWriteFailed;  // a write into the open archive failed
};
