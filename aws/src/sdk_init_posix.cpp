#include <mutex>
#include <optional>

#include "aws/core/Aws.h"
#include "platform/curl_library.h"

namespace Aws {

namespace {

std::mutex g_mutex;
int g_curlUsers = 0;
std::optional<platform::CurlLease> g_curl;  // keeps libcurl loaded between the two calls

}  // namespace

// Only the outermost pair of calls loads libcurl and lets it go; each request holds a lease
// of its own as well, so a client used without these calls still works, if more slowly.
void InitAPI(const SDKOptions& options) {
  if (!options.httpOptions.initAndCleanupCurl) return;
  std::lock_guard lock(g_mutex);
  if (g_curlUsers++ == 0) g_curl.emplace();
}

void ShutdownAPI(const SDKOptions& options) {
  if (!options.httpOptions.initAndCleanupCurl) return;
  std::lock_guard lock(g_mutex);
  if (g_curlUsers > 0 && --g_curlUsers == 0) g_curl.reset();
}

}  // namespace Aws
