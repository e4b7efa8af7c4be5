// The SDK's global start and shutdown on Windows. WinINet and CNG need no process-wide
// set-up (each request opens its own session), so the calls have nothing to do; the SDK's
// own WinINet client behaves the same.
#include "aws/core/Aws.h"

namespace Aws {

void InitAPI(const SDKOptions&) {}

void ShutdownAPI(const SDKOptions&) {}

}  // namespace Aws
