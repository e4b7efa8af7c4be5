// What the COM objects' IPersistFile and IShellLinkA implementations share.
#include <unistd.h>

#include <cstring>

#include "platform/codepage.h"
#include "platform/com_objects.h"
#include "platform/error_map.h"
#include "platform/file_open.h"
#include "platform/kernel.h"

namespace platform {

namespace {

DWORD write_all(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return win32_error_from_errno(n < 0 ? errno : ENOSPC);
    done += static_cast<std::size_t>(n);
  }
  return ERROR_SUCCESS;
}

LPOLESTR task_copy(std::u16string_view text) {
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (!copy) return nullptr;
  std::memcpy(copy, text.data(), text.size() * sizeof(OLECHAR));
  copy[text.size()] = 0;
  return copy;
}

}  // namespace

HRESULT PersistedFile::save(LPCOLESTR name, BOOL remember, std::string_view bytes) {
  std::u16string target = name ? std::u16string(name) : current_;
  if (target.empty()) return E_INVALIDARG;
  // The shell opens the file exclusively while it writes it.
  DWORD error = ERROR_SUCCESS;
  OpenedFile file = open_windows_file(utf16_to_ansi(target), OpenRequest{GENERIC_WRITE, 0, CREATE_ALWAYS, false}, &error);
  if (file.fd) error = write_all(file.fd.get(), bytes);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return HRESULT_FROM_WIN32(error);
  }
  if (name && remember) current_ = target;
  if (!name || remember) dirty_ = false;
  return S_OK;
}

HRESULT PersistedFile::current_file(LPOLESTR* name, std::u16string_view prompt) const {
  if (!name) return E_POINTER;
  *name = task_copy(current_.empty() ? prompt : std::u16string_view(current_));
  if (!*name) return E_OUTOFMEMORY;
  return current_.empty() ? S_FALSE : S_OK;
}

HRESULT copy_text_out(const std::string& text, LPSTR buffer, int cch) {
  if (!buffer || cch < 1) return E_INVALIDARG;
  std::size_t count = text.size() < static_cast<std::size_t>(cch) ? text.size() : static_cast<std::size_t>(cch) - 1;
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return S_OK;
}

std::string text_in(LPCSTR text) { return text ? std::string(text) : std::string(); }

}  // namespace platform
