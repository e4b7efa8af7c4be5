// One move-only owner for every handle kind used inside the layer and the tools.
//
// A traits type names the raw handle type, its invalid value(s) and how to close it:
//   struct FdTraits { using Handle = int; static Handle invalid() { return -1; }
//                     static bool is_valid(Handle h) { return h >= 0; } static void close(Handle h); };
// Nothing converts implicitly: get() lends the raw value, release() gives it up.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <utility>

namespace platform {

template <class Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() noexcept : handle_(Traits::invalid()) {}
  explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~ScopedHandle() { reset(); }

  Handle get() const noexcept { return handle_; }
  bool valid() const noexcept { return Traits::is_valid(handle_); }
  explicit operator bool() const noexcept { return valid(); }

  Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }
  void reset(Handle handle = Traits::invalid()) noexcept {
    Handle old = std::exchange(handle_, handle);
    if (Traits::is_valid(old)) Traits::close(old);
  }

 private:
  Handle handle_;
};

struct FdTraits {
  using Handle = int;
  static Handle invalid() noexcept { return -1; }
  static bool is_valid(Handle h) noexcept { return h >= 0; }
  static void close(Handle h) noexcept { ::close(h); }
};
using ScopedFd = ScopedHandle<FdTraits>;

struct DirTraits {
  using Handle = DIR*;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { ::closedir(h); }
};
using ScopedDir = ScopedHandle<DirTraits>;

}  // namespace platform
