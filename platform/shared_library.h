// A shared library loaded for as long as its owner lives, and the functions looked up in it:
// what LoadLibrary and GetProcAddress are to a Windows program that loads a DLL on first use.
#pragma once

#include <dlfcn.h>

#include <string>

#include "platform/scoped_handle.h"

namespace platform {

struct LibraryTraits {
  using Handle = void*;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { ::dlclose(h); }
};

class SharedLibrary {
 public:
  // Loads `soname` with every symbol bound now, so that a missing function is found here and
  // not at its first call. Check loaded(); error() then says why it failed.
  explicit SharedLibrary(const char* soname) : handle_(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) remember_error();
  }

  bool loaded() const noexcept { return handle_.valid(); }
  const std::string& error() const noexcept { return error_; }

  // Points `slot` at the function `name`; false, with the slot null and the reason in
  // error(), when it is missing.
  template <class F>
  bool bind(F& slot, const char* name) {
    void* address = ::dlsym(handle_.get(), name);
    if (!address) remember_error();
    slot = reinterpret_cast<F>(address);
    return address != nullptr;
  }

 private:
  void remember_error() {
    const char* reason = ::dlerror();
    error_ = reason ? reason : "unknown loader error";
  }

  ScopedHandle<LibraryTraits> handle_;
  std::string error_;
};

}  // namespace platform
