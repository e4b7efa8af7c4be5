// libcurl's results in WinINet's error numbers.
#pragma once

#include <curl/curl.h>

#include "platform/types.h"

namespace platform {

// The WinINet error for a transfer that ended with `code`; `easy` is asked for the details
// of a certificate failure.
DWORD wininet_error_from_curl(CURLcode code, CURL* easy);

}  // namespace platform
