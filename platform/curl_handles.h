// Owners for libcurl's handles, on the layer's one owner template. A handle must be closed
// while a lease on libcurl is still held: its owner declares the lease before the handle.
#pragma once

#include "platform/curl_library.h"
#include "platform/scoped_handle.h"

namespace platform {

struct CurlEasyTraits {
  using Handle = CURL*;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { curl().easy_cleanup(h); }
};
using ScopedCurlEasy = ScopedHandle<CurlEasyTraits>;

struct CurlMultiTraits {
  using Handle = CURLM*;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { curl().multi_cleanup(h); }
};
using ScopedCurlMulti = ScopedHandle<CurlMultiTraits>;

struct CurlUrlTraits {
  using Handle = CURLU*;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { curl().url_cleanup(h); }
};
using ScopedCurlUrl = ScopedHandle<CurlUrlTraits>;

struct CurlSlistTraits {
  using Handle = curl_slist*;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { curl().slist_free_all(h); }
};
using ScopedCurlSlist = ScopedHandle<CurlSlistTraits>;

}  // namespace platform
