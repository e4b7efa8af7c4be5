// shell32: the shell link object (CLSID_ShellLink) and its IShellLinkA interface.
//
// Export list (what is offered, and how much of Windows it covers):
//   CoCreateInstance(CLSID_ShellLink, ..., IID_IShellLinkA | IID_IPersistFile | IID_IUnknown)
//   IShellLinkA   SetPath (made a full path; the target's attributes, times and size are read
//                 then, zero for a missing target), GetPath (fFlags ignored; the find data holds
//                 the target's name, attributes, times and size), SetWorkingDirectory,
//                 SetArguments, SetDescription, SetIconLocation, SetShowCmd, SetHotkey and their
//                 getters; getters truncate to the buffer with a NUL. SetRelativePath stores the
//                 text. GetIDList, SetIDList and Resolve give E_NOTIMPL.
//   IPersistFile  Save writes the [MS-SHLLINK] binary file (see platform/lnk_format.h) with
//                 CREATE_ALWAYS through the file functions (the wide name in the machine's code
//                 page); a refused file gives HRESULT_FROM_WIN32 of its error (E_ACCESSDENIED for
//                 a folder the user may not write). A NULL name saves to the remembered file,
//                 E_INVALIDARG without one. Load gives E_NOTIMPL.
#pragma once

#include "platform/com.h"
#include "platform/types.h"

// {00021401-0000-0000-C000-000000000046}
extern const CLSID CLSID_ShellLink;
// {000214EE-0000-0000-C000-000000000046}
extern const IID IID_IShellLinkA;

struct SHITEMID {
  USHORT cb;
  BYTE abID[1];
};
struct ITEMIDLIST {
  SHITEMID mkid;
};
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;

// IShellLinkA::GetPath flags.
#define SLGP_SHORTPATH 0x1
#define SLGP_UNCPRIORITY 0x2
#define SLGP_RAWPATH 0x4

class IShellLinkA : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetPath(LPSTR pszFile, int cch, WIN32_FIND_DATAA* pfd, DWORD fFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* ppidl) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE pidl) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDescription(LPSTR pszName, int cch) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR pszName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR pszDir, int cch) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR pszDir) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetArguments(LPSTR pszArgs, int cch) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR pszArgs) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHotkey(WORD* pwHotkey) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHotkey(WORD wHotkey) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetShowCmd(int* piShowCmd) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetShowCmd(int iShowCmd) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR pszIconPath, int cch, int* piIcon) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR pszIconPath, int iIcon) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR pszPathRel, DWORD dwReserved) = 0;
  virtual HRESULT STDMETHODCALLTYPE Resolve(HWND hwnd, DWORD fFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPath(LPCSTR pszFile) = 0;

 protected:
  ~IShellLinkA() = default;
};
