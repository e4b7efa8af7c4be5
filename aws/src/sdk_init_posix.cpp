#include <curl/curl.h>

#include <mutex>

#include "aws/core/Aws.h"

namespace Aws {

namespace {

std::mutex g_mutex;
int g_curlUsers = 0;

}  // namespace

// libcurl's global state must not be set up or torn down while another thread uses libcurl,
// so only the outermost pair of calls touches it.
void InitAPI(const SDKOptions& options) {
  if (!options.httpOptions.initAndCleanupCurl) return;
  std::lock_guard lock(g_mutex);
  if (g_curlUsers++ == 0) curl_global_init(CURL_GLOBAL_ALL);
}

void ShutdownAPI(const SDKOptions& options) {
  if (!options.httpOptions.initAndCleanupCurl) return;
  std::lock_guard lock(g_mutex);
  if (g_curlUsers > 0 && --g_curlUsers == 0) curl_global_cleanup();
}

}  // namespace Aws
