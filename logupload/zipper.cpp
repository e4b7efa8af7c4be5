#include "logupload/zipper.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "logupload/zip_win32_io.h"

namespace {

const DWORD kReadBlockSize = 2048;

// Letter case is folded for ASCII only: the base folder and the paths compared with it are
// spelled by the same caller, so only a drive letter or a folder typed in another case
// needs to match.
bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    char a = *text;
    char b = *prefix;
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

// Paths of MAX_PATH characters or more are skipped rather than handled: Windows' ANSI file
// functions refuse them anyway, and every buffer here is MAX_PATH characters.
bool FitsMaxPath(const char* path) { return strnlen(path, MAX_PATH) < MAX_PATH; }

// The C runtime's _makepath, bounded: false when the joined path would not fit in size.
bool MakePath(char* out, size_t size, const char* drive, const char* dir, const char* name, const char* ext) {
  const char* dot = (*ext && *ext != '.') ? "." : "";
  int length = snprintf(out, size, "%s%s%s%s%s", drive, dir, name, dot, ext);
  return length >= 0 && static_cast<size_t>(length) < size;
}

// folder + "\" + name into out (MAX_PATH characters); false when it would not fit.
bool JoinChild(char* out, const char* folder, const char* name) {
  int length = snprintf(out, MAX_PATH, "%s\\%s", folder, name);
  return length >= 0 && length < MAX_PATH;
}

void FillFileInfo(const char* path, zip_fileinfo* info) {
  SYSTEMTIME time;
  CZipper::GetFileLocalWriteTime(path, time);  // an unreadable time is handed on as all zero
  info->tmz_date.tm_sec = time.wSecond;
  info->tmz_date.tm_min = time.wMinute;
  info->tmz_date.tm_hour = time.wHour;
  info->tmz_date.tm_mday = time.wDay;
  info->tmz_date.tm_mon = static_cast<uInt>(time.wMonth) - 1u;
  info->tmz_date.tm_year = time.wYear;
  info->dosDate = 0;  // minizip derives the DOS date from tmz_date
  info->internal_fa = 0;
  info->external_fa = GetFileAttributesA(path);
}

int OpenEntry(zipFile archive, const char* entryName, const zip_fileinfo* info) {
  return zipOpenNewFileInZip(archive, entryName, info, NULL, 0, NULL, 0, NULL, Z_DEFLATED, Z_DEFAULT_COMPRESSION);
}

}  // namespace

CZipper::CZipper() : m_hArchive(NULL), m_bWriteFailed(false) { m_szBaseDir[0] = '\0'; }

CZipper::~CZipper() { CloseArchive(); }

bool CZipper::CloseArchive() {
  bool whole = !m_bWriteFailed;
  if (m_hArchive && zipClose(m_hArchive, NULL) != ZIP_OK) whole = false;
  m_hArchive = NULL;
  m_szBaseDir[0] = '\0';
  m_bWriteFailed = false;
  return whole;
}

bool CZipper::OpenArchive(const char* path) {
  CloseArchive();
  if (!path || !*path) return false;

  char szFullPath[MAX_PATH];
  DWORD length = GetFullPathNameA(path, MAX_PATH, szFullPath, NULL);
  if (length == 0 || length >= MAX_PATH) return false;  // too long: the buffer was not filled

  // Split before creating anything, so that a folder part too long for the runtime's
  // buffers leaves no file behind.
  char szDrive[_MAX_DRIVE];
  char szDir[_MAX_DIR];
  char szName[_MAX_FNAME];
  char szExt[_MAX_EXT];
  char szBaseDir[MAX_PATH + 1];
  if (_splitpath_s(szFullPath, szDrive, szDir, szName, szExt) != 0 ||
      !MakePath(szBaseDir, sizeof szBaseDir, szDrive, szDir, "", "")) {
    return false;
  }

  zlib_filefunc64_def functions;
  FillWin32FileFunctions(&functions);
  m_hArchive = zipOpen2_64(szFullPath, APPEND_STATUS_CREATE, NULL, &functions);
  if (!m_hArchive) return false;
  memcpy(m_szBaseDir, szBaseDir, sizeof m_szBaseDir);
  return true;
}

const char* CZipper::EntryNameOf(const char* path) const {
  if (!path || !FitsMaxPath(path) || !StartsWithNoCase(path, m_szBaseDir)) return NULL;
  return path + strlen(m_szBaseDir);
}

bool CZipper::AddFile(const char* path) {
  if (!m_hArchive) return false;
  const char* entryName = EntryNameOf(path);
  if (!entryName) return false;

  zip_fileinfo info;
  FillFileInfo(path, &info);
  // No sharing: a file that another handle has open, for example a log being written, is
  // left out rather than packed half-written.
  HANDLE hFile = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_READONLY, NULL);
  if (hFile == INVALID_HANDLE_VALUE) return false;

  bool ok = OpenEntry(m_hArchive, entryName, &info) == ZIP_OK;
  if (ok) {
    char buffer[kReadBlockSize];
    DWORD read = 0;
    // A failed read ends the entry early without failing it.
    while (ReadFile(hFile, buffer, kReadBlockSize, &read, NULL) && read > 0) {
      if (zipWriteInFileInZip(m_hArchive, buffer, read) != ZIP_OK) {
        ok = false;
        break;
      }
    }
  }
  if (zipCloseFileInZip(m_hArchive) != ZIP_OK) ok = false;
  CloseHandle(hFile);
  if (!ok) m_bWriteFailed = true;  // the file itself opened: what failed was the archive
  return ok;
}

bool CZipper::AddDirectory(const char* path) {
  if (!m_hArchive) return false;
  const char* relative = EntryNameOf(path);
  if (!relative) return false;

  char szEntryName[MAX_PATH + 1];
  snprintf(szEntryName, sizeof szEntryName, "%s\\", relative);  // relative is under MAX_PATH
  zip_fileinfo info;
  FillFileInfo(path, &info);
  if (OpenEntry(m_hArchive, szEntryName, &info) != ZIP_OK) m_bWriteFailed = true;
  if (zipCloseFileInZip(m_hArchive) != ZIP_OK) m_bWriteFailed = true;

  char szPattern[MAX_PATH];
  if (!JoinChild(szPattern, path, "*.*")) return true;  // no listing, as Windows would refuse it
  WIN32_FIND_DATAA data;
  HANDLE hFind = FindFirstFileA(szPattern, &data);
  if (hFind == INVALID_HANDLE_VALUE) return true;
  do {
    if (data.cFileName[0] == '.') continue;  // ".", ".." and every hidden-by-convention name
    char szChild[MAX_PATH];
    if (!JoinChild(szChild, path, data.cFileName)) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      AddDirectory(szChild);
    } else {
      AddFile(szChild);
    }
  } while (FindNextFileA(hFind, &data));
  FindClose(hFind);
  return true;
}

bool CZipper::ArchiveDirectory(const char* folderPath) {
  if (!folderPath || !*folderPath) return false;
  char szFolder[MAX_PATH];
  DWORD length = GetFullPathNameA(folderPath, MAX_PATH, szFolder, NULL);
  if (length == 0 || length >= MAX_PATH) return false;

  char szDrive[_MAX_DRIVE];
  char szDir[_MAX_DIR];
  char szName[_MAX_FNAME];
  char szExt[_MAX_EXT];
  char szArchive[MAX_PATH];
  if (_splitpath_s(szFolder, szDrive, szDir, szName, szExt) != 0 ||
      !MakePath(szArchive, sizeof szArchive, szDrive, szDir, szName, "zip")) {
    return false;
  }

  CZipper zipper;
  if (!zipper.OpenArchive(szArchive)) return false;
  bool walked = zipper.AddDirectory(szFolder);
  return zipper.CloseArchive() && walked;
}

bool CZipper::GetFileLocalWriteTime(const char* path, SYSTEMTIME& time) {
  memset(&time, 0, sizeof time);
  if (!path || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return false;
  WIN32_FIND_DATAA data;
  HANDLE hFind = FindFirstFileA(path, &data);  // for a folder, its own entry in its parent
  if (hFind == INVALID_HANDLE_VALUE) return false;
  FindClose(hFind);
  FILETIME local;
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &time);
  return true;
}
