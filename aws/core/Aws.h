// The SDK's global start and shutdown.
//
// Offered: SDKOptions (logging and HTTP options; only httpOptions.initAndCleanupCurl has an
// effect, logging is not implemented and stays off), InitAPI and ShutdownAPI. Calls are
// counted: libcurl's global state is set up by the first InitAPI and torn down by the
// ShutdownAPI that balances it.
#pragma once

namespace Aws {

namespace Utils {
namespace Logging {
enum class LogLevel { Off = 0, Fatal = 1, Error = 2, Warn = 3, Info = 4, Debug = 5, Trace = 6 };
}  // namespace Logging
}  // namespace Utils

struct LoggingOptions {
  Utils::Logging::LogLevel logLevel = Utils::Logging::LogLevel::Off;
};

struct HttpOptions {
  bool initAndCleanupCurl = true;
};

struct SDKOptions {
  LoggingOptions loggingOptions;
  HttpOptions httpOptions;
};

void InitAPI(const SDKOptions& options);
void ShutdownAPI(const SDKOptions& options);

}  // namespace Aws
