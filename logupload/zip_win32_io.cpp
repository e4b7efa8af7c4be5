#include "logupload/zip_win32_io.h"

#include <new>

namespace {

struct Win32Stream {
  HANDLE hFile;
  int nError;  // nonzero once a read, write or seek has failed
};

voidpf ZCALLBACK OpenWin32File(voidpf, const void* filename, int mode) {
  if (!filename) return NULL;
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = 0;
  DWORD disposition;
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ) {
    access = GENERIC_READ;
    share = FILE_SHARE_READ;
    disposition = OPEN_EXISTING;
  } else if (mode & ZLIB_FILEFUNC_MODE_EXISTING) {
    disposition = OPEN_EXISTING;
  } else if (mode & ZLIB_FILEFUNC_MODE_CREATE) {
    disposition = CREATE_ALWAYS;
  } else {
    return NULL;
  }
  HANDLE hFile = CreateFileA(static_cast<const char*>(filename), access, share, NULL, disposition,
                             FILE_ATTRIBUTE_NORMAL, NULL);
  if (hFile == INVALID_HANDLE_VALUE) return NULL;
  Win32Stream* stream = new (std::nothrow) Win32Stream{hFile, 0};
  if (!stream) CloseHandle(hFile);
  return stream;
}

// minizip asks for at most one buffer's worth at a time, but uLong is 64 bits on some hosts.
DWORD ClampToDword(uLong size) { return size > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<DWORD>(size); }

uLong ZCALLBACK ReadWin32File(voidpf, voidpf stream, void* buffer, uLong size) {
  Win32Stream* s = static_cast<Win32Stream*>(stream);
  DWORD read = 0;
  if (!ReadFile(s->hFile, buffer, ClampToDword(size), &read, NULL)) s->nError = 1;
  return read;
}

uLong ZCALLBACK WriteWin32File(voidpf, voidpf stream, const void* buffer, uLong size) {
  Win32Stream* s = static_cast<Win32Stream*>(stream);
  DWORD written = 0;
  if (!WriteFile(s->hFile, buffer, ClampToDword(size), &written, NULL)) s->nError = 1;
  return written;
}

// A low part of 0xFFFFFFFF is a valid position; only the last error tells a failure apart.
bool MoveFilePointer(Win32Stream* s, ZPOS64_T distance, DWORD method, ZPOS64_T* position) {
  LONG high = static_cast<LONG>(distance >> 32);
  SetLastError(NO_ERROR);
  DWORD low = SetFilePointer(s->hFile, static_cast<LONG>(static_cast<DWORD>(distance)), &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
    s->nError = 1;
    return false;
  }
  *position = (static_cast<ZPOS64_T>(static_cast<DWORD>(high)) << 32) | low;
  return true;
}

ZPOS64_T ZCALLBACK TellWin32File(voidpf, voidpf stream) {
  ZPOS64_T position;
  if (!MoveFilePointer(static_cast<Win32Stream*>(stream), 0, FILE_CURRENT, &position)) {
    return static_cast<ZPOS64_T>(-1);
  }
  return position;
}

long ZCALLBACK SeekWin32File(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  DWORD method;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: method = FILE_BEGIN; break;
    case ZLIB_FILEFUNC_SEEK_CUR: method = FILE_CURRENT; break;
    case ZLIB_FILEFUNC_SEEK_END: method = FILE_END; break;
    default: return -1;
  }
  ZPOS64_T position;
  return MoveFilePointer(static_cast<Win32Stream*>(stream), offset, method, &position) ? 0 : -1;
}

int ZCALLBACK CloseWin32File(voidpf, voidpf stream) {
  Win32Stream* s = static_cast<Win32Stream*>(stream);
  BOOL closed = CloseHandle(s->hFile);
  delete s;
  return closed ? 0 : -1;
}

int ZCALLBACK TestWin32FileError(voidpf, voidpf stream) { return static_cast<Win32Stream*>(stream)->nError; }

}  // namespace

void FillWin32FileFunctions(zlib_filefunc64_def* functions) {
  functions->zopen64_file = OpenWin32File;
  functions->zread_file = ReadWin32File;
  functions->zwrite_file = WriteWin32File;
  functions->ztell64_file = TellWin32File;
  functions->zseek64_file = SeekWin32File;
  functions->zclose_file = CloseWin32File;
  functions->zerror_file = TestWin32FileError;
  functions->opaque = NULL;
}
