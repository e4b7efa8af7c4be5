// Owners for libcurl's handles, on the layer's one owner template.
#pragma once

#include <curl/curl.h>

#include "platform/scoped_handle.h"

namespace platform {

struct CurlEasyTraits {
  using Handle = CURL*;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { curl_easy_cleanup(h); }
};
using ScopedCurlEasy = ScopedHandle<CurlEasyTraits>;

struct CurlMultiTraits {
  using Handle = CURLM*;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { curl_multi_cleanup(h); }
};
using ScopedCurlMulti = ScopedHandle<CurlMultiTraits>;

struct CurlUrlTraits {
  using Handle = CURLU*;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { curl_url_cleanup(h); }
};
using ScopedCurlUrl = ScopedHandle<CurlUrlTraits>;

struct CurlSlistTraits {
  using Handle = curl_slist*;
  static Handle invalid() noexcept { return nullptr; }
  static bool is_valid(Handle h) noexcept { return h != nullptr; }
  static void close(Handle h) noexcept { curl_slist_free_all(h); }
};
using ScopedCurlSlist = ScopedHandle<CurlSlistTraits>;

// curl_global_init, once per process, from whichever thread comes first.
void ensure_curl_initialised();

}  // namespace platform
