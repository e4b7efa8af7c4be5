#include "platform/curl_library.h"

#include <mutex>
#include <optional>

#include "platform/shared_library.h"

namespace platform {

namespace {

// The ABI the layer is compiled against: libcurl has kept this soname since 7.16.
constexpr char kLibcurl[] = "libcurl.so.4";

// Loading, initialising, cleaning up and unloading all happen under one lock, and only
// while no lease is held, so curl() can be read without it: a lease taken under the lock
// comes after the table was filled and before it is cleared. Nothing of libcurl's runs once
// the last handle is closed: cleaning up a handle waits for its name resolver thread (we never
// set CURLOPT_QUICK_EXIT, which would leave that thread running).
struct Loaded {
  std::mutex mutex;
  int leases = 0;
  std::optional<SharedLibrary> library;
  CurlApi api{};
};

Loaded& loaded() {
  static Loaded* state = new Loaded;  // never destroyed: a lease may end while the process exits
  return *state;
}

bool resolve_all(SharedLibrary& lib, CurlApi& api) {
  return lib.bind(api.global_init, "curl_global_init") &&
         lib.bind(api.global_cleanup, "curl_global_cleanup") && lib.bind(api.easy_init, "curl_easy_init") &&
         lib.bind(api.easy_cleanup, "curl_easy_cleanup") && lib.bind(api.easy_setopt, "curl_easy_setopt") &&
         lib.bind(api.easy_getinfo, "curl_easy_getinfo") && lib.bind(api.easy_perform, "curl_easy_perform") &&
         lib.bind(api.easy_pause, "curl_easy_pause") && lib.bind(api.easy_strerror, "curl_easy_strerror") &&
         lib.bind(api.multi_init, "curl_multi_init") && lib.bind(api.multi_cleanup, "curl_multi_cleanup") &&
         lib.bind(api.multi_add_handle, "curl_multi_add_handle") &&
         lib.bind(api.multi_remove_handle, "curl_multi_remove_handle") &&
         lib.bind(api.multi_perform, "curl_multi_perform") && lib.bind(api.multi_poll, "curl_multi_poll") &&
         lib.bind(api.multi_info_read, "curl_multi_info_read") &&
         lib.bind(api.slist_append, "curl_slist_append") &&
         lib.bind(api.slist_free_all, "curl_slist_free_all") && lib.bind(api.url, "curl_url") &&
         lib.bind(api.url_cleanup, "curl_url_cleanup") && lib.bind(api.url_set, "curl_url_set") &&
         lib.bind(api.url_get, "curl_url_get") && lib.bind(api.free, "curl_free");
}

}  // namespace

CurlLease::CurlLease() : held_(false) {
  Loaded& state = loaded();
  std::lock_guard lock(state.mutex);
  if (!state.library) {
    state.library.emplace(kLibcurl);
    if (!state.library->loaded() || !resolve_all(*state.library, state.api)) {
      state.api = {};
      state.library.reset();
      return;
    }
  }
  if (state.leases == 0 && state.api.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return;
  ++state.leases;
  held_ = true;
}

CurlLease::~CurlLease() {
  if (!held_) return;
  Loaded& state = loaded();
  std::lock_guard lock(state.mutex);
  if (--state.leases > 0) return;
  state.api.global_cleanup();
  if (kCurlUnloads) {
    state.api = {};
    state.library.reset();
  }
}

const CurlApi& curl() { return loaded().api; }

}  // namespace platform
