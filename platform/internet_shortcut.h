// shdocvw: the Internet shortcut object (CLSID_InternetShortcut) and IUniformResourceLocatorA.
//
// Export list (what is offered, and how much of Windows it covers):
//   CoCreateInstance(CLSID_InternetShortcut, ..., IID_IUniformResourceLocatorA | IID_IShellLinkA |
//                    IID_IPersistFile | IID_IUnknown)
//   IUniformResourceLocatorA   SetURL (the text as given: flags ignored, no protocol guessing;
//                              NULL clears), GetURL (a CoTaskMemAlloc copy, S_FALSE and NULL when
//                              none is set); InvokeCommand gives E_NOTIMPL (nothing is opened here)
//   IShellLinkA                through the same object, as the shell offers it: SetPath and
//                              GetPath are the URL; the working directory, icon location, show
//                              command and hotkey are kept; the description, arguments and
//                              relative path are accepted and not saved (a .url has no place for
//                              them); GetIDList, SetIDList and Resolve give E_NOTIMPL
//   IPersistFile               Save writes the .url text with CREATE_ALWAYS, in the machine's code
//                              page (the A setters' bytes as given), CR LF line ends:
//                                [InternetShortcut]
//                                URL=<url>
//                                WorkingDirectory=<dir>       when set
//                                IconFile=<path>              when an icon location is set
//                                IconIndex=<n>                   with it
//                                HotKey=<n>                   when non-zero
//                                ShowCommand=<n>              for SW_SHOWMAXIMIZED or SW_SHOWMINNOACTIVE
//                              Other show commands (SW_SHOW too) are the normal window, which the
//                              format writes as no key. The shell's property section
//                              [{000214A0-0000-0000-C000-000000000046}] is not written: readers
//                              take the keys above without it. A NULL name saves to the remembered
//                              file; errors as the shell link's Save. Load gives E_NOTIMPL.
#pragma once

#include "platform/com.h"
#include "platform/types.h"

// {FBF23B40-E3F0-101B-8488-00AA003E56F8}
extern const CLSID CLSID_InternetShortcut;
// {FBF23B80-E3F0-101B-8488-00AA003E56F8}
extern const IID IID_IUniformResourceLocatorA;

// IUniformResourceLocatorA::SetURL flags.
#define IURL_SETURL_FL_GUESS_PROTOCOL 0x0001
#define IURL_SETURL_FL_USE_DEFAULT_PROTOCOL 0x0002

struct URLINVOKECOMMANDINFOA {
  DWORD dwcbSize;
  DWORD dwFlags;
  HWND hwndParent;
  LPCSTR pcszVerb;
};
using PURLINVOKECOMMANDINFOA = URLINVOKECOMMANDINFOA*;

class IUniformResourceLocatorA : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE SetURL(LPCSTR pcszURL, DWORD dwInFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetURL(LPSTR* ppszURL) = 0;
  virtual HRESULT STDMETHODCALLTYPE InvokeCommand(PURLINVOKECOMMANDINFOA purlici) = 0;

 protected:
  ~IUniformResourceLocatorA() = default;
};
