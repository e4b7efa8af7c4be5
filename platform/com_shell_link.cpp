// shell32's shell link object: IShellLinkA and IPersistFile over platform/lnk_format.h.
#include <new>

#include "platform/codepage.h"
#include "platform/com_objects.h"
#include "platform/kernel.h"
#include "platform/lnk_format.h"
#include "platform/machine.h"
#include "platform/shell_link.h"
#include "platform/user.h"

const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace platform {

namespace {

// The machine has one fixed drive; its serial number is derived from the machine folder so
// that links written on one machine agree (FNV-1a over the folder's path).
DWORD volume_serial() {
  DWORD hash = 2166136261u;
  for (unsigned char c : Machine::current().root()) hash = (hash ^ c) * 16777619u;
  return hash;
}

class ShellLink final : public ShellLinkProperties, public IPersistFile {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IShellLinkA) {
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

  // IShellLinkA
  HRESULT STDMETHODCALLTYPE GetPath(LPSTR pszFile, int cch, WIN32_FIND_DATAA* pfd, DWORD) override {
    HRESULT result = copy_text_out(target_, pszFile, cch);
    if (FAILED(result)) return result;
    if (pfd) *pfd = find_data_;
    return target_.empty() ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetArguments(LPSTR pszArgs, int cch) override {
    return copy_text_out(arguments_, pszArgs, cch);
  }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR pszArgs) override { return set(arguments_, pszArgs); }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR pszPathRel, DWORD) override {
    return set(relative_path_, pszPathRel);
  }
  HRESULT STDMETHODCALLTYPE SetPath(LPCSTR pszFile) override {
    if (!pszFile) return E_INVALIDARG;
    find_data_ = WIN32_FIND_DATAA{};
    target_.clear();
    persisted_.changed();
    if (!*pszFile) return S_OK;
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(pszFile, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return E_INVALIDARG;
    target_.assign(full, length);
    // The target's metadata is taken now, as the shell does when it makes the link's item.
    HANDLE find = FindFirstFileA(full, &find_data_);
    if (find != INVALID_HANDLE_VALUE) {
      FindClose(find);
    } else {
      find_data_ = WIN32_FIND_DATAA{};
    }
    return S_OK;
  }

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return persisted_.is_dirty(); }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR pszFileName, BOOL fRemember) override {
    return persisted_.save(pszFileName, fRemember, serialize_shell_link(link_data()));
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* ppszFileName) override {
    return persisted_.current_file(ppszFileName, u"*.lnk");
  }

 private:
  ~ShellLink() = default;

  ShellLinkData link_data() const {
    ShellLinkData link;
    link.target = target_;
    link.attributes = find_data_.dwFileAttributes;
    link.creation_time = find_data_.ftCreationTime;
    link.access_time = find_data_.ftLastAccessTime;
    link.write_time = find_data_.ftLastWriteTime;
    link.file_size = find_data_.nFileSizeLow;
    link.description = ansi_to_utf16(description_);
    link.relative_path = ansi_to_utf16(relative_path_);
    link.working_dir = ansi_to_utf16(working_dir_);
    link.arguments = ansi_to_utf16(arguments_);
    link.icon_location = ansi_to_utf16(icon_path_);
    link.icon_index = icon_index_;
    link.show_command = show_command_;
    link.hotkey = hotkey_;
    link.volume_serial = volume_serial();
    return link;
  }

  RefCount refs_;
  std::string target_;
  WIN32_FIND_DATAA find_data_{};
  std::string arguments_;
  std::string relative_path_;
};

}  // namespace

HRESULT create_shell_link(REFIID riid, void** ppv) {
  auto* link = new (std::nothrow) ShellLink;
  if (!link) return E_OUTOFMEMORY;
  HRESULT result = link->QueryInterface(riid, ppv);
  link->Release();
  return result;
}

}  // namespace platform
