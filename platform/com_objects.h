// Inside the COM module: the classes CoCreateInstance makes, and what their IPersistFile
// and IShellLinkA implementations share.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "platform/com.h"
#include "platform/shell_link.h"
#include "platform/types.h"
#include "platform/user.h"

namespace platform {

// Each makes a new object and asks it for riid (the object is freed again when it lacks it).
HRESULT create_shell_link(REFIID riid, void** ppv);
HRESULT create_internet_shortcut(REFIID riid, void** ppv);

// The reference count every object of the module carries.
class RefCount {
 public:
  ULONG add() { return ++count_; }
  ULONG drop() { return --count_; }

 private:
  std::atomic<ULONG> count_{1};
};

// IPersistFile's file name and dirty state, and the writing of the file.
class PersistedFile {
 public:
  // Writes bytes to `name` (or the remembered file when name is NULL) with CREATE_ALWAYS;
  // with remember, the name becomes the remembered file. S_OK, E_INVALIDARG without any
  // name, or HRESULT_FROM_WIN32 of the file functions' error.
  HRESULT save(LPCOLESTR name, BOOL remember, std::string_view bytes);
  // The remembered file as a CoTaskMemAlloc copy, or S_FALSE and the default prompt
  // ("*.lnk" for example) when there is none.
  HRESULT current_file(LPOLESTR* name, std::u16string_view prompt) const;
  HRESULT is_dirty() const { return dirty_ ? S_OK : S_FALSE; }
  void changed() { dirty_ = true; }

 private:
  std::u16string current_;
  bool dirty_ = false;
};

// Copies text into a caller's buffer of cch characters, cut to fit with a NUL.
// E_INVALIDARG for no buffer or cch < 1.
HRESULT copy_text_out(const std::string& text, LPSTR buffer, int cch);
// A setter's text: the bytes, or empty for NULL.
std::string text_in(LPCSTR text);

// The part of IShellLinkA that the shell link and the Internet shortcut keep alike: the
// description, working folder, icon, show command and hot key. Each object adds its target,
// arguments and relative path, and its file format.
class ShellLinkProperties : public IShellLinkA {
 public:
  HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* ppidl) override {
    if (ppidl) *ppidl = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDescription(LPSTR pszName, int cch) override {
    return copy_text_out(description_, pszName, cch);
  }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR pszName) override { return set(description_, pszName); }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR pszDir, int cch) override {
    return copy_text_out(working_dir_, pszDir, cch);
  }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR pszDir) override { return set(working_dir_, pszDir); }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD* pwHotkey) override {
    if (!pwHotkey) return E_POINTER;
    *pwHotkey = hotkey_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD wHotkey) override {
    hotkey_ = wHotkey;
    persisted_.changed();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int* piShowCmd) override {
    if (!piShowCmd) return E_POINTER;
    *piShowCmd = show_command_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int iShowCmd) override {
    show_command_ = iShowCmd;
    persisted_.changed();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR pszIconPath, int cch, int* piIcon) override {
    if (!piIcon) return E_POINTER;
    *piIcon = icon_index_;
    return copy_text_out(icon_path_, pszIconPath, cch);
  }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR pszIconPath, int iIcon) override {
    icon_index_ = iIcon;
    return set(icon_path_, pszIconPath);
  }
  HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { return E_NOTIMPL; }

 protected:
  ~ShellLinkProperties() = default;

  HRESULT set(std::string& field, LPCSTR text) {
    field = text_in(text);
    persisted_.changed();
    return S_OK;
  }

  PersistedFile persisted_;
  std::string description_;
  std::string working_dir_;
  std::string icon_path_;
  int icon_index_ = 0;
  int show_command_ = SW_SHOWNORMAL;
  WORD hotkey_ = 0;
};

}  // namespace platform
