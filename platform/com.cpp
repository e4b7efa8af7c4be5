// ole32: apartments per thread, object creation for the layer's classes, the task allocator.
#include "platform/com.h"

#include <cstdlib>

#include "platform/com_objects.h"
#include "platform/internet_shortcut.h"
#include "platform/shell_link.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

// A thread's COM state: how many counted initialisations are open, and their model.
struct Apartment {
  int count = 0;
  bool multithreaded = false;
};
thread_local Apartment t_apartment;

}  // namespace

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  if (pvReserved) return E_INVALIDARG;
  const bool multithreaded = (dwCoInit & COINIT_APARTMENTTHREADED) == 0;
  if (t_apartment.count == 0) {
    t_apartment.count = 1;
    t_apartment.multithreaded = multithreaded;
    return S_OK;
  }
  if (t_apartment.multithreaded != multithreaded) return RPC_E_CHANGED_MODE;
  ++t_apartment.count;
  return S_FALSE;
}

HRESULT CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
  if (t_apartment.count > 0) --t_apartment.count;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (t_apartment.count == 0) return CO_E_NOTINITIALIZED;
  if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  if (rclsid == CLSID_ShellLink) return platform::create_shell_link(riid, ppv);
  if (rclsid == CLSID_InternetShortcut) return platform::create_internet_shortcut(riid, ppv);
  return REGDB_E_CLASSNOTREG;
}

LPVOID CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb ? cb : 1); }

void CoTaskMemFree(LPVOID pv) { std::free(pv); }
