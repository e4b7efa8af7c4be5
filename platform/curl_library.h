// libcurl, loaded while an Internet session, an open URL or an S3 client needs it, and
// unloaded when the last of them ends, the way a Windows program delay-loads WinINet. libcurl
// brings some twenty libraries with it (TLS, Kerberos, LDAP, SSH, HTTP/2): several MiB of
// resident memory that an idle controller, waiting for its next request, has no use for.
#pragma once

#include <curl/curl.h>

namespace platform {

// The libcurl functions the layer and the S3 client call, with libcurl's own signatures.
struct CurlApi {
  decltype(&::curl_global_init) global_init;
  decltype(&::curl_global_cleanup) global_cleanup;
  decltype(&::curl_easy_init) easy_init;
  decltype(&::curl_easy_cleanup) easy_cleanup;
  decltype(&::curl_easy_setopt) easy_setopt;
  decltype(&::curl_easy_getinfo) easy_getinfo;
  decltype(&::curl_easy_perform) easy_perform;
  decltype(&::curl_easy_pause) easy_pause;
  decltype(&::curl_easy_strerror) easy_strerror;
  decltype(&::curl_multi_init) multi_init;
  decltype(&::curl_multi_cleanup) multi_cleanup;
  decltype(&::curl_multi_add_handle) multi_add_handle;
  decltype(&::curl_multi_remove_handle) multi_remove_handle;
  decltype(&::curl_multi_perform) multi_perform;
  decltype(&::curl_multi_poll) multi_poll;
  decltype(&::curl_multi_info_read) multi_info_read;
  decltype(&::curl_slist_append) slist_append;
  decltype(&::curl_slist_free_all) slist_free_all;
  decltype(&::curl_url) url;
  decltype(&::curl_url_cleanup) url_cleanup;
  decltype(&::curl_url_set) url_set;
  decltype(&::curl_url_get) url_get;
  decltype(&::curl_free) free;
};

// Whether the last lease unloads libcurl. A sanitized build keeps it once loaded: the
// sanitizer runtimes keep their record of an unloaded library's thread-local storage, and
// the leak check at exit then reads ranges that no longer exist.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)  // GCC
inline constexpr bool kCurlUnloads = false;
#elif defined(__has_feature)  // clang
inline constexpr bool kCurlUnloads = !(__has_feature(address_sanitizer) || __has_feature(thread_sanitizer));
#else
inline constexpr bool kCurlUnloads = true;
#endif

// Keeps libcurl loaded and globally initialised for as long as it lives. The first lease
// loads it; when the last one ends, curl_global_cleanup runs and the library is unloaded.
class CurlLease {
 public:
  CurlLease();
  ~CurlLease();
  CurlLease(const CurlLease&) = delete;
  CurlLease& operator=(const CurlLease&) = delete;

  // False when libcurl could not be loaded or initialised; curl() must not be used then.
  explicit operator bool() const noexcept { return held_; }

 private:
  bool held_;
};

// The loaded libcurl's functions. Only for a caller that holds a lease, or owns a handle
// made under one that is still held.
const CurlApi& curl();

}  // namespace platform
