// ole32: the COM base for in-process objects of this layer.
//
// Export list (what is offered, and how much of Windows it covers):
//   CoInitialize, CoInitializeEx   per thread, counted: S_OK the first time, S_FALSE for each
//                                  further call of the same model, RPC_E_CHANGED_MODE (not
//                                  counted) for the other model. COINIT_APARTMENTTHREADED and
//                                  COINIT_MULTITHREADED; the other COINIT flags are accepted
//                                  and ignored. There is no message pump: an apartment here is
//                                  only the count and the model.
//   CoUninitialize                 undoes one counted initialisation; nothing when none is left
//   CoCreateInstance               CLSCTX_INPROC_SERVER only (REGDB_E_CLASSNOTREG otherwise); the
//                                  classes CLSID_ShellLink (platform/shell_link.h) and
//                                  CLSID_InternetShortcut (platform/internet_shortcut.h);
//                                  CO_E_NOTINITIALIZED on a thread without COM,
//                                  CLASS_E_NOAGGREGATION for an outer object, E_NOINTERFACE
//                                  for an interface the class lacks (*ppv set to NULL)
//   CoTaskMemAlloc, CoTaskMemFree  the task allocator (GetURL's strings)
//   IsEqualGUID, ==                GUID comparison
//   IUnknown, IPersist, IPersistFile   abstract classes in the documented vtable order
// Objects are reference counted: QueryInterface and AddRef add one, Release takes one and
// frees the object at zero, returning the new count. Objects are not bound to an apartment.
#pragma once

#include <cstring>

#include "platform/errors.h"
#include "platform/types.h"

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
static_assert(sizeof(GUID) == 16, "a GUID is 16 bytes on disk and in memory");
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPCLSID = CLSID*;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

// CoInitializeEx models.
#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_DISABLE_OLE1DDE 0x4
#define COINIT_SPEED_OVER_MEMORY 0x8

// Class contexts.
#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

// {00000000-0000-0000-C000-000000000046}
extern const IID IID_IUnknown;
// {0000010C-0000-0000-C000-000000000046}
extern const IID IID_IPersist;
// {0000010B-0000-0000-C000-000000000046}
extern const IID IID_IPersistFile;

class IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;

 protected:
  // Objects end through Release, never through a pointer to an interface.
  ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

class IPersist : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) = 0;

 protected:
  ~IPersist() = default;
};

class IPersistFile : public IPersist {
 public:
  virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
  virtual HRESULT STDMETHODCALLTYPE Load(LPCOLESTR pszFileName, DWORD dwMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE Save(LPCOLESTR pszFileName, BOOL fRemember) = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR pszFileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* ppszFileName) = 0;

 protected:
  ~IPersistFile() = default;
};

HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
LPVOID CoTaskMemAlloc(SIZE_T cb);
void CoTaskMemFree(LPVOID pv);
