// shdocvw's Internet shortcut object: IUniformResourceLocatorA, IShellLinkA and IPersistFile
// over the .url text file.
#include <cstring>
#include <new>

#include "platform/com_objects.h"
#include "platform/internet_shortcut.h"
#include "platform/shell_link.h"
#include "platform/user.h"

const CLSID CLSID_InternetShortcut = {0xFBF23B40, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
const IID IID_IUniformResourceLocatorA = {0xFBF23B80, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};

namespace platform {

namespace {

class InternetShortcut final : public IUniformResourceLocatorA, public ShellLinkProperties, public IPersistFile {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IUniformResourceLocatorA) {
      *ppv = static_cast<IUniformResourceLocatorA*>(this);
    } else if (riid == IID_IShellLinkA) {
      *ppv = static_cast<IShellLinkA*>(this);
    } else if (riid == IID_IPersistFile || riid == IID_IPersist) {
      *ppv = static_cast<IPersistFile*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    refs_.add();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add(); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = refs_.drop();
    if (left == 0) delete this;
    return left;
  }

  // IUniformResourceLocatorA
  HRESULT STDMETHODCALLTYPE SetURL(LPCSTR pcszURL, DWORD) override { return set(url_, pcszURL); }
  HRESULT STDMETHODCALLTYPE GetURL(LPSTR* ppszURL) override {
    if (!ppszURL) return E_POINTER;
    *ppszURL = nullptr;
    if (url_.empty()) return S_FALSE;
    *ppszURL = static_cast<LPSTR>(CoTaskMemAlloc(url_.size() + 1));
    if (!*ppszURL) return E_OUTOFMEMORY;
    std::memcpy(*ppszURL, url_.c_str(), url_.size() + 1);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InvokeCommand(PURLINVOKECOMMANDINFOA) override { return E_NOTIMPL; }

  // IShellLinkA: the path is the URL.
  HRESULT STDMETHODCALLTYPE GetPath(LPSTR pszFile, int cch, WIN32_FIND_DATAA* pfd, DWORD) override {
    HRESULT result = copy_text_out(url_, pszFile, cch);
    if (FAILED(result)) return result;
    if (pfd) *pfd = WIN32_FIND_DATAA{};
    return url_.empty() ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetArguments(LPSTR pszArgs, int cch) override {
    return copy_text_out(std::string(), pszArgs, cch);
  }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetPath(LPCSTR pszFile) override {
    if (!pszFile) return E_INVALIDARG;
    return set(url_, pszFile);
  }

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_InternetShortcut;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return persisted_.is_dirty(); }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR pszFileName, BOOL fRemember) override {
    return persisted_.save(pszFileName, fRemember, file_text());
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* ppszFileName) override {
    return persisted_.current_file(ppszFileName, u"*.url");
  }

 private:
  ~InternetShortcut() = default;

  std::string file_text() const {
    std::string text = "[InternetShortcut]\r\nURL=" + url_ + "\r\n";
    if (!working_dir_.empty()) text += "WorkingDirectory=" + working_dir_ + "\r\n";
    if (!icon_path_.empty()) {
      text += "IconFile=" + icon_path_ + "\r\n";
      text += "IconIndex=" + std::to_string(icon_index_) + "\r\n";
    }
    if (hotkey_ != 0) text += "HotKey=" + std::to_string(hotkey_) + "\r\n";
    if (show_command_ == SW_SHOWMAXIMIZED || show_command_ == SW_SHOWMINNOACTIVE) {
      text += "ShowCommand=" + std::to_string(show_command_) + "\r\n";
    }
    return text;
  }

  RefCount refs_;
  std::string url_;
};

}  // namespace

HRESULT create_internet_shortcut(REFIID riid, void** ppv) {
  auto* shortcut = new (std::nothrow) InternetShortcut;
  if (!shortcut) return E_OUTOFMEMORY;
  HRESULT result = shortcut->QueryInterface(riid, ppv);
  shortcut->Release();
  return result;
}

}  // namespace platform
