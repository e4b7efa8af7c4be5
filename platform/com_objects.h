// Inside the COM module: the classes CoCreateInstance makes, and what their IPersistFile
// and IShellLinkA implementations share.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "platform/com.h"
#include "platform/types.h"

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

}  // namespace platform
